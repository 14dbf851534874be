// The clock texts sent to the display, in the user's regional format.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace ui {

// Short date, a space, the locale's long time format without its time-zone part; the date
// alone at exactly midnight. fr_FR: "08/12/2026 18:05:04"; en_US: "12/8/26 6:05:04 PM".
QString dateTimeText(const QDateTime& now, const QLocale& locale);

// Seconds since midnight as a single-precision number, up to 7 significant digits, the
// locale's decimal separator, no grouping. fr_FR: "65104,45".
QString secondsText(const QTime& now, const QLocale& locale);

// Date-time text, "U.....", seconds text. The two clock readings are taken in that order.
inline constexpr char kTimerSeparator[] = "U.....";

// The locale's long time format with every time-zone field and the space beside it removed.
QString timeFormatWithoutZone(const QLocale& locale);

}  // namespace ui
