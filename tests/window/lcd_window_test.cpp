#include <QLabel>
#include <QtTest>

#include "form_rig.h"
#include "window/lcd_view.h"
#include "window/lcd_window.h"

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
        QVERIFY(texts.contains(QStringLiteral("Violations de timing : 0")));
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

    void moduleSizeChangesTheViewWidth() {
        FormRig rig;
        LcdWindow w(rig.layer, rig.clock);
        QCOMPARE(w.columns(), 20);
        const int w20 = w.view(888)->sizeHint().width();
        w.setColumns(40);
        QCOMPARE(w.view(888)->columns(), 40);
        QVERIFY(w.view(888)->sizeHint().width() > w20);
        w.setColumns(16);
        QCOMPARE(w.view(888)->columns(), 16);
    }
};

QTEST_MAIN(LcdWindowTest)
#include "lcd_window_test.moc"
