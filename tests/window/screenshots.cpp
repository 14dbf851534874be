// Renders both windows offscreen, after a short session on the emulated display, into the
// PNG files the README shows. Run by ./scripts/screenshots.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTextEdit>
#include <cstdio>

#include "form_rig.h"
#include "window/lcd_window.h"

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
    display.setColumns(40);
    display.show();
    display.poll();

    const QString formPath = dir + QStringLiteral("/velmorin.png");
    const QString lcdPath = dir + QStringLiteral("/afficheur-lcd.png");
    const bool ok = rig.form->grab().save(formPath) && display.grab().save(lcdPath);
    std::printf("%s\n%s\n", qPrintable(formPath), qPrintable(lcdPath));
    return ok ? 0 : 1;
}
