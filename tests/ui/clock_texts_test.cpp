#include <QtTest>

#include "ui/clock_texts.h"

class ClockTextsTest : public QObject {
    Q_OBJECT

private slots:
    void dateTimeText_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("text");
        const QLocale fr(QLocale::French, QLocale::France);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QDate d(2026, 12, 8);
        QTest::newRow("fr") << fr << QDateTime(d, QTime(18, 5, 4, 450)) << "08/12/2026 18:05:04";
        QTest::newRow("us") << us << QDateTime(d, QTime(18, 5, 4, 450)) << "12/8/26 6:05:04 PM";
        QTest::newRow("fr midnight") << fr << QDateTime(d, QTime(0, 0, 0, 999)) << "08/12/2026";
        QTest::newRow("us midnight") << us << QDateTime(d, QTime(0, 0)) << "12/8/26";
        QTest::newRow("fr one second past")
            << fr << QDateTime(d, QTime(0, 0, 1)) << "08/12/2026 00:00:01";
        QTest::newRow("de") << QLocale(QLocale::German, QLocale::Germany)
                            << QDateTime(d, QTime(7, 8, 9)) << "08.12.26 07:08:09";
    }
    void dateTimeText() {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, now);
        QFETCH(QString, text);
        QCOMPARE(ui::dateTimeText(now, locale), text);
    }

    void secondsText_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QString>("text");
        const QLocale fr(QLocale::French, QLocale::France);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("fr") << fr << QTime(18, 5, 4, 450) << "65104,45";
        QTest::newRow("us") << us << QTime(18, 5, 4, 450) << "65104.45";
        QTest::newRow("whole") << fr << QTime(1, 0, 0) << "3600";
        QTest::newRow("midnight") << fr << QTime(0, 0) << "0";
        QTest::newRow("first ms") << us << QTime(0, 0, 0, 1) << "0.001";
        QTest::newRow("last ms, float rounds") << us << QTime(23, 59, 59, 999) << "86400";
        QTest::newRow("7 digits") << us << QTime(2, 46, 39, 125) << "9999.125";
        QTest::newRow("past 2^24 ms, one rounding") << us << QTime(4, 39, 37, 235) << "16777.23";
    }
    void secondsText_arabic() {
        // Egyptian Arabic writes ٦٥١٠٤٫٤٥; the module gets the same number in 0-9.
        const QString text =
            ui::secondsText(QTime(18, 5, 4, 450), QLocale(QLocale::Arabic, QLocale::Egypt));
        QVERIFY2(text.startsWith(QLatin1String("65104")) && text.endsWith(QLatin1String("45")),
                 qPrintable(text));
    }
    void secondsText() {
        QFETCH(QLocale, locale);
        QFETCH(QTime, now);
        QFETCH(QString, text);
        QCOMPARE(ui::secondsText(now, locale), text);
    }

    // Every locale Qt knows: the zone goes with its brackets and separator, the time's
    // seconds stay, and every digit is one the module can show.
    void dateTimeTextInEveryLocale() {
        const QDateTime now(QDate(2026, 12, 8), QTime(18, 5, 4, 450));
        const auto locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                      QLocale::AnyTerritory);
        QVERIFY(locales.size() > 300);
        QStringList bad;
        for (const QLocale& locale : locales) {
            const QString text = ui::dateTimeText(now, locale);
            const QString all = text + ui::secondsText(now.time(), locale);
            const QChar last = text.isEmpty() ? QChar() : text.back();
            // The module has the digits 0-9 only: "٠٤" would show as "??".
            const auto units = all.toUcs4();
            const bool foreignDigits = std::any_of(units.begin(), units.end(), [](uint c) {
                return QChar::isDigit(c) && (c < u'0' || c > u'9');
            });
            if (text.contains(QLatin1String("()")) || text.contains(QLatin1String("[]")) ||
                last.isSpace() || QStringLiteral(",;:([-/").contains(last) ||
                !text.contains(u'4') || foreignDigits)  // 18:05:04: only the seconds hold a 4
                bad << locale.name() + QLatin1String(": ") + all;
        }
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1String(" | "))));
    }
};

QTEST_MAIN(ClockTextsTest)
#include "clock_texts_test.moc"
