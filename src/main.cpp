// Velmorin: drives an HD44780 character LCD on a PC parallel port, or its emulation.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <cstdlib>

#include "port/fatal.h"
#include "port/opener.h"
#include "port/port_layer.h"
#include "port/settings.h"
#include "window/fatal.h"
#include "window/form1.h"
#include "window/lcd_window.h"
#include "window/messages.h"
#include "window/terminate.h"

namespace {

bool displayServerNamed() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;  // the user chose one (offscreen, vnc ...)
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

bool g_appBuilt = false;
QtMessageHandler g_qtDefault = nullptr;

// Qt aborts on a fatal message (a display server that does not answer, typically); ours
// ends the program the program's way instead: one sentence, status 1.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (g_qtDefault) g_qtDefault(type, context, text);
        return;
    }
    // Qt's own text for a missing display suggests reinstalling, which never helps here.
    window::tell(g_appBuilt ? window::qtFatal(text.section(QLatin1Char('\n'), 0, 0).toStdString())
                            : window::displayServerUnreachable(std::getenv("DISPLAY")));
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (!displayServerNamed()) window::fatalExit(window::noDisplayServer());
    g_qtDefault = qInstallMessageHandler(onQtMessage);
    QApplication app(argc, argv);
    g_appBuilt = true;
    QApplication::setApplicationName(QStringLiteral("Velmorin"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORIN_VERSION));
    window::quitOnTerminationRequest(app);

    port::Fatal fatal([](const port::Error& error) { window::fatalExit(error); });
    port::Os& os = port::systemOs();
    os.reduceTimerSlack();
    port::SteadyClock clock(os);

    // Every setting is checked before the first write.
    const port::ConfigResult config = port::configFromEnvironment(std::getenv);
    if (config.error) fatal.fail(*config.error);
    if (const auto e = port::checkDevices(config.config, os)) fatal.fail(*e);
    port::PortLayer layer(config.config, clock, clock, fatal, port::hardwareOpener(os), os);
    layer.onNote([](const port::Note& note) { window::tell(window::toldNote(note)); });
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
