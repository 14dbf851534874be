/* What the simulated bridges have at their address: a PCF8574 with an HD44780 behind it,
 * wired as a backpack board may be, written from the two datasheets:
 *  - PCF8574 (NXP, rev. 5): a byte written sets the eight pins; a pin written 0 is driven
 *    low; a pin written 1 is a weak pull-up (about 100 uA) and reads what drives it. A read
 *    returns the pins' levels.
 *  - HD44780U (Hitachi, ADE-207-272): with R/W high and E high it drives DB7-DB4, with the
 *    busy flag and the address counter (RS low) or the data at the address counter (RS
 *    high); a read of data moves the counter on. In 4-bit mode each byte, read or written,
 *    is two E pulses, high nibble first. With R/W low its data pins are inputs with
 *    pull-ups; each fall of E latches them. It powers up in 8-bit mode: a write there is
 *    DB7-DB4 with DB3-DB0, not wired on a backpack, read as their pull-ups' 1s. A function
 *    set (001D....) sets 8-bit (D = 1) or 4-bit mode.
 *  - A backlight pin drives an NPN transistor's base through a resistor (on when high:
 *    the base clamps the pin near 0.7 V, so it reads 0 when let high) or a PNP's (on when
 *    low: it reads 1).
 * Execution times are not modelled: the busy flag always reads 0.
 *   ARGS: [MAP [npn|pnp] [rw-low]]: MAP as the program's map= (the pins of RS, R/W, E,
 *   backlight, D4-D7), 01234567 by default; rw-low: the module's R/W tied to ground, the
 *   expander pin that would drive it left unconnected.
 */
#pragma once

#include <string.h>

enum { kRs, kRw, kE, kBacklight, kD4 };

static int pin_of[8] = {0, 1, 2, 3, 4, 5, 6, 7}; /* role -> expander pin */
static int npn = 1, rw_tied_low;

static unsigned char port_byte; /* as last written: 0xFF at power-on */
static int eight_bit = 1, second_nibble, high_nibble, increment = 1, in_cgram;
static int address_counter;
static unsigned char ddram[128];
static int drives; /* the module's DB7-DB4 are outputs */
static int driven; /* what it drives there: D4 in bit 0 */

/* Power-on, as wired by the arguments (the unit tests run it again for each board). */
static inline void backpack_configure(int argc, char** argv) {
    for (int i = 0; i < 8; ++i) pin_of[i] = i;
    npn = 1, rw_tied_low = 0, port_byte = 0xFF;
    eight_bit = 1, second_nibble = high_nibble = 0, increment = 1, in_cgram = 0;
    address_counter = drives = driven = 0;
    if (argc > 0 && strlen(argv[0]) == 8)
        for (int i = 0; i < 8; ++i) pin_of[i] = argv[0][i] - '0';
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "pnp")) npn = 0;
        if (!strcmp(argv[i], "rw-low")) rw_tied_low = 1;
    }
    memset(ddram, 0x20, sizeof ddram);
}

static inline int level(int role) {
    return port_byte >> pin_of[role] & 1;
}

static inline void execute(int rs, int byte) {
    if (rs) {
        if (!in_cgram) ddram[address_counter & 0x7F] = (unsigned char)byte;
        address_counter = (address_counter + (increment ? 1 : -1)) & 0x7F;
    } else if (byte & 0x80) {
        address_counter = byte & 0x7F, in_cgram = 0;
    } else if (byte & 0x40) {
        address_counter = byte & 0x3F, in_cgram = 1;
    } else if (byte & 0x20) {
        eight_bit = byte >> 4 & 1;
    } else if (byte & 0x10 || byte & 0x08) {
        /* cursor or display shift, display control: nothing read back shows them */
    } else if (byte & 0x04) {
        increment = byte >> 1 & 1;
    } else if (byte & 0x02) {
        address_counter = 0;
    } else if (byte & 0x01) {
        memset(ddram, 0x20, sizeof ddram), address_counter = 0, increment = 1;
    }
}

static inline void backpack_write(unsigned char byte) {
    const int e_was = level(kE);
    port_byte = byte;
    const int rs = level(kRs), rw = rw_tied_low ? 0 : level(kRw), e = level(kE);
    int d = 0;
    for (int i = 0; i < 4; ++i) d |= level(kD4 + i) << i;
    if (!e_was && e && rw) { /* a read cycle begins: the module drives its half */
        const int value = rs ? ddram[address_counter & 0x7F] : address_counter & 0x7F;
        driven = eight_bit || !second_nibble ? value >> 4 : value & 0x0F;
        drives = 1;
    } else if (e_was && !e) {
        if (drives) { /* the end of a read cycle */
            drives = 0;
            const int done = eight_bit || second_nibble;
            if (!eight_bit) second_nibble = !second_nibble;
            if (done && rs) address_counter = (address_counter + 1) & 0x7F;
        } else if (eight_bit) {
            execute(rs, d << 4 | 0x0F);
        } else if (!second_nibble) {
            high_nibble = d, second_nibble = 1;
        } else {
            second_nibble = 0;
            execute(rs, high_nibble << 4 | d);
        }
    } else if (!rw || !e) {
        drives = 0;
    }
}

static inline unsigned char backpack_read(void) {
    unsigned char levels = 0;
    for (int role = 0; role < 8; ++role) {
        const int pin = pin_of[role];
        int high = port_byte >> pin & 1;
        if (high && role >= kD4 && drives) high = driven >> (role - kD4) & 1;
        if (high && role == kBacklight) high = !npn;
        levels |= (unsigned char)(high << pin);
    }
    return levels;
}
