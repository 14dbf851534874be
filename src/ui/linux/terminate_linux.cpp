// SIGTERM and SIGINT end the program like closing the window. The handler only writes a
// byte to a socket pair; the event loop reads it and leaves. Before the event loop runs
// there is nobody to read it: the handler then says why and ends the program itself.
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <string>

#include "ui/fatal.h"
#include "ui/messages.h"
#include "ui/terminate.h"

namespace ui {
namespace {

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_requested = 0;
volatile std::sig_atomic_t g_loopRunning = 0;
// Written from the handler, so made before any signal can come.
std::string g_stoppedLine;

void onTerminate(int) {
    // While the fatal message is up, its box runs its own event loop: leave at once.
    if (fatalInProgress()) _exit(1);
    if (!g_loopRunning) {
        [[maybe_unused]] const auto n = ::write(2, g_stoppedLine.data(), g_stoppedLine.size());
        _exit(1);
    }
    g_requested = 1;
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

bool terminationRequested() noexcept {
    return g_requested != 0;
}

void quitOnTerminationRequest(QCoreApplication& app) {
    // A trace on a pipe whose reader left must fail with EPIPE, and one past the file-size
    // limit (ulimit -f) with EFBIG, not kill us silently: the trace path says why.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    g_stoppedLine = prefixed(stoppedDuringStartup()) + "\n";
    QTimer::singleShot(0, &app, [] { g_loopRunning = 1; });
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &byte, 1);
        // exit(), not quit(): quit() first asks every window to close, and the display
        // window declines while it is the only output.
        QCoreApplication::exit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);  // the terminal closed: the same orderly end
}

}  // namespace ui
