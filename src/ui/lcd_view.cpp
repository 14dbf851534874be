#include "ui/lcd_view.h"

#include <QPainter>

LcdView::LcdView(const hd44780::Controller& lcd, const port::Clock& clock, QWidget* parent)
    : QWidget(parent), m_lcd(lcd), m_clock(clock) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor LcdView::backlight() {
    return QColor(0x9b, 0xc6, 0x3a);
}
QColor LcdView::dotOn() {
    return QColor(0x1d, 0x2b, 0x14);
}
QColor LcdView::dotOff() {
    return QColor(0x8c, 0xb5, 0x33);
}

void LcdView::setModule(hd44780::Geometry module) {
    m_module = module;
    setFixedSize(sizeHint());
    update();
}

QSize LcdView::sizeHint() const {
    const int cellW = 5 * kDot + kCellGap;
    const int cellH = 8 * kDot + kCellGap;
    return {2 * kMargin + m_module.columns * cellW - kCellGap,
            2 * kMargin + m_module.rows * cellH - kCellGap};
}

QPoint LcdView::dotOrigin(int row, int column, int dotRow, int dotColumn) const {
    return {kMargin + column * (5 * kDot + kCellGap) + dotColumn * kDot,
            kMargin + row * (8 * kDot + kCellGap) + dotRow * kDot};
}

void LcdView::refresh() {
    const bool blink = m_lcd.blinkBlockShown(m_clock.nowNs());
    if (m_lcd.revision() == m_seenRevision && blink == m_seenBlink) return;
    m_seenRevision = m_lcd.revision();
    m_seenBlink = blink;
    update();
}

void LcdView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), backlight());
    const std::int64_t now = m_clock.nowNs();
    for (int row = 0; row < m_module.rows; ++row) {
        for (int col = 0; col < m_module.columns; ++col) {
            const hd44780::GlyphRows rows = m_lcd.shownRows(row, col, m_module, now);
            for (int r = 0; r < 8; ++r) {
                for (int d = 0; d < 5; ++d) {
                    const bool on = (rows[static_cast<std::size_t>(r)] >> (4 - d)) & 1;
                    p.fillRect(QRect(dotOrigin(row, col, r, d), QSize(kDot - 1, kDot - 1)),
                               on ? dotOn() : dotOff());
                }
            }
        }
    }
}
