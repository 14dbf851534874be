#include <QClipboard>
#include <QMimeData>
#include <QtTest>

#include "form_rig.h"
#include "lcd/lcd_driver.h"

using testsupport::FormRig;

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void startUpInitialisesLpt1AndLoadsGlyphsBeforeShow() {
        FormRig rig;
        QVERIFY(!rig.form->isVisible());
        QCOMPARE(rig.text()->toPlainText(), QString());
        QVERIFY(rig.option(1)->isChecked());
        QVERIFY(!rig.option(2)->isChecked());
        QCOMPARE(rig.form->PortLPT, std::int16_t(888));
        QCOMPARE(rig.rec.bytes(888).size(), std::size_t(259));
        QCOMPARE(rig.rec.bytes(632).size(), std::size_t(0));
        QCOMPARE(rig.rec.sleeps(),
                 (std::vector<std::uint32_t>{16, 2, 2, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2}));
        const auto& lcd = rig.lcd();
        QVERIFY(lcd.fourBitMode() && lcd.twoLines() && lcd.displayOn());
        QCOMPARE(lcd.timing().count(), std::uint64_t(0));
    }

    void lpt2TakesEveryLaterWriteAndLpt1KeepsItsContent() {
        FormRig rig;
        rig.text()->setPlainText(QStringLiteral("Un"));
        rig.button(2)->click();
        const auto lpt1 = rig.lcd(888).ddram();
        rig.rec.clear();
        rig.option(2)->click();
        QCOMPARE(rig.form->PortLPT, std::int16_t(632));
        QCOMPARE(rig.rec.bytes(888).size(), std::size_t(0));
        QCOMPARE(rig.rec.bytes(632).size(), std::size_t(259));
        rig.text()->setPlainText(QStringLiteral("Deux"));
        rig.button(2)->click();
        QCOMPARE(rig.rec.bytes(888).size(), std::size_t(0));
        QCOMPARE(rig.line(0, 632).substr(0, 4), std::string("Deux"));
        QVERIFY(rig.lcd(888).ddram() == lpt1);
        rig.option(1)->click();
        QCOMPARE(rig.form->PortLPT, std::int16_t(888));
    }

    void command4WritesThePatternWithoutClearing() {
        FormRig rig;
        rig.button(4)->click();  // right after start-up: AC still points into CGRAM
        for (std::size_t g = 0; g < 4; ++g)
            for (std::size_t r = 0; r < 8; ++r)
                QCOMPARE(rig.lcd().cgram()[g * 8 + r], lcd::kGlyphs[g][r]);
        rig.text()->setPlainText(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        rig.button(2)->click();
        rig.button(4)->click();
        const auto& dd = rig.lcd().ddram();
        QCOMPARE(dd[0x0E], std::uint8_t('O'));
        QCOMPARE(dd[0x0F], std::uint8_t('p'));
        for (int i = 0; i < 5; ++i) QCOMPARE(dd[0x10 + i], std::uint8_t('0' + i));
        QCOMPARE(dd[0x40], std::uint8_t('t'));
        QCOMPARE(dd[0x41], std::uint8_t('V'));
        QCOMPARE(rig.line(0, 888, {40, 2}).substr(0, 21), std::string("ABCDEFGHIJKLMNOp01234"));
    }

    void geometryTextsAndTabOrderAt96Dpi() {
        FormRig rig;
        if (rig.form->logicalDpiX() != 96) QSKIP("screen is not 96 dpi");
        QCOMPARE(rig.form->windowTitle(), QStringLiteral("Velmorin"));
        QCOMPARE(rig.form->size(), QSize(310, 211));
        QCOMPARE(rig.form->minimumSize(), rig.form->maximumSize());
        struct Expect {
            QWidget* w;
            QRect r;
            QString text;
        };
        const Expect expected[] = {
            {rig.button(1), {8, 8, 145, 25}, QStringLiteral("Initialisation de l'écran LCD")},
            {rig.button(2), {8, 40, 129, 25}, QStringLiteral("Envoyer texte vers LCD")},
            {rig.text(), {144, 40, 137, 57}, QString()},
            {rig.button(3),
             {8, 104, 273, 25},
             QStringLiteral("Afficher la Date et l'Heure sur l'écran LCD")},
            {rig.option(1), {168, 8, 57, 25}, QStringLiteral("LPT1")},
            {rig.option(2), {224, 8, 57, 25}, QStringLiteral("LPT2")},
            {rig.button(4), {64, 160, 113, 25}, QStringLiteral("Command4")},
        };
        for (const auto& e : expected) {
            QCOMPARE(e.w->geometry(), e.r);
            if (auto* b = qobject_cast<QAbstractButton*>(e.w)) QCOMPARE(b->text(), e.text);
        }
        QCOMPARE(rig.text()->toolTip(), QStringLiteral("Tapez votre texte MAX 16 et Clickez !"));
        QCOMPARE(rig.option(1)->property("Tag").toString(), QStringLiteral("888"));
        QCOMPARE(rig.option(2)->property("Tag").toString(), QStringLiteral("632"));
        QCOMPARE(rig.text()->lineWrapColumnOrWidth(), 16);
        QVERIFY2(QFontInfo(rig.text()->font()).fixedPitch(),
                 qPrintable(QFontInfo(rig.text()->font()).family()));
        QCOMPARE(rig.text()->font().pointSize(), 9);

        QWidget* order[] = {rig.button(1), rig.button(2), rig.text(),   rig.button(3),
                            rig.option(1), rig.option(2), rig.button(4)};
        for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
            QWidget* next = order[i]->nextInFocusChain();
            while (next && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
            QCOMPARE(next, order[i + 1]);
        }
    }

    void command1ReinitialisesAndReloadsGlyphs() {
        FormRig rig;
        rig.text()->setPlainText(QStringLiteral("x"));
        rig.button(2)->click();
        rig.rec.clear();
        rig.button(1)->click();
        QCOMPARE(rig.rec.bytes(888).size(), std::size_t(259));
        QCOMPARE(rig.line(0), std::string(20, ' '));
    }

    void timerRunsFromCreationAtOneSecond() {
        port::SimulatedClock clock;
        port::Fatal fatal([](const port::Error&) {});
        port::PortLayer layer(testsupport::emulatorConfig(), clock, clock, fatal,
                              port::hardwareOpener());
        Form1 form(layer, layer, clock, fatal);
        auto* timer = form.findChild<QTimer*>(QStringLiteral("Timer1"));
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    }

    void tabLeavesTheTextBox() {
        FormRig rig;
        rig.form->show();
        rig.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
        rig.text()->setPlainText(QStringLiteral("ab"));
        rig.text()->setFocus();
        QTest::keyClick(rig.text(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), rig.button(3));
        QCOMPARE(rig.text()->toPlainText(), QStringLiteral("ab"));
    }

    // Ctrl+V with nothing on the clipboard inserts nothing (Qt's own box crashes there);
    // with text there, the plain text goes in.
    void pasteTakesPlainTextOnly() {
        FormRig rig;
        rig.text()->setPlainText(QStringLiteral("ab"));
        rig.text()->moveCursor(QTextCursor::End);
        rig.text()->setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClick(rig.text(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rig.text()->toPlainText(), QStringLiteral("ab"));
        auto* rich = new QMimeData;
        rich->setHtml(QStringLiteral("<b>gras</b>"));
        rich->setText(QStringLiteral("cd"));
        QApplication::clipboard()->setMimeData(rich);
        QTest::keyClick(rig.text(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rig.text()->toPlainText(), QStringLiteral("abcd"));
        QVERIFY(!rig.text()->toHtml().contains(QLatin1String("font-weight:700")));
    }

    // A paste of a million "e" and accents keeps 4096 composed characters, "é" each.
    void aHugePasteKeepsABoundedPrefix() {
        FormRig rig;
        rig.text()->setFocus();
        QString decomposed;
        for (int i = 0; i < 500'000; ++i) decomposed += QStringLiteral("e\u0301");
        QApplication::clipboard()->setText(decomposed);
        QTest::keyClick(rig.text(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rig.text()->toPlainText(), QString(4096, QChar(0xE9)));
    }

    void optionIndexOutsideTheArrayIsIgnored() {
        FormRig rig;
        rig.rec.clear();
        for (int index : {0, 3, -1}) rig.form->Option1_Click(index);
        QCOMPARE(rig.rec.events().size(), std::size_t(0));
        QCOMPARE(rig.form->PortLPT, std::int16_t(888));
    }

    void aFatalErrorHaltsEveryHandler() {
        FormRig rig;
        port::Error lost;
        lost.what = port::Problem::OpenFailed;
        lost.device = "/dev/parport0";
        lost.err = ENODEV;
        rig.fatalPath.fail(lost);
        QCOMPARE(rig.fatal.size(), std::size_t(1));
        rig.rec.clear();
        rig.button(1)->click();
        rig.form->Command2_Click();
        rig.form->Timer1_Timer();
        rig.form->Option1_Click(2);
        QCOMPARE(rig.rec.events().size(), std::size_t(0));
        QVERIFY(!rig.timer()->isActive());
    }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
