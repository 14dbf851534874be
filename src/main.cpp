// Velmorin: drives an HD44780 character LCD on a PC parallel port, or its emulation.
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "port/hardware.h"
#include "port/port_layer.h"
#include "window/fatal.h"
#include "window/form1.h"
#include "window/lcd_window.h"

namespace {

bool displayServerReachable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;  // the user chose one (offscreen, vnc ...)
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

int g_signalPipe[2] = {-1, -1};

void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the program like closing the window: after the running handler,
// so the last transmission is whole and the trace is flushed and closed.
void quitOnTerminate(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QApplication::quit);
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (!displayServerReachable()) {
        std::fprintf(
            stderr,
            "velmorin : aucun serveur d'affichage (DISPLAY et WAYLAND_DISPLAY sont vides) ; "
            "essayez : xvfb-run ./scripts/run\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmorin"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORIN_VERSION));
    quitOnTerminate(app);

    port::SteadyClock::reduceTimerSlack();
    port::SteadyClock clock;
    Form1* form = nullptr;
    port::PortLayer* layerPtr = nullptr;
    auto fatal = [&](const std::string& message) { window::fatalExit(message, form, layerPtr); };

    const port::ConfigResult config = port::configFromEnvironment(std::getenv);
    if (!config.error.empty()) fatal(config.error);
    port::PortLayer layer(config.config, clock, clock, fatal, port::hardwareOpener());
    layerPtr = &layer;

    // The display is initialised (Form_Load) before either window shows.
    Form1 form1(layer, layer, clock);
    form = &form1;
    LcdWindow display(layer, clock);
    form1.show();
    display.move(form1.geometry().right() + 40, form1.geometry().top());
    display.show();
    return app.exec();
}
