// Renders both windows offscreen, after a short session on the emulated display, into the
// PNG files the README shows. Run by ./scripts/screenshots.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QTextEdit>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fake_hid.h"
#include "fake_os.h"
#include "form_rig.h"
#include "port/opener.h"
#include "ui/lcd_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(dir);

    testsupport::FormRig rig;
    rig.form->setDateTimeSource([] { return QDateTime(QDate(2026, 12, 8), QTime(18, 5, 4, 450)); });
    rig.text()->setPlainText(QStringLiteral("Bonjour à tous, été 2026 ! Velmorin"));
    rig.button(2)->click();
    rig.button(4)->click();
    rig.form->show();

    LcdWindow display(rig.layer, rig.clock);
    display.setModule({40, 2});
    display.show();
    display.poll();

    const QString formPath = dir + QStringLiteral("/velmorin.png");
    const QString lcdPath = dir + QStringLiteral("/afficheur-lcd.png");
    bool ok = rig.form->grab().save(formPath) && display.grab().save(lcdPath);

    // The clock on a 20x4 module: row 1 carries line 1, row 2 line 2.
    rig.form->Timer1_Timer();
    display.setModule({20, 4});
    display.poll();
    const QString lcd4Path = dir + QStringLiteral("/afficheur-lcd-20x4.png");
    ok = ok && display.grab().save(lcd4Path);

    // The hardware line with its list open, on a made-up PC with a parallel port, an I2C
    // bus, a USB bridge, a GPIO chip and an Arduino.
    testsupport::FakeOs os;
    testsupport::FakeHid hid;
    os.hid = &hid;
    os.addParport(0, "888\t1912");
    os.files["/sys/bus/i2c/devices/i2c-1/name"] = {"bcm2835 (i2c@7e804000)"};
    hid.attached.push_back({{"/dev/hidraw0", 0x04D8, 0x00DD, "0123456"}, nullptr});
    os.files["/sys/bus/gpio/devices/gpiochip0/dev"] = {"254:0"};
    os.node("gpiochip0", 254);
    os.gpioChip = {"pinctrl-bcm2711", 58};
    os.files["/sys/class/tty/ttyACM0/dev"] = {"166:0"};
    os.texts["/sys/class/tty/ttyACM0/device/../product"] = "Arduino Uno\n";
    port::SimulatedClock clock;
    port::Fatal fatal([](const port::Error&) {});
    port::PortConfig config;
    (void)port::parseDevice("emulator", config.devices[0]);
    port::PortLayer layer(config, clock, clock, fatal, port::hardwareOpener(os), os);
    Form1 form(layer, layer, layer, fatal);
    form.findChild<QTextEdit*>(QStringLiteral("Text1"))
        ->setPlainText(QStringLiteral("Bonjour à tous"));
    form.Command2_Click();
    LcdWindow chooser(layer, clock);
    chooser.setModule({16, 2});
    chooser.addHardwareLine(os, {});
    chooser.show();
    chooser.poll();
    auto* list = chooser.findChild<QComboBox*>(QStringLiteral("hardwareList"));
    list->showPopup();
    QWidget* popup = list->view()->window();
    // The list drops below its box, over the window, as on a desktop.
    const QPoint at = list->mapTo(&chooser, QPoint(0, list->height()));
    const QPixmap window = chooser.grab();
    const QPixmap dropped = popup->grab();
    QPixmap shot(window.width(), std::max(window.height(), at.y() + dropped.height()));
    shot.fill(Qt::white);
    {
        QPainter painter(&shot);
        painter.drawPixmap(0, 0, window);
        painter.drawPixmap(at, dropped);
    }
    const QString listPath = dir + QStringLiteral("/materiel.png");
    ok = ok && shot.save(listPath);
    std::printf("%s\n%s\n%s\n%s\n", qPrintable(formPath), qPrintable(lcdPath), qPrintable(lcd4Path),
                qPrintable(listPath));
    return ok ? 0 : 1;
}
