// "Afficheur LCD": the emulated display of every port the program has driven, with the bus
// lines and the timing checker's verdict. It stands in for the hardware; with real hardware
// it mirrors what the controller should decode from the same writes.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "port/clock.h"
#include "port/port_layer.h"

class QComboBox;
class QLabel;
class QTimer;
class QVBoxLayout;
class LcdView;

class LcdWindow : public QWidget {
    Q_OBJECT

public:
    LcdWindow(const port::PortLayer& layer, const port::Clock& clock, QWidget* parent = nullptr);

    // Module widths offered: 16x2, 20x2 (default: the text sender fills 20 columns), 40x2.
    void setColumns(int columns);
    int columns() const { return m_columns; }
    LcdView* view(std::int16_t port) const;

public slots:
    // Picks up newly opened ports and repaints what changed. Runs from the event loop, so
    // it never holds up a transfer.
    void poll();

private:
    struct Panel {
        std::int16_t port;
        LcdView* view;
        QLabel* title;
        QLabel* lines;
        QLabel* violations;
    };
    void addPanel(const port::PortLayer::PortView& p);
    void updatePanel(Panel& panel, const port::PortLayer::PortView& p);

    const port::PortLayer& m_layer;
    const port::Clock& m_clock;
    int m_columns = 20;
    QComboBox* m_size = nullptr;
    QVBoxLayout* m_panels = nullptr;
    QTimer* m_poll = nullptr;
    std::vector<Panel> m_panelList;
};
