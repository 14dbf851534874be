// Draws one emulated module as a real LCD looks: a 5x8 dot matrix per cell with a gap
// between cells, on a backlit panel. What each cell shows is the controller's business.
#pragma once

#include <QWidget>
#include <cstdint>

#include "hd44780/controller.h"
#include "port/clock.h"

class LcdView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDot = 3;      // pixels per dot, including its 1 px gap
    static constexpr int kCellGap = 4;  // pixels between cells
    static constexpr int kMargin = 10;

    LcdView(const hd44780::Controller& lcd, const port::Clock& clock, QWidget* parent = nullptr);

    void setModule(hd44780::Geometry module);
    hd44780::Geometry module() const { return m_module; }
    // The top-left pixel of a dot, for tests and hit-testing.
    QPoint dotOrigin(int row, int column, int dotRow, int dotColumn) const;

    static QColor backlight();
    static QColor dotOn();
    static QColor dotOff();

    QSize sizeHint() const override;

public slots:
    // Repaints when the controller changed or the blink phase turned.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const hd44780::Controller& m_lcd;
    const port::Clock& m_clock;
    hd44780::Geometry m_module;
    std::uint64_t m_seenRevision = ~0ull;
    bool m_seenBlink = false;
};
