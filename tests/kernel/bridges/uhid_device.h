/* What the simulated bridges share: a USB HID device made through /dev/uhid, its events
 * read and sent whole, its input reports sent. */
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int uhid_fd;

static void send_event(const struct uhid_event* ev) {
    if (write(uhid_fd, ev, sizeof *ev) != (ssize_t)sizeof *ev) {
        perror("bridge simulator: write");
        exit(1);
    }
}

/* A whole input report: the HID core drops one shorter than its descriptor says. */
static void send_input(const unsigned char* report, size_t size) {
    struct uhid_event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = UHID_INPUT2;
    ev.u.input2.size = (unsigned short)size;
    memcpy(ev.u.input2.data, report, size);
    send_event(&ev);
}

/* Opens /dev/uhid and creates a USB device there: 0, or 1 having said why. The log on
 * stdout is line-buffered, so that it survives the kill that ends the simulator. */
static int uhid_create(const char* name, const char* uniq, unsigned vendor, unsigned product,
                       const unsigned char* descriptor, size_t size) {
    setvbuf(stdout, NULL, _IOLBF, 0);
    uhid_fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (uhid_fd < 0) {
        perror("bridge simulator: /dev/uhid");
        return 1;
    }
    struct uhid_event ev;
    memset(&ev, 0, sizeof ev);
    ev.type = UHID_CREATE2;
    strcpy((char*)ev.u.create2.name, name);
    strcpy((char*)ev.u.create2.uniq, uniq);
    memcpy(ev.u.create2.rd_data, descriptor, size);
    ev.u.create2.rd_size = (unsigned short)size;
    ev.u.create2.bus = 0x03; /* BUS_USB */
    ev.u.create2.vendor = vendor;
    ev.u.create2.product = product;
    send_event(&ev);
    return 0;
}

/* The next event from the kernel: 0, or 1 once /dev/uhid fails. */
static int next_event(struct uhid_event* ev) {
    for (;;) {
        memset(ev, 0, sizeof *ev);
        const ssize_t n = read(uhid_fd, ev, sizeof *ev);
        if (n < 0 && errno == EINTR) continue;
        return n <= 0;
    }
}
