// Velmorin: drives an HD44780 character LCD on a PC parallel port, or its emulation.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QSettings>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "port/fatal.h"
#include "port/opener.h"
#include "port/port_layer.h"
#include "port/settings/settings.h"
#include "ui/fatal.h"
#include "ui/form1.h"
#include "ui/hardware_line.h"
#include "ui/lcd_window.h"
#include "ui/messages.h"
#include "ui/terminate.h"

namespace {

bool displayServerNamed() {
#ifdef _WIN32
    return true;  // the desktop is always there
#else
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;  // the user chose one (offscreen, vnc ...)
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
#endif
}

bool g_appBuilt = false;
QtMessageHandler g_qtDefault = nullptr;
// Lets go of the trace and the port when the display goes away under us.
std::function<void()> g_release;

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Qt's own list, from its fatal text: "Available platform plugins are: minimal, xcb."
std::string availablePlatforms(const QString& text) {
    const QString marker = QStringLiteral("Available platform plugins are: ");
    const qsizetype at = text.indexOf(marker);
    if (at < 0) return {};
    QString list = text.mid(at + marker.size()).section(QLatin1Char('\n'), 0, 0).trimmed();
    if (list.endsWith(QLatin1Char('.'))) list.chop(1);
    return list.toStdString();
}

// Qt aborts on a fatal message (a display server that does not answer, typically), and
// leaves with exit() when the X server dies; ours end the program the program's way
// instead: one sentence, status 1, the trace whole.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool displayLost = text.contains(QLatin1String("X11 connection broke"));
    if (type != QtFatalMsg && !displayLost) {
        // Before the application exists, the platform's warnings only lead up to its fatal
        // message, which our sentence replaces.
        const bool platformNoise = !g_appBuilt && context.category &&
                                   std::string_view(context.category).starts_with("qt.qpa");
        if (g_qtDefault && !platformNoise) g_qtDefault(type, context, text);
        return;
    }
    if (g_release) g_release();
    if (displayLost) {
        ui::tell(ui::displayServerLost(env("DISPLAY")));
    } else if (g_appBuilt) {
        ui::tell(ui::qtFatal(text.section(QLatin1Char('\n'), 0, 0).toStdString()));
    } else {
        // Qt's own text suggests reinstalling, which never helps here: say what failed.
        const std::string available = availablePlatforms(text);
#ifdef _WIN32
        // No display server to blame here: the platform plugin is missing or broken.
        ui::tell(ui::windowsPlatformUnavailable(available));
#else
        if (!env("QT_QPA_PLATFORM").empty())
            ui::tell(ui::platformUnavailable(env("QT_QPA_PLATFORM"), available));
        else if (env("DISPLAY").empty() && !env("WAYLAND_DISPLAY").empty() &&
                 available.find("wayland") == std::string::npos)
            ui::tell(ui::waylandPluginMissing());
        else
            ui::tell(ui::displayServerUnreachable(env("DISPLAY")));
#endif
    }
    std::_Exit(1);
}

// The display window's state file, looked at before Qt reads it: Qt would wait on a FIFO
// in its place for ever. Null where the choice is not to be remembered, with the reason.
std::unique_ptr<QSettings> openState(port::Os& os, const std::string& path, QString& note) {
    if (path.empty()) return nullptr;
    const port::PathInfo st = os.files.stat(path);
    if (st.error != ENOENT && (st.error != 0 || !st.regularFile)) {
        note = QString::fromStdString(ui::moduleNotRemembered(path));
        return nullptr;
    }
    auto state = std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat);
    if (state->status() != QSettings::NoError)
        note = QString::fromStdString(ui::moduleNotRead(path));
    return state;
}

int run(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
    // Nothing thrown may end the program as an abort: one sentence and status 1 instead.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        ui::fatalExit(ui::outOfMemoryAtStartup());
    } catch (const std::exception& e) {
        ui::fatalExit(ui::startupFailed(e.what()));
    } catch (...) {
        ui::fatalExit(ui::startupFailed("?"));
    }
}

namespace {

int run(int argc, char** argv) {
    if (!displayServerNamed()) ui::fatalExit(ui::noDisplayServer());
    g_qtDefault = qInstallMessageHandler(onQtMessage);
    QApplication app(argc, argv);
    g_appBuilt = true;
    QApplication::setApplicationName(QStringLiteral("Velmorin"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORIN_VERSION));
    ui::quitOnTerminationRequest(app);

    port::Fatal fatal([](const port::Error& error) { ui::fatalExit(error); });
    port::Os& os = port::systemOs();
    os.time.reduceTimerSlack();
    port::SteadyClock clock(os);

    // Every setting is checked before the first write.
    const port::Getenv environment = port::systemEnvironment();
    port::ConfigResult config = port::readConfig(environment, os, port::settingsFiles(environment));
    if (config.error) fatal.fail(*config.error);
    // A device typed for this run (the environment) that is not there ends it; one saved in
    // a settings file (an Arduino since unplugged) starts its port on the emulator, and the
    // display window says why and offers the choice again.
    if (const auto e = port::checkDevices(config.config, os)) fatal.fail(*e);
    const std::string statePath = port::stateFile(environment);
    if (!statePath.empty()) config.config.ownFiles.push_back(statePath);
    port::PortLayer layer(config.config, clock, clock, fatal, port::hardwareOpener(os), os);
    layer.onNote([](const port::Note& note) { ui::tell(ui::toldNote(note)); });
    g_release = [&layer] { layer.release(); };
    // Whatever a handler wrote is on the module and on disk before the program waits for
    // the next event.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &app, [&layer] { layer.flush(); });

    // The display is initialised (Form_Load) before either window shows.
    Form1 form1(layer, layer, layer, fatal);
    // How a backpack's wiring was found, said once where a terminal sees it too.
    for (const auto& p : layer.ports())
        if (p.device)
            if (const std::string look = ui::panelLook(*p.device); !look.empty())
                ui::tell(port::portLabel(p.address) + " : " + look);
    // The display window's module choices, in Qt's own small state file, never in the
    // user's settings file.
    QString stateNote;
    const std::unique_ptr<QSettings> state = openState(os, statePath, stateNote);
    LcdWindow display(layer, clock, state.get());
    if (!stateNote.isEmpty()) display.showStateNote(stateNote);
    display.addHardwareLine(os, port::userSettingsFile(environment))->follow(form1);
    form1.show();
    display.show();
    display.placeBeside(form1);
    // A window manager adds its frames once the windows are mapped: place them again then.
    QTimer::singleShot(0, &display, [&] { display.placeBeside(form1); });
    const int status = app.exec();
    layer.flush();  // the last handler's writes, when it asked to quit
    return status;
}

}  // namespace
