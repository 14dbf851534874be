// Velmorin: drives an HD44780 character LCD on a PC parallel port, or its emulation.
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "port/fatal.h"
#include "port/hardware.h"
#include "port/port_layer.h"
#include "window/fatal.h"
#include "window/form1.h"
#include "window/lcd_window.h"

namespace {

bool displayServerNamed() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;  // the user chose one (offscreen, vnc ...)
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

int g_signalPipe[2] = {-1, -1};
bool g_appBuilt = false;
QtMessageHandler g_qtDefault = nullptr;

void onTerminate(int) {
    // While the fatal message is up, its box runs its own event loop: leave at once.
    if (window::fatalInProgress()) _exit(1);
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the program like closing the window: after the running handler,
// so the last transmission is whole and the trace is flushed and closed.
void quitOnTerminate(QApplication& app) {
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
}

// Qt aborts on a fatal message (a display server that does not answer, typically); ours
// ends the program the program's way instead: one sentence, status 1.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (g_qtDefault) g_qtDefault(type, context, text);
        return;
    }
    // Qt's own text for a missing display suggests reinstalling, which never helps here.
    const char* display = std::getenv("DISPLAY");
    if (!g_appBuilt)
        std::fprintf(stderr,
                     "velmorin : impossible de se connecter au serveur d'affichage « %s » ; "
                     "vérifiez DISPLAY, ou lancez sans écran avec xvfb-run ./scripts/run\n",
                     display ? display : "");
    else
        std::fprintf(stderr, "velmorin : erreur fatale de Qt (%s)\n",
                     text.section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData());
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (!displayServerNamed())
        window::fatalExit(
            "aucun serveur d'affichage (DISPLAY et WAYLAND_DISPLAY sont vides) ; essayez : "
            "xvfb-run ./scripts/run");
    // A trace on a pipe whose reader left must fail with EPIPE, not kill us silently.
    std::signal(SIGPIPE, SIG_IGN);
    g_qtDefault = qInstallMessageHandler(onQtMessage);
    QApplication app(argc, argv);
    g_appBuilt = true;
    QApplication::setApplicationName(QStringLiteral("Velmorin"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORIN_VERSION));
    quitOnTerminate(app);

    port::Fatal fatal([](const std::string& message) { window::fatalExit(message); });
    port::SteadyClock::reduceTimerSlack();
    port::SteadyClock clock;

    // Every setting is checked before the first write.
    const port::ConfigResult config = port::configFromEnvironment(std::getenv);
    if (!config.error.empty()) fatal.fail(config.error);
    if (const std::string e = port::checkDevices(config.config, port::SysApi::real()); !e.empty())
        fatal.fail(e);
    port::PortLayer layer(config.config, clock, clock, fatal, port::hardwareOpener());
    // Whatever a handler wrote is on disk before the program waits for the next event.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &app, [&layer] { layer.flushTrace(); });

    // The display is initialised (Form_Load) before either window shows.
    Form1 form1(layer, layer, layer, fatal);
    LcdWindow display(layer, clock);
    form1.show();
    display.show();
    display.placeBeside(form1);
    return app.exec();
}
