// The program's windows as velmorin wires them, on the machine's own system, for the
// kernel test: after a second on the emulator, it picks the list entry that starts with
// $PICK, at the address $ADDRESS, as a user would, lets the clock run, then prints the
// user's settings file and quits. Not shipped.
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "port/opener.h"
#include "port/port_layer.h"
#include "port/settings/settings.h"
#include "ui/form1.h"
#include "ui/hardware_line.h"
#include "ui/lcd_window.h"
#include "ui/messages.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const char* pick = std::getenv("PICK");
    const char* address = std::getenv("ADDRESS");
    const int seconds = std::getenv("SECONDS_ON") ? std::atoi(std::getenv("SECONDS_ON")) : 4;
    port::Fatal fatal([](const port::Error& e) {
        std::printf("fatal: %s\n", ui::sentence(e).c_str());
        std::fflush(stdout);
        std::_Exit(1);
    });
    port::Os& os = port::systemOs();
    port::SteadyClock clock(os);
    const port::Getenv environment = port::systemEnvironment();
    port::ConfigResult config = port::readConfig(environment, os, port::settingsFiles(environment));
    if (config.error) fatal.fail(*config.error);
    port::PortLayer layer(config.config, clock, clock, fatal, port::hardwareOpener(os), os);
    Form1 form1(layer, layer, layer, fatal);
    LcdWindow display(layer, clock);
    const std::string file = port::userSettingsFile(environment);
    display.addHardwareLine(os, file)->follow(form1);
    form1.show();
    display.show();
    QTimer::singleShot(1000, &display, [&] {
        auto* list = display.findChild<QComboBox*>(QStringLiteral("hardwareList"));
        QStringList items;
        for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
        std::printf("listed: %s\n", qPrintable(items.join(QStringLiteral(" | "))));
        if (address)
            display.findChild<QComboBox*>(QStringLiteral("hardwareAddress"))
                ->setCurrentText(QString::fromUtf8(address));
        for (int i = 0; i < list->count(); ++i)
            if (pick && list->itemText(i).startsWith(QString::fromUtf8(pick)))
                list->setCurrentIndex(i);
        const auto ports = layer.ports();
        std::printf("panel: %s\n", ports.empty() || !ports[0].device
                                       ? "emulator"
                                       : ui::panelName(*ports[0].device).c_str());
        std::fflush(stdout);
    });
    QTimer::singleShot(1000 + seconds * 1000, &app, [&] {
        layer.flush();
        std::string text;
        os.texts.readText(file, port::kMaxSettingsBytes, text);
        std::printf("settings file %s:\n%s--- end\n", file.c_str(), text.c_str());
        std::fflush(stdout);
        app.quit();
    });
    const int status = app.exec();
    layer.flush();
    return status;
}
