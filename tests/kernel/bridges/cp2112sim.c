/* A simulated CP2112 USB-to-SMBus bridge for the kernel tests: a uhid device with the
 * CP2112's USB id (10C4:EA90), for the kernel's hid-cp2112 (which makes it an I2C adapter)
 * or hid-generic (a hidraw node). It answers the reports (Silicon Labs AN495), acknowledges
 * every byte written to the address given, and logs each output report and each write
 * transaction on stdout:
 *     R 0x14
 *     W 0x27 3 0x39 0x3d 0x39
 * Writes to other addresses get a NACK (transfer status: error, timeout/NACK). At the
 * address is a backpack (backpack.h); each read transaction is logged with its bytes:
 *     r 0x27 1 0x0f
 *   cp2112sim [ADDRESS [BACKPACK ARGS]]      (default 0x27); runs until killed
 */
#include "uhid_device.h"

#include "backpack.h"

enum {
    kVersion = 0x05,        /* feature: part number, version */
    kReadRequest = 0x10,    /* output: address << 1, length (2 bytes) */
    kForceSend = 0x12,      /* output: length (2 bytes): the bytes read, as a read response */
    kDataWrite = 0x14,      /* output: address << 1, length, data */
    kStatusRequest = 0x15,  /* output */
    kStatusResponse = 0x16, /* input: status0, status1, retries, length */
    kReadResponse = 0x13,   /* input */
};

static int address = 0x27;
static unsigned char status[64] = {kStatusResponse};
static unsigned char read_data[61];
static int read_length;

/* Report ID, Usage, then the main item (Input, Output, Feature), for each id. */
static size_t reports(unsigned char* d, size_t n, const unsigned char* ids, size_t count,
                      unsigned char item) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned char r[] = {0x85, ids[i], 0x09, 0x01, item, 0x02};
        memcpy(d + n, r, sizeof r);
        n += sizeof r;
    }
    return n;
}

/* Vendor-defined reports of 63 bytes after their id: the ones the driver uses. */
static size_t descriptor(unsigned char* d) {
    static const unsigned char head[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15,
                                         0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F};
    static const unsigned char input[] = {kReadResponse, kStatusResponse};
    static const unsigned char output[] = {0x10, 0x11, 0x12, kDataWrite, kStatusRequest, 0x17};
    static const unsigned char feature[] = {0x02, 0x03, 0x04, kVersion, 0x06,
                                            0x20, 0x21, 0x22, 0x23,     0x24};
    size_t n = 0;
    memcpy(d, head, sizeof head);
    n += sizeof head;
    n = reports(d, n, input, sizeof input, 0x81);     /* Input */
    n = reports(d, n, output, sizeof output, 0x91);   /* Output */
    n = reports(d, n, feature, sizeof feature, 0xB1); /* Feature */
    d[n++] = 0xC0;
    return n;
}

static void output_report(const unsigned char* data, size_t size) {
    if (size >= 1) printf("R 0x%02x\n", data[0]); /* every report, for the count */
    if (size >= 3 && data[0] == kDataWrite) {
        const int to = data[1] >> 1;
        const int length = data[2];
        if (to == address) {
            printf("W 0x%02x %d", to, length);
            for (int i = 0; i < length && 3 + (size_t)i < size; ++i) printf(" 0x%02x", data[3 + i]);
            printf("\n");
            fflush(stdout);
            for (int i = 0; i < length && 3 + (size_t)i < size; ++i) backpack_write(data[3 + i]);
            status[1] = 0x02; /* complete */
            status[2] = 0x05; /* success */
        } else {
            status[1] = 0x03; /* error */
            status[2] = 0x00; /* timeout: NACK */
        }
        status[5] = 0;
        status[6] = (unsigned char)length;
    } else if (size >= 3 && data[0] == kReadRequest) {
        const int ours = (data[1] >> 1) == address;
        status[1] = ours ? 0x02 : 0x03;
        status[2] = ours ? 0x05 : 0x00;
        read_length = 0;
        if (ours && size >= 4) {
            read_length = data[3] < 61 ? data[3] : 61;
            printf("r 0x%02x %d", address, read_length);
            for (int i = 0; i < read_length; ++i) printf(" 0x%02x", read_data[i] = backpack_read());
            printf("\n");
        }
        status[5] = 0;
        status[6] = (unsigned char)read_length;
    } else if (size >= 1 && data[0] == kForceSend) {
        unsigned char response[64] = {kReadResponse, 0x02, (unsigned char)read_length};
        memcpy(response + 3, read_data, (size_t)read_length);
        read_length = 0;
        send_input(response, sizeof response);
    } else if (size >= 1 && data[0] == kStatusRequest) {
        send_input(status, sizeof status);
    }
}

int main(int argc, char** argv) {
    if (argc > 1) address = (int)strtol(argv[1], NULL, 0);
    backpack_configure(argc > 2 ? argc - 2 : 0, argv + 2);
    unsigned char rd[HID_MAX_DESCRIPTOR_SIZE];
    if (uhid_create("CP2112 HID USB-to-SMBus Bridge (simulated)", "0001", 0x10C4, 0xEA90, rd,
                    descriptor(rd)))
        return 1;
    struct uhid_event ev;
    for (;;) {
        if (next_event(&ev)) return 1;
        struct uhid_event reply;
        memset(&reply, 0, sizeof reply);
        switch (ev.type) {
            case UHID_OUTPUT:
                output_report(ev.u.output.data, ev.u.output.size);
                break;
            case UHID_GET_REPORT:
                /* Every feature report reads as zeros after its id, but the version. */
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = ev.u.get_report.id;
                reply.u.get_report_reply.size = 64;
                reply.u.get_report_reply.data[0] = ev.u.get_report.rnum;
                if (ev.u.get_report.rnum == kVersion) {
                    reply.u.get_report_reply.data[1] = 0x0C; /* CP2112 */
                    reply.u.get_report_reply.data[2] = 0x02;
                }
                send_event(&reply);
                break;
            case UHID_SET_REPORT:
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = ev.u.set_report.id;
                send_event(&reply);
                break;
            default:
                break;
        }
    }
}
