// Renders both windows offscreen, after a short session on the emulated display, into the
// PNG files the README shows. Run by ./scripts/screenshots.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTextEdit>
#include <cstdio>

#include "form_rig.h"
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
    std::printf("%s\n%s\n%s\n", qPrintable(formPath), qPrintable(lcdPath), qPrintable(lcd4Path));
    return ok ? 0 : 1;
}
