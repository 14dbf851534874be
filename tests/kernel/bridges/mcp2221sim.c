/* A simulated MCP2221A USB-I2C bridge for the kernel tests: a uhid device with the
 * MCP2221A's id (04D8:00DD), for the kernel's hid-mcp2221 (which makes it an I2C adapter)
 * or hid-generic (a hidraw node). It answers every command as datasheet DS20005565 frames
 * it, acknowledges the address given, and logs each report, and each write transaction
 * once all its reports are in, on stdout:
 *     R 0x90
 *     W 0x27 3 0x39 0x3d 0x39
 * Other addresses get a NACK, reported by the status command until it cancels. At the
 * address is a backpack (backpack.h); each read transaction is logged with its bytes:
 *     r 0x27 1 0x0f
 *   mcp2221sim [ADDRESS [BACKPACK ARGS]]     (default 0x27); runs until killed
 */
#include "uhid_device.h"

#include "backpack.h"

enum {
    kStatus = 0x10, /* status / set parameters */
    kWrite = 0x90,  /* I2C write data: length (2 bytes), address << 1, up to 60 bytes */
    kRead = 0x91,   /* I2C read data: length (2 bytes), address << 1 | 1 */
    kGetData = 0x40, /* the bytes read: 0x00, engine state (0x55 complete), count, bytes */
};

static int address = 0x27;
static int nacked;
static unsigned char pending[65536];
static int pending_length, pending_total;
static unsigned char read_data[60];
static int read_length;

static void command(const unsigned char* data, size_t size) {
    unsigned char reply[64];
    memset(reply, 0, sizeof reply);
    reply[0] = data[0];
    printf("R 0x%02x\n", data[0]); /* every report, for the count */
    if (data[0] == kWrite && size >= 4) {
        const int total = data[1] | data[2] << 8, to = data[3] >> 1;
        const int n = (int)size - 4 < 60 ? (int)size - 4 : 60;
        nacked = to != address;
        if (!nacked) {
            /* A transaction is its reports up to the total the first one gave. */
            if (pending_length == 0) pending_total = total;
            const int room = pending_total - pending_length;
            const int take = n < room ? n : room;
            memcpy(pending + pending_length, data + 4, (size_t)take);
            pending_length += take;
            if (pending_length >= pending_total) {
                printf("W 0x%02x %d", to, pending_total);
                for (int i = 0; i < pending_total; ++i) printf(" 0x%02x", pending[i]);
                printf("\n");
                fflush(stdout);
                for (int i = 0; i < pending_total; ++i) backpack_write(pending[i]);
                pending_length = 0;
            }
        }
    } else if (data[0] == kRead && size >= 4) {
        nacked = (data[3] >> 1) != address;
        read_length = data[1] < 60 ? data[1] : 60;
        if (!nacked) {
            printf("r 0x%02x %d", address, read_length);
            for (int i = 0; i < read_length; ++i) printf(" 0x%02x", read_data[i] = backpack_read());
            printf("\n");
        }
    } else if (data[0] == kGetData) {
        reply[2] = nacked ? 0x25 : 0x55;
        reply[3] = (unsigned char)(nacked ? 0 : read_length);
        memcpy(reply + 4, read_data, (size_t)read_length);
        read_length = 0;
    } else if (data[0] == kStatus && size >= 5) {
        if (data[3] == 0x20) reply[3] = 0x20; /* the clock divider taken */
        reply[8] = nacked ? 0x25 : 0x00;      /* the I2C engine's state */
        reply[20] = nacked ? 0x40 : 0x00;
        if (data[2] == 0x10) { /* cancel */
            reply[2] = 0x10;
            nacked = 0;
            pending_length = 0;
        }
    }
    send_input(reply, sizeof reply);
}

int main(int argc, char** argv) {
    /* Vendor-defined, 64-byte input and output reports, not numbered. */
    static const unsigned char descriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15,
                                               0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
                                               0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01,
                                               0x91, 0x02, 0xC0};
    if (argc > 1) address = (int)strtol(argv[1], NULL, 0);
    backpack_configure(argc > 2 ? argc - 2 : 0, argv + 2);
    if (uhid_create("MCP2221 USB-I2C/UART Combo (simulated)", "0123456", 0x04D8, 0x00DD,
                    descriptor, sizeof descriptor))
        return 1;
    struct uhid_event ev;
    for (;;) {
        if (next_event(&ev)) return 1;
        if (ev.type != UHID_OUTPUT || ev.u.output.size == 0) continue;
        /* Through hidraw, the report ID 0 comes first; hid-mcp2221 sends none. */
        const unsigned char* data = ev.u.output.data;
        size_t size = ev.u.output.size;
        if (size == 65 && data[0] == 0) ++data, --size;
        command(data, size);
    }
}
