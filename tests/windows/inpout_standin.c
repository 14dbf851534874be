/* A stand-in for the port library in the Windows tests: the same exports, no driver. Every
 * Out32 is logged as "PORT VALUE" in hex, one a line, to the file INPOUT_LOG names, and
 * written through at once, so a killed program's log is whole. INPOUT_DRIVER=closed makes
 * IsInpOutDriverOpen() say the driver is not installed. Built without Out32 (-DNO_OUT32) it
 * stands for a library that is not the port library. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __declspec(dllexport)

static FILE* logFile(void) {
    static FILE* f;
    if (!f) {
        const char* path = getenv("INPOUT_LOG");
        f = fopen(path && *path ? path : "inpout.log", "a");
    }
    return f;
}

#ifndef NO_OUT32
EXPORT void __stdcall Out32(short port, short data) {
    FILE* f = logFile();
    if (!f) return;
    fprintf(f, "0x%03x 0x%02x\n", (unsigned)(unsigned short)port, (unsigned)(data & 0xFF));
    fflush(f);
}
#endif

EXPORT short __stdcall Inp32(short port) {
    (void)port;
    return 0;
}

EXPORT int __stdcall IsInpOutDriverOpen(void) {
    const char* driver = getenv("INPOUT_DRIVER");
    return !(driver && strcmp(driver, "closed") == 0);
}
