// Velmorin: drives an HD44780 character LCD on a PC parallel port, or its emulation.
#include <QApplication>
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

    port::SteadyClock::reduceTimerSlack();
    port::SteadyClock clock;
    Form1* form = nullptr;
    port::PortLayer* layerPtr = nullptr;
    auto fatal = [&](const std::string& message) { window::fatalExit(message, form, layerPtr); };

    const port::ConfigResult config = port::configFromEnvironment(std::getenv);
    port::PortLayer layer(config.config, clock, clock, fatal, port::hardwareOpener());
    layerPtr = &layer;
    if (!config.error.empty()) fatal(config.error);

    // The display is initialised (Form_Load) before either window shows.
    Form1 form1(layer, layer, clock);
    form = &form1;
    LcdWindow display(layer, clock);
    form1.show();
    display.move(form1.geometry().right() + 40, form1.geometry().top());
    display.show();
    return app.exec();
}
