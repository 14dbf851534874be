#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include "../kernel/bridges/backpack.h"
#include "fake_os.h"
#include "form_rig.h"
#include "port/opener.h"
#include "ui/hardware_line.h"
#include "ui/lcd_view.h"
#include "ui/lcd_window.h"
#include "ui/messages.h"

using testsupport::FormRig;

class LcdWindowTest : public QObject {
    Q_OBJECT

private slots:
    void showsAPanelPerDrivenPort() {
        FormRig rig;
        LcdWindow w(rig.layer, rig.clock);
        QCOMPARE(w.windowTitle(), QStringLiteral("Afficheur LCD"));
        QVERIFY(w.view(888) != nullptr);
        QVERIFY(w.view(632) == nullptr);
        rig.option(2)->click();
        w.poll();
        QVERIFY(w.view(632) != nullptr);
        const auto labels = w.findChildren<QLabel*>();
        QStringList texts;
        for (auto* l : labels) texts << l->text();
        QVERIFY(texts.contains(QStringLiteral("LPT1 (0x378)")));
        QVERIFY(texts.contains(QStringLiteral("LPT2 (0x278)")));
        QVERIFY(texts.contains(QStringLiteral("Violations de timing (270 kHz) : 0")));
        QVERIFY(texts.contains(QStringLiteral("Avertissements : 0")));
    }

    void drawsTheDotsOfAKnownCell() {
        FormRig rig;
        rig.text()->setPlainText(QStringLiteral("Aé"));
        rig.button(2)->click();
        LcdWindow w(rig.layer, rig.clock);
        LcdView* v = w.view(888);
        QVERIFY(v);
        const QImage img = v->grab().toImage();
        auto lit = [&](int col, int r, int d) {
            return img.pixelColor(v->dotOrigin(0, col, r, d)) == LcdView::dotOn();
        };
        // 'A' top row is .###. ; its fifth row is #####.
        QVERIFY(!lit(0, 0, 0));
        QVERIFY(lit(0, 0, 1) && lit(0, 0, 2) && lit(0, 0, 3));
        QVERIFY(!lit(0, 0, 4));
        for (int d = 0; d < 5; ++d) QVERIFY(lit(0, 4, d));
        // 'é' is custom glyph 1: 0x04 on top, the accent in the middle column.
        QVERIFY(lit(1, 0, 2) && !lit(1, 0, 1) && !lit(1, 0, 3));
        // Between cells the backlight shows.
        QCOMPARE(img.pixelColor(v->dotOrigin(0, 0, 0, 4) + QPoint(LcdView::kDot + 1, 0)),
                 LcdView::backlight());
    }

    void hardwarePanelSaysItIsAMirrorAndShowsTheNote() {
        class Sink final : public port::PortBackend {
        public:
            int write(hd44780::Pins) noexcept override { return 0; }
            port::Description description() const override {
                return {"ppdev", "/dev/parport0", {}, {}, false};
            }
        };
        port::SimulatedClock clock;
        port::Fatal fatal([](const port::Error&) {});
        port::PortLayer layer(
            {}, clock, clock, fatal, [](std::int16_t port, const port::PortConfig&) {
                port::OpenResult r;
                if (port == 0x378)
                    r.backend = std::make_unique<Sink>();
                else
                    r.note = {"ppdev", 0x278, "VELMORIN_LPT2", {{"/dev/parport0", 0x378}}, {}, {}};
                return r;
            });
        layer.Out32(0x378, 0x42);
        layer.Out32(0x278, 0x01);
        LcdWindow w(layer, clock);
        QStringList texts;
        for (auto* l : w.findChildren<QLabel*>()) texts << l->text();
        QVERIFY2(texts.contains(QStringLiteral("LPT1 (0x378) — miroir de /dev/parport0 (ppdev)")),
                 qPrintable(texts.join(QLatin1String(" | "))));
        QVERIFY(texts.contains(
            QStringLiteral("LPT2 (0x278)\naucun port à 0x278 ; /dev/parport0 est à 0x378")));
        // With hardware driven, the mirror may be closed.
        w.show();
        QVERIFY(w.close());
        // The last value on LPT1, 0x42, has E and D6 high and RS low.
        bool shown = false;
        for (const QString& t : texts)
            if (t.contains(QStringLiteral("● E<")) && t.contains(QStringLiteral("● D6<")) &&
                t.contains(QStringLiteral("○ RS<")) && t.contains(QStringLiteral("○ D7<")))
                shown = true;
        QVERIFY(shown);
    }

    // The module the user owns: a 20x4 shows the 20 characters of line 1 on row 1; a slow
    // clone driven at full speed loses characters, and the panel says why and what helps.
    void moduleChoicesApplyAtOnce() {
        FormRig rig;
        LcdWindow w(rig.layer, rig.clock);
        QCOMPARE(w.module(), (hd44780::Geometry{20, 2}));
        const int w20 = w.view(888)->sizeHint().width();
        w.setModule({20, 4});
        QCOMPARE(w.view(888)->module(), (hd44780::Geometry{20, 4}));
        QVERIFY(w.view(888)->sizeHint().height() > 0);
        w.setModule({40, 2});
        QVERIFY(w.view(888)->sizeHint().width() > w20);

        w.setOscillator(hd44780::Oscillator::k190kHz);
        rig.text()->setPlainText(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        rig.button(2)->click();
        w.poll();
        const auto& lcd = rig.lcd();
        QVERIFY(lcd.timing().count(hd44780::ViolationKind::LatchWhileBusy) > 0);
        QVERIFY(rig.line(0) != "ABCDEFGHIJKLMNOPQRST");  // bytes were lost, as on the part
        QLabel* violations = nullptr;
        for (auto* l : w.findChildren<QLabel*>())
            if (l->text().startsWith(QStringLiteral("Violations de timing (190 kHz) : ")))
                violations = l;
        QVERIFY(violations);
        QVERIFY(violations->toolTip().contains(QStringLiteral("VELMORIN_DELAY=2")));

        w.setRom(hd44780::Rom::A02);
        QCOMPARE(rig.lcd().rom(), hd44780::Rom::A02);
    }

    // The module chosen in the window is there again at the next start, unless
    // VELMORIN_MODULE names one.
    void theChosenModuleIsRememberedBelowTheSetting() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("state.ini"));
        {
            QSettings state(file, QSettings::IniFormat);
            testsupport::PortRig rig;
            LcdWindow w(rig.layer, rig.clock, &state);
            w.findChild<QComboBox*>(QStringLiteral("moduleSize"))
                ->setCurrentText(QStringLiteral("16x2"));
            auto* rom = w.findChild<QComboBox*>(QStringLiteral("moduleRom"));
            rom->setCurrentIndex(rom->findData(static_cast<int>(hd44780::Rom::A02)));
        }
        QSettings state(file, QSettings::IniFormat);
        QCOMPARE(state.value(QStringLiteral("module")).toString(),
                 QStringLiteral("16x2,a02,270khz"));
        testsupport::PortRig again;
        LcdWindow w(again.layer, again.clock, &state);
        QCOMPARE(w.module(), (hd44780::Geometry{16, 2}));
        QCOMPARE(again.layer.config().emulator.rom, hd44780::Rom::A02);

        port::PortConfig named = testsupport::emulatorConfig();
        named.origins.push_back({"VELMORIN_MODULE", "20x4", {}, 0});
        named.module = {20, 4};
        testsupport::PortRig setting({}, named);
        LcdWindow v(setting.layer, setting.clock, &state);
        QCOMPARE(v.module(), (hd44780::Geometry{20, 4}));
        QCOMPARE(setting.layer.config().emulator.rom, hd44780::Rom::A00);
    }

    // A state file that cannot be written is said in the window, never passed over.
    void aChoiceThatCannotBeSavedIsSaid() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
        QSettings state(dir.filePath(QStringLiteral("file/state.ini")), QSettings::IniFormat);
        testsupport::PortRig rig;
        LcdWindow w(rig.layer, rig.clock, &state);
        auto* note = w.findChild<QLabel*>(QStringLiteral("stateNote"));
        QVERIFY(note && note->isHidden());
        w.findChild<QComboBox*>(QStringLiteral("moduleSize"))
            ->setCurrentText(QStringLiteral("16x2"));
        QVERIFY(!note->isHidden());
        QVERIFY(note->text().startsWith(QStringLiteral("Choix du module non enregistré : ")));
        QVERIFY(note->text().contains(QStringLiteral("file/state.ini")));
    }

    void theOnlyOutputCannotBeLostAndStaysOnScreen() {
        FormRig rig;
        LcdWindow w(rig.layer, rig.clock);
        w.show();
        QVERIFY2(!w.close(), "closing only minimises while the emulator is the only output");
        rig.form->move(rig.form->screen()->availableGeometry().right() - 50, 0);
        w.placeBeside(*rig.form);
        QVERIFY(rig.form->screen()->availableGeometry().contains(w.geometry().topLeft()));
    }

    // At any font scaling (ctest runs this at 96, 144 and 192 dpi), both windows lie inside
    // the screen's available area and do not overlap where the area has room for both.
    void bothWindowsFitAndNeverOverlap() {
        FormRig rig;
        LcdWindow w(rig.layer, rig.clock);
        rig.form->show();
        w.show();
        const QRect area = rig.form->screen()->availableGeometry();
        for (const QPoint start :
             {QPoint(0, 0), area.bottomRight(), QPoint(area.width() / 2, 10)}) {
            rig.form->move(start);
            w.placeBeside(*rig.form);
            const QRect f = rig.form->frameGeometry(), d = w.frameGeometry();
            const bool room = (f.width() + d.width() <= area.width() &&
                               qMax(f.height(), d.height()) <= area.height()) ||
                              (f.height() + d.height() <= area.height() &&
                               qMax(f.width(), d.width()) <= area.width());
            QVERIFY2(area.contains(f), qPrintable(QStringLiteral("Form1 %1,%2 %3x%4")
                                                      .arg(f.x())
                                                      .arg(f.y())
                                                      .arg(f.width())
                                                      .arg(f.height())));
            QVERIFY2(area.contains(d) || !room,
                     qPrintable(QStringLiteral("display %1,%2 %3x%4 in %5x%6, Form1 %7x%8")
                                    .arg(d.x())
                                    .arg(d.y())
                                    .arg(d.width())
                                    .arg(d.height())
                                    .arg(area.width())
                                    .arg(area.height())
                                    .arg(f.width())
                                    .arg(f.height())));
            QVERIFY(!f.intersects(d) || !room);
        }
    }

    // The "Matériel" line over a fake system with two serial ports, the second held by
    // another program: choosing reopens the port and starts the module again; a failing
    // choice leaves the emulator, the panel saying why; the settings file gets one line.
    void hardwareLineChoosesAppliesAndKeeps() {
        testsupport::FakeOs os;
        os.serialPorts = {{{"COM7", "Arduino Uno"}, {"COM8", ""}}};
        os.serialErrno["COM8"] = EBUSY;
        const std::string file = "/u/velmorin.conf";
        os.texts[file] = "# mine\nVELMORIN_DELAY=1\n";
        port::SimulatedClock clock;
        std::vector<port::Error> fatal;
        port::Fatal fatalPath([&](const port::Error& e) { fatal.push_back(e); });
        port::PortConfig config;
        QVERIFY(!port::parseDevice("emulator", config.devices[0]));
        port::PortLayer layer(config, clock, clock, fatalPath, port::hardwareOpener(os), os);
        Form1 form(layer, layer, layer, fatalPath);
        LcdWindow w(layer, clock);
        HardwareLine* line = w.addHardwareLine(os, file);
        connect(line, &HardwareLine::chosen, &form, &Form1::Command1_Click);
        auto* list = w.findChild<QComboBox*>(QStringLiteral("hardwareList"));
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->itemText(0), QStringLiteral("Émulateur seul"));
        QCOMPARE(list->itemText(1), QStringLiteral("COM7 — Arduino Uno"));
        QCOMPARE(list->itemText(3), QStringLiteral("Autre…"));
        QCOMPARE(list->currentIndex(), 0);

        form.findChild<QTextEdit*>(QStringLiteral("Text1"))
            ->setPlainText(QStringLiteral("Bonjour"));
        form.Command2_Click();
        auto row = [&] {
            std::string s;
            for (int c = 0; c < 7; ++c)
                s += static_cast<char>(layer.display(0x378)->cell(0, c, {20, 2}).code);
            return s;
        };
        QCOMPARE(row(), std::string("Bonjour"));
        list->setCurrentIndex(1);
        QVERIFY(fatal.empty());
        QCOMPARE(layer.ports()[0].device->device, std::string("COM7"));
        QCOMPARE(row(), std::string(7, ' '));  // cleared by the start-up
        QCOMPARE(os.texts[file],
                 std::string("# mine\nVELMORIN_DELAY=1\nVELMORIN_LPT1=COM7@lcdserializer\n"));

        list->setCurrentIndex(2);
        QVERIFY(fatal.empty());
        QVERIFY(!layer.ports()[0].device);
        QVERIFY(layer.ports()[0].choiceFailed);
        QStringList texts;
        for (auto* l : w.findChildren<QLabel*>()) texts << l->text();
        QVERIFY2(texts.join(u'|').contains(
                     QStringLiteral("LPT1 (0x378)\n") +
                     QString::fromStdString(ui::sentence(*layer.ports()[0].choiceFailed))),
                 qPrintable(texts.join(u'|')));
        QCOMPARE(os.texts[file],
                 std::string("# mine\nVELMORIN_DELAY=1\nVELMORIN_LPT1=COM7@lcdserializer\n"));
    }

    // "Chercher" on a bus with an mjkdz board behind a PCF8574 at 0x27: the address and
    // the wiring read back fill the fields, and the device text kept names them both.
    void hardwareLineFindsTheWiring() {
#ifdef _WIN32
        QSKIP("i2c-dev is Linux's");
#else
        testsupport::FakeOs os;
        os.serialPorts = std::vector<port::SerialPortInfo>{};
        os.node("i2c-1", 89);
        os.files["/sys/bus/i2c/devices/i2c-1/name"] = {"bcm2835 (i2c@7e804000)"};
        os.i2cFuncs = 0x1 | 0x20000;  // I2C_FUNC_I2C, SMBUS_QUICK
        std::vector<const char*> board{"65470123", "pnp"};
        backpack_configure(2, const_cast<char**>(board.data()));
        os.onSmbus = [](std::uint8_t a, port::SmbusTransfer&) { return a == 0x27 ? 0 : -ENXIO; };
        os.onWrite = [&os](int, const void* data, std::size_t n) -> long {
            for (std::size_t i = 0; i < n; ++i)
                backpack_write(static_cast<const std::uint8_t*>(data)[i]);
            return os.i2cAddress == 0x27 ? static_cast<long>(n) : -ENXIO;
        };
        os.onI2cRead = [](std::uint8_t, std::span<std::uint8_t> bytes) {
            for (std::uint8_t& b : bytes) b = backpack_read();
            return static_cast<int>(bytes.size());
        };
        const std::string file = "/u/velmorin.conf";
        port::SimulatedClock clock;
        port::Fatal fatalPath([](const port::Error&) {});
        port::PortLayer layer(port::PortConfig{}, clock, clock, fatalPath, port::hardwareOpener(os),
                              os);
        LcdWindow w(layer, clock);
        w.addHardwareLine(os, file);
        auto* list = w.findChild<QComboBox*>(QStringLiteral("hardwareList"));
        list->setCurrentIndex(list->findText(QStringLiteral("/dev/i2c-1"), Qt::MatchStartsWith));
        w.findChild<QPushButton*>(QStringLiteral("hardwareFind"))->click();
        QCOMPARE(os.texts[file], std::string("VELMORIN_LPT1=/dev/i2c-1@0x27,mjkdz\n"));
        QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("hardwareWiring"))->currentText(),
                 QStringLiteral("PCF8574, mjkdz"));
        QCOMPARE(layer.ports()[0].device->lookedUp, std::string("0x27,mjkdz"));
#endif
    }

    void anEnvironmentSettingShowsAsFixed() {
        testsupport::FakeOs os;
        os.serialPorts = std::vector<port::SerialPortInfo>{};
        port::SimulatedClock clock;
        port::Fatal fatalPath([](const port::Error&) {});
        port::PortConfig config;
        QVERIFY(!port::parseDevice("COM3@lcdserializer", config.devices[0]));
        config.origins.push_back({"VELMORIN_LPT1", "COM3@lcdserializer", "", 0});
        port::PortLayer layer(config, clock, clock, fatalPath, port::hardwareOpener(os), os);
        LcdWindow w(layer, clock);
        HardwareLine* line = w.addHardwareLine(os, "/u/velmorin.conf");
        auto* list = w.findChild<QComboBox*>(QStringLiteral("hardwareList"));
        QCOMPARE(list->currentText(), QStringLiteral("Autre…"));
        QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("hardwareOther"))->text(),
                 QStringLiteral("COM3@lcdserializer"));
        QVERIFY(!list->isEnabled());
        QCOMPARE(
            w.findChild<QLabel*>(QStringLiteral("hardwareNote"))->text(),
            QStringLiteral("VELMORIN_LPT1=COM3@lcdserializer vient de l'environnement et ne peut "
                           "pas être changé ici ; retirez-le de l'environnement pour choisir dans "
                           "cette liste"));
        QVERIFY(os.texts.count("/u/velmorin.conf") == 0);
        // LPT2 is set nowhere: its line is free.
        line->setPort(0x278);
        QVERIFY(list->isEnabled());
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("hardwareNote"))->isHidden());
    }

    // LPT2 asks for the port LPT1 has: both stay as they were, the sentence wraps at the
    // panel; "Autre…" takes the keyboard; a new sentence replaces the panel's.
    void hardwareLineOnTheSecondPort() {
        testsupport::FakeOs os;
        os.serialPorts = {{{"COM7", "Arduino Uno"}}};
        port::SimulatedClock clock;
        port::Fatal fatalPath([](const port::Error&) {});
        port::PortLayer layer(port::PortConfig{}, clock, clock, fatalPath, port::hardwareOpener(os),
                              os);
        LcdWindow w(layer, clock);
        HardwareLine* line = w.addHardwareLine(os, "/u/velmorin.conf");
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* list = w.findChild<QComboBox*>(QStringLiteral("hardwareList"));
        list->setCurrentIndex(1);
        line->setPort(0x278);
        list->setCurrentIndex(1);
        const auto ports = layer.ports();
        QCOMPARE(ports[0].device->device, std::string("COM7"));
        QVERIFY(!ports[1].device);
        QVERIFY(ports[1].choiceFailed);
        QCOMPARE(ports[1].choiceFailed->what, port::Problem::HeldByOtherPort);
        QCOMPARE(os.texts["/u/velmorin.conf"], std::string("VELMORIN_LPT1=COM7@lcdserializer\n"));
        QTest::qWait(100);  // the panels follow the layer
        const QLabel* said = nullptr;
        for (auto* l : w.findChildren<QLabel*>())
            if (l->text().contains(QStringLiteral("déjà utilisé par LPT1"))) said = l;
        QVERIFY(said);
        QVERIFY2(said->minimumSizeHint().width() <= 400,
                 qPrintable(QString::number(said->minimumSizeHint().width())));

        list->setCurrentIndex(list->count() - 1);
        auto* other = w.findChild<QLineEdit*>(QStringLiteral("hardwareOther"));
        QVERIFY(other->hasFocus());
        other->setText(QStringLiteral("/dev/tty"));
        QTest::keyClick(other, Qt::Key_Return);
        QVERIFY(!layer.ports()[1].choiceFailed);
    }
};

QTEST_MAIN(LcdWindowTest)
#include "lcd_window_test.moc"
