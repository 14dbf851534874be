// Ending the program the orderly way on Windows: Ctrl+C, Ctrl+Break or closing the console
// it was started from. The handler runs on a thread of the system's own; it asks the
// window's thread to quit after the running handler, as a signal does on Linux.
#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>

#include "ui/terminate.h"

namespace ui {
namespace {

std::atomic<bool> g_requested{false};
QCoreApplication* g_app = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            g_requested = true;
            if (g_app)
                QMetaObject::invokeMethod(g_app, &QCoreApplication::quit, Qt::QueuedConnection);
            // A closed console ends the process when this returns: give the window's
            // thread the time to finish its transmission and flush the trace (the system
            // allows 5 s); the program's own end cuts this wait short.
            if (event == CTRL_CLOSE_EVENT) Sleep(4500);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void quitOnTerminationRequest(QCoreApplication& app) {
    g_app = &app;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool terminationRequested() noexcept {
    return g_requested.load();
}

}  // namespace ui
