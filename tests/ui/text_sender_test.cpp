#include <QTextCursor>
#include <QtTest>

#include "form_rig.h"

using testsupport::FormRig;

namespace {

// The codes that reached DDRAM for one transmission: line 1 columns 0-19, then line 2 0-11.
std::vector<int> sentCodes(const FormRig& rig) {
    std::vector<int> codes;
    const auto& dd = rig.lcd().ddram();
    for (int a = 0; a < 20; ++a) codes.push_back(dd[static_cast<std::size_t>(a)]);
    for (int a = 0x40; a < 0x4C; ++a) codes.push_back(dd[static_cast<std::size_t>(a)]);
    return codes;
}

std::vector<int> codesOf(const std::string& latin) {
    std::vector<int> v;
    for (char c : latin) v.push_back(static_cast<unsigned char>(c));
    v.resize(32, ' ');
    return v;
}

// Data bytes the controller received, in order: the nibbles on the bus while E was high,
// paired up, for RS = 1.
std::vector<int> dataBytes(const FormRig& rig) {
    std::vector<int> nibbles;
    for (std::uint8_t b : rig.rec.bytes(888))
        if ((b & 0x03) == 0x03) nibbles.push_back(b >> 4);
    std::vector<int> out;
    for (std::size_t i = 0; i + 1 < nibbles.size(); i += 2)
        out.push_back(nibbles[i] << 4 | nibbles[i + 1]);
    return out;
}

}  // namespace

class TextSenderTest : public QObject {
    Q_OBJECT

private slots:
    void sendsTheBoxAsTheDisplayShowsIt_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("boxAfter");
        QTest::addColumn<std::vector<int>>("codes");
        const QString digits40 = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCD");
        QTest::newRow("Bonjour") << "Bonjour" << QStringLiteral("Bonjour").leftJustified(32)
                                 << codesOf("Bonjour");
        QTest::newRow("40 characters")
            << digits40 << digits40.left(32) << codesOf("0123456789abcdefghijklmnopqrstuv");
        std::vector<int> ete{1, 't', 1};
        ete.resize(32, ' ');
        QTest::newRow("été") << QStringLiteral("été") << QStringLiteral("été").leftJustified(32)
                             << ete;
        std::vector<int> agrave{192, 0, 201, 1};
        agrave.resize(32, ' ');
        QTest::newRow("À à É é") << QStringLiteral("ÀàÉé")
                                 << QStringLiteral("ÀàÉé").leftJustified(32) << agrave;
        std::vector<int> combining{'e', 1, 'x'};
        combining.resize(32, ' ');
        QTest::newRow("e + combining acute is é")
            << QStringLiteral("ee\u0301x") << QStringLiteral("eéx").leftJustified(32) << combining;
        std::vector<int> controls{'a', ' ', 'b', ' ', 'c', '?', 'd'};
        controls.resize(32, ' ');
        QTest::newRow("newline, tab, emoji")
            << QStringLiteral("a\nb\tc😀d")
            << QStringLiteral("a\nb\tc😀d").leftJustified(33)  // 32 code points, 33 UTF-16 units
            << controls;
        std::vector<int> nbsp{'a', 160, 'b'};
        nbsp.resize(32, ' ');
        QTest::newRow("no-break space stays 160")
            << QStringLiteral("a\u00A0b") << QStringLiteral("a b").leftJustified(32) << nbsp;
    }
    void sendsTheBoxAsTheDisplayShowsIt() {
        QFETCH(QString, box);
        QFETCH(QString, boxAfter);
        QFETCH(std::vector<int>, codes);
        FormRig rig;
        rig.text()->setPlainText(box);
        rig.rec.clear();
        rig.button(2)->click();
        QCOMPARE(rig.text()->toPlainText(), boxAfter);
        QCOMPARE(sentCodes(rig), codes);
        QCOMPARE(dataBytes(rig).size(), std::size_t(32));
        QCOMPARE(rig.lcd().timing().count(), std::uint64_t(0));
    }

    void emptyBoxOnlyInitialises() {
        FormRig rig;
        rig.text()->setPlainText(QStringLiteral("old"));
        rig.button(2)->click();
        rig.text()->clear();
        rig.rec.clear();
        rig.button(2)->click();
        QCOMPARE(rig.rec.bytes(888).size(), std::size_t(43));
        QCOMPARE(rig.text()->toPlainText(), QString());
        QCOMPARE(rig.line(0), std::string(20, ' '));
    }

    void lineChangeComesBeforeThe21stCharacter() {
        FormRig rig;
        rig.text()->setPlainText(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"));
        rig.button(2)->click();
        const auto& dd = rig.lcd().ddram();
        QCOMPARE(std::string(dd.begin() + 0x10, dd.begin() + 0x14), std::string("QRST"));
        QCOMPARE(std::string(dd.begin() + 0x40, dd.begin() + 0x4C), std::string("UVWXYZ012345"));
        QCOMPARE(dd[0x14], std::uint8_t(' '));
        QCOMPARE(rig.line(1).substr(0, 12), std::string("UVWXYZ012345"));
    }

    void lastCharacterStaysSelected() {
        FormRig rig;
        rig.text()->setPlainText(QStringLiteral("😀x"));
        rig.button(2)->click();
        const QTextCursor c = rig.text()->textCursor();
        // 31 characters before the last: the emoji takes two UTF-16 units.
        QCOMPARE(c.selectionStart(), 32);
        QCOMPARE(c.selectionEnd(), 33);
        QCOMPARE(c.selectedText(), QStringLiteral(" "));
    }

    void anyTextSendsExactly32CharactersAfterTheInit_data() {
        QTest::addColumn<QString>("box");
        QTest::newRow("100 000 characters") << QString(100000, u'x');
        QTest::newRow("NULs") << QString(40, QChar(0));
        QTest::newRow("newlines only") << QString(50, u'\n');
        QTest::newRow("right to left") << QStringLiteral("שלום עולם مرحبا");
        QTest::newRow("combining marks") << QString(70, QChar(0x0301));
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QStringLiteral("z");
        QTest::newRow("CRLF") << QStringLiteral("a\r\nb");
    }
    void anyTextSendsExactly32CharactersAfterTheInit() {
        QFETCH(QString, box);
        FormRig rig;
        rig.text()->setPlainText(box);
        rig.rec.clear();
        rig.button(2)->click();
        QCOMPARE(dataBytes(rig).size(), std::size_t(32));
        QCOMPARE(rig.rec.bytes(888).size(), std::size_t(43 + 6 + 32 * 6));
        for (int code : sentCodes(rig))
            QVERIFY2(code >= 32 || code <= 1, "no control code reaches the display");
    }

    void command3SendsTheDateTimeText() {
        FormRig rig;
        rig.form->setDateTimeSource(
            [] { return QDateTime(QDate(2026, 12, 8), QTime(18, 5, 4, 450)); });
        rig.button(3)->click();
        QCOMPARE(rig.text()->toPlainText(),
                 QStringLiteral("08/12/2026 18:05:04").leftJustified(32));
        QCOMPARE(rig.line(0), std::string("08/12/2026 18:05:04 "));
        QCOMPARE(rig.line(1), std::string(20, ' '));
        QCOMPARE(rig.lcd().ddram()[0x12], std::uint8_t('4'));
    }

    void timerTickSendsTheClockTextThreeTimes() {
        FormRig rig;
        int reads = 0;
        rig.form->setDateTimeSource([&reads] {
            ++reads;
            // The seconds are read 1.25 s after the date-time: read the other way round, both
            // sent parts would change.
            return QDateTime(QDate(2026, 12, 8),
                             reads == 1 ? QTime(18, 5, 4, 450) : QTime(18, 5, 5, 700));
        });
        rig.text()->setPlainText(QStringLiteral("typed by the user"));
        rig.rec.clear();
        rig.form->Timer1_Timer();
        QCOMPARE(reads, 2);
        // Date-time first, then the seconds (read a moment later), cut to 32.
        QCOMPARE(rig.text()->toPlainText(), QStringLiteral("08/12/2026 18:05:04U.....65105,7"));
        QCOMPARE(rig.line(0), std::string("08/12/2026 18:05:04U"));
        QCOMPARE(rig.line(1).substr(0, 12), std::string(".....65105,7"));
        const auto bytes = rig.rec.bytes(888);
        QCOMPARE(bytes.size(), std::size_t(3 * (43 + 6 + 32 * 6)));
        const std::size_t one = bytes.size() / 3;
        QVERIFY(std::equal(bytes.begin(), bytes.begin() + static_cast<long>(one),
                           bytes.begin() + static_cast<long>(one)));
        QVERIFY(std::equal(bytes.begin(), bytes.begin() + static_cast<long>(one),
                           bytes.begin() + static_cast<long>(2 * one)));
        QCOMPARE(rig.lcd().timing().count(), std::uint64_t(0));
    }
};

QTEST_MAIN(TextSenderTest)
#include "text_sender_test.moc"
