// "Afficheur LCD": the emulated display of every port the program has driven, with the bus
// lines and the controller's verdict on the timing. It stands in for the hardware; with
// real hardware it mirrors what the controller should decode from the same writes.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "port/clock.h"
#include "port/port_layer.h"

class QComboBox;
class QLabel;
class QSettings;
class QTimer;
class QVBoxLayout;
class LcdView;
class HardwareLine;

class LcdWindow : public QWidget {
    Q_OBJECT

public:
    // Starts with the module the settings name (VELMORIN_MODULE), else the one chosen last
    // time, which state (if given) remembers.
    LcdWindow(port::PortLayer& layer, const port::Clock& clock, QSettings* state = nullptr,
              QWidget* parent = nullptr);
    // A note under the module choices on the state file (not read, not saved), wrapped to
    // the window's width.
    void showStateNote(const QString& text);

    // The "Matériel" line under the panels, for the port Form1 drives: settingsFile is
    // where a choice is kept (empty: nowhere).
    HardwareLine* addHardwareLine(port::Os& os, const std::string& settingsFile);

    // The module the user owns: size, character ROM and oscillator, for every panel.
    void setModule(hd44780::Geometry module);
    void setRom(hd44780::Rom rom);
    void setOscillator(hd44780::Oscillator oscillator);
    hd44780::Geometry module() const { return m_module; }
    LcdView* view(std::int16_t port) const;

    // Places `form` and this window from their real frame sizes, once both are shown: side
    // by side if they fit across the screen's available area, else one above the other,
    // never overlapping where the area has room for both, and never leaving it. Form1
    // keeps its own place where the pair fits there.
    void placeBeside(QWidget& form);

public slots:
    // Picks up newly opened ports and repaints what changed. Runs from the event loop, so
    // it never holds up a transfer.
    void poll();

protected:
    // While no hardware is driven this window is the only output: closing it only
    // minimises it, so it can never be lost for the rest of the run.
    void closeEvent(QCloseEvent* event) override;

private:
    struct Panel {
        std::int16_t port;
        LcdView* view;
        QLabel* title;
        QLabel* lines;
        QLabel* violations;
        QLabel* warnings;
    };
    void addPanel(const port::PortLayer::PortView& p);
    void updatePanel(Panel& panel, const port::PortLayer::PortView& p);
    void remember();

    port::PortLayer& m_layer;
    const port::Clock& m_clock;
    QSettings* m_state;
    std::int64_t m_originNs;  // tooltips count from the program's start
    hd44780::Geometry m_module;
    QComboBox* m_size = nullptr;
    QComboBox* m_rom = nullptr;
    QComboBox* m_oscillator = nullptr;
    QLabel* m_stateNote = nullptr;  // shown while the choice could not be saved
    QVBoxLayout* m_panels = nullptr;
    QTimer* m_poll = nullptr;
    std::vector<Panel> m_panelList;
};
