#include "ui/clock_texts.h"

namespace ui {

namespace {

bool isSeparator(QChar c) {
    return c.isSpace() || c == u',' || c == u'-' || c == u'/';
}

QChar closing(QChar open) {
    return open == u'(' ? u')' : open == u'[' ? u']' : QChar();
}

// The locale's own digits (Arabic-Indic, Thai, Burmese ...) as 0-9: the module's ROMs have
// no others.
QString latinDigits(const QString& text) {
    QList<uint> units = text.toUcs4();  // some scripts' digits lie beyond the BMP
    for (uint& c : units)
        if (c > u'9' && QChar::isDigit(c) && QChar::digitValue(c) >= 0)
            c = u'0' + static_cast<uint>(QChar::digitValue(c));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(units.constData()), units.size());
}

}  // namespace

QString timeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') quoted = !quoted;
        if (quoted || c != u't') {
            out += c;
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == u't') ++i;  // t, tt, ttt, tttt
        // The zone goes with the brackets around it ("(t)", "[t]") ...
        qsizetype back = out.size();
        while (back > 0 && out[back - 1].isSpace()) --back;
        qsizetype next = i + 1;
        while (next < format.size() && format[next].isSpace()) ++next;
        if (back > 0 && !closing(out[back - 1]).isNull() && next < format.size() &&
            format[next] == closing(out[back - 1])) {
            out.truncate(back - 1);
            i = next;
        }
        // ... and with the separator that joined it to the time, or that followed it when
        // it came first.
        const bool first = out.trimmed().isEmpty();
        while (!out.isEmpty() && isSeparator(out.back())) out.chop(1);
        if (first) {
            out.clear();
            while (i + 1 < format.size() && isSeparator(format[i + 1])) ++i;
        }
    }
    return out.trimmed();
}

QString dateTimeText(const QDateTime& now, const QLocale& locale) {
    const QString date = locale.toString(now.date(), QLocale::ShortFormat);
    const QTime t = now.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) return latinDigits(date);
    return latinDigits(date + u' ' + locale.toString(t, timeFormatWithoutZone(locale)));
}

QString secondsText(const QTime& now, const QLocale& locale) {
    // One rounding, to single precision, from the exact value: a float division would round
    // the milliseconds first once they pass 2^24 (04:39:37).
    const float seconds = static_cast<float>(now.msecsSinceStartOfDay() / 1000.0);
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    // 'g' with 7 digits: never an exponent below 10^7, and a float carries no more.
    return latinDigits(plain.toString(static_cast<double>(seconds), 'g', 7));
}

}  // namespace ui
