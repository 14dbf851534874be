#include "window/clock_texts.h"

namespace window {

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
        if (out.trimmed().isEmpty()) {
            // Zone first: drop the separator that follows it instead.
            while (i + 1 < format.size() && format[i + 1].isSpace()) ++i;
            out.clear();
        } else {
            while (!out.isEmpty() && out.back().isSpace()) out.chop(1);
        }
    }
    return out.trimmed();
}

QString dateTimeText(const QDateTime& now, const QLocale& locale) {
    const QString date = locale.toString(now.date(), QLocale::ShortFormat);
    const QTime t = now.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) return date;
    return date + u' ' + locale.toString(t, timeFormatWithoutZone(locale));
}

QString secondsText(const QTime& now, const QLocale& locale) {
    const float seconds = static_cast<float>(now.msecsSinceStartOfDay()) / 1000.0f;
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    // 'g' with 7 digits: never an exponent below 10^7, and a float carries no more.
    return plain.toString(static_cast<double>(seconds), 'g', 7);
}

}  // namespace window
