/* A simulated MCP2221A USB-I2C bridge for the kernel tests: a uhid device with the
 * MCP2221A's id (04D8:00DD), for the kernel's hid-mcp2221 (which makes it an I2C adapter)
 * or hid-generic (a hidraw node). It answers every command as datasheet DS20005565 frames
 * it, acknowledges the address given, and logs each report, and each write transaction
 * once all its reports are in, on stdout:
 *     R 0x90
 *     W 0x27 3 0x39 0x3d 0x39
 * Other addresses get a NACK, reported by the status command until it cancels.
 *   mcp2221sim [ADDRESS]     (default 0x27); runs until killed
 */
#include <errno.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum {
    kStatus = 0x10, /* status / set parameters */
    kWrite = 0x90,  /* I2C write data: length (2 bytes), address << 1, up to 60 bytes */
    kRead = 0x91,   /* I2C read data */
};

static int fd;
static int address = 0x27;
static int nacked;
static unsigned char pending[65536];
static int pending_length, pending_total;

static void send_event(const struct uhid_event* ev) {
    if (write(fd, ev, sizeof *ev) != (ssize_t)sizeof *ev) {
        perror("mcp2221sim: write");
        exit(1);
    }
}

static void answer(const unsigned char* reply) {
    struct uhid_event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = UHID_INPUT2;
    ev.u.input2.size = 64;
    memcpy(ev.u.input2.data, reply, 64);
    send_event(&ev);
}

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
                pending_length = 0;
            }
        }
    } else if (data[0] == kRead && size >= 4) {
        nacked = (data[3] >> 1) != address;
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
    answer(reply);
}

int main(int argc, char** argv) {
    /* Vendor-defined, 64-byte input and output reports, not numbered. */
    static const unsigned char descriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15,
                                               0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
                                               0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01,
                                               0x91, 0x02, 0xC0};
    setvbuf(stdout, NULL, _IOLBF, 0); /* the log survives the kill that ends it */
    if (argc > 1) address = (int)strtol(argv[1], NULL, 0);
    fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        perror("mcp2221sim: /dev/uhid");
        return 1;
    }
    struct uhid_event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = UHID_CREATE2;
    strcpy((char*)ev.u.create2.name, "MCP2221 USB-I2C/UART Combo (simulated)");
    strcpy((char*)ev.u.create2.uniq, "0123456");
    memcpy(ev.u.create2.rd_data, descriptor, sizeof descriptor);
    ev.u.create2.rd_size = sizeof descriptor;
    ev.u.create2.bus = 0x03; /* BUS_USB */
    ev.u.create2.vendor = 0x04D8;
    ev.u.create2.product = 0x00DD;
    send_event(&ev);
    for (;;) {
        memset(&ev, 0, sizeof ev);
        const ssize_t n = read(fd, &ev, sizeof ev);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 1;
        if (ev.type != UHID_OUTPUT || ev.u.output.size == 0) continue;
        /* Through hidraw, the report ID 0 comes first; hid-mcp2221 sends none. */
        const unsigned char* data = ev.u.output.data;
        size_t size = ev.u.output.size;
        if (size == 65 && data[0] == 0) ++data, --size;
        command(data, size);
    }
}
