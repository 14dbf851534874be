// "Matériel": the device behind the port Form1 drives now, picked from what is attached
// (each backend row's candidates), with the fields that row's options ask for (an I2C
// address and the board's wiring, GPIO lines, a serial protocol: the row's schema), or
// typed in full. A pick applies at once and is kept in the user's settings file; one that
// will not open leaves the port on its emulator, the panel saying why. The line knows no
// backend: the rows describe themselves, and their texts give the words.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "port/backend.h"
#include "port/os.h"
#include "port/port_layer.h"

class Form1;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

class HardwareLine : public QWidget {
    Q_OBJECT

public:
    // settingsFile: the user's, where a choice is kept; empty where there is none.
    HardwareLine(port::PortLayer& layer, port::Os& os, std::string settingsFile,
                 QWidget* parent = nullptr);

    // The port the line is for: Form1's, as it changes.
    void setPort(std::int16_t port);
    // Lists again what is attached.
    void refresh();
    // Acts on the port form drives, following its option buttons; a device put there starts
    // as Option1_Click starts a port.
    void follow(Form1& form);

signals:
    // A device was put on the port (or failed to open, leaving the emulator): the display
    // is to be initialised again.
    void chosen(std::int16_t port);

private:
    struct Entry {
        const port::BackendRow* row = nullptr;  // null: the emulator alone, or "Autre…"
        port::Candidate candidate;
        bool other = false;
    };
    // One widget for one field of a row's schema.
    struct Field {
        const port::BackendRow* row;
        std::size_t index;
        QWidget* widget;
    };
    void addFields(const port::BackendRow& row, QHBoxLayout& line);
    const port::OptionField& optionOf(const Field& f) const;
    const Field* fieldOf(const port::BackendRow& row, int index) const;
    std::string value(const Field& f) const;
    void setValue(const Field& f, const std::string& value);
    std::vector<std::string> values(const port::BackendRow& row) const;
    void setValues(const port::BackendRow& row, const std::vector<std::string>& values,
                   bool onlyEmpty);
    void fill();
    void showOptions();
    void apply(bool find = false);
    std::string deviceText(bool find) const;
    void selectCurrent();
    void setDisabledBy(const QString& why);

    port::PortLayer& m_layer;
    port::Os& m_os;
    std::string m_settingsFile;
    std::int16_t m_port;
    std::vector<Entry> m_entries;
    bool m_filling = false;
    // Each port's device text as last chosen in this run, over what the settings said.
    std::array<std::string, port::kSupportedPorts.size()> m_chosen;

    QComboBox* m_list = nullptr;
    std::vector<Field> m_fields;
    QLineEdit* m_other = nullptr;
    QPushButton* m_refresh = nullptr;
    QLabel* m_note = nullptr;
};
