#include "ui/hardware_line.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <initializer_list>

#include "port/i2c/backends.h"
#include "port/serial/serial_backend.h"
#include "port/settings.h"
#include "ui/backend_texts.h"
#include "ui/form1.h"
#include "ui/messages.h"

namespace {

// The rows whose candidates need more than their path, by key.
constexpr std::string_view kExpander = "pcf8574";
constexpr std::string_view kGpio = "gpio";
constexpr std::string_view kSerial = "serial";

// A GPIO chip's first lines, or on a Raspberry Pi's (58 lines) the usual six.
QString defaultLines(std::int64_t chipLines) {
    return chipLines >= 26 ? QStringLiteral("25,24,23,17,18,22") : QStringLiteral("0,1,2,3,4,5");
}

QString fromStd(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

HardwareLine::HardwareLine(port::PortLayer& layer, port::Os& os, std::string settingsFile,
                           QWidget* parent)
    : QWidget(parent),
      m_layer(layer),
      m_os(os),
      m_settingsFile(std::move(settingsFile)),
      m_port(port::kLpt1) {
    setObjectName(QStringLiteral("materiel"));
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    auto* line = new QHBoxLayout;
    line->addWidget(new QLabel(QStringLiteral("Matériel :"), this));
    m_list = new QComboBox(this);
    m_list->setObjectName(QStringLiteral("hardwareList"));
    m_list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    line->addWidget(m_list);
    m_address = new QComboBox(this);
    m_address->setObjectName(QStringLiteral("hardwareAddress"));
    m_address->setEditable(true);
    // The backpacks' usual addresses: PCF8574 0x27, PCF8574A 0x3f, MCP23008 0x20.
    m_address->addItems({QStringLiteral("0x27"), QStringLiteral("0x3f"), QStringLiteral("0x20")});
    m_address->setToolTip(QStringLiteral("Adresse I2C du module"));
    line->addWidget(m_address);
    m_find = new QPushButton(QStringLiteral("Chercher"), this);
    m_find->setObjectName(QStringLiteral("hardwareFind"));
    m_find->setToolTip(
        QStringLiteral("Cherche le module aux adresses des expandeurs, sur ce bus seulement"));
    line->addWidget(m_find);
    m_wiring = new QComboBox(this);
    m_wiring->setObjectName(QStringLiteral("hardwareWiring"));
    m_wiring->setToolTip(QStringLiteral("Câblage de la carte"));
    for (const port::i2c::Chip* chip : {&port::i2c::kPcf8574Chip, &port::i2c::kMcp23008Chip}) {
        const QString name = fromStd(chip->name).toUpper();
        const bool usual = chip == &port::i2c::kPcf8574Chip;
        for (const port::i2c::Preset& p : chip->presets) {
            const std::string preset = p.name;
            std::string options =
                usual ? preset : chip->name + std::string(preset.empty() ? "" : ",") + preset;
            m_wiring->addItem(preset.empty() ? name : name + QStringLiteral(", ") + fromStd(preset),
                              fromStd(options));
        }
    }
    m_wiring->addItem(QStringLiteral("map=…"), QStringLiteral("map="));
    line->addWidget(m_wiring);
    m_map = new QLineEdit(this);
    m_map->setObjectName(QStringLiteral("hardwareMap"));
    m_map->setPlaceholderText(QStringLiteral("01234567"));
    line->addWidget(m_map);
    m_lines = new QLineEdit(this);
    m_lines->setObjectName(QStringLiteral("hardwareLines"));
    m_lines->setToolTip(
        QStringLiteral("Lignes de RS, E, D4, D5, D6, D7 (puis R/W, rétroéclairage)"));
    line->addWidget(m_lines);
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("hardwareProtocol"));
    for (const port::serial::Protocol& p : port::serial::kProtocols)
        m_protocol->addItem(fromStd(p.name));
    line->addWidget(m_protocol);
    m_other = new QLineEdit(this);
    m_other->setObjectName(QStringLiteral("hardwareOther"));
    std::string forms;
    for (const char* f : port::deviceForms()) forms += (forms.empty() ? "" : ", ") + std::string(f);
    m_other->setPlaceholderText(fromStd(forms));
    m_other->setMinimumWidth(220);
    line->addWidget(m_other);
    m_refresh = new QPushButton(QStringLiteral("Rafraîchir"), this);
    m_refresh->setObjectName(QStringLiteral("hardwareRefresh"));
    line->addWidget(m_refresh);
    line->addStretch();
    top->addLayout(line);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("hardwareNote"));
    m_note->setWordWrap(true);
    m_note->hide();
    top->addWidget(m_note);

    connect(m_list, &QComboBox::currentIndexChanged, this, [this] {
        showOptions();
        if (!m_filling && !m_entries[static_cast<std::size_t>(m_list->currentIndex())].other)
            apply();
    });
    connect(m_address->lineEdit(), &QLineEdit::editingFinished, this, [this] { apply(); });
    connect(m_address, &QComboBox::activated, this, [this] { apply(); });
    connect(m_find, &QPushButton::clicked, this, [this] { apply(true); });
    connect(m_wiring, &QComboBox::activated, this, [this] {
        showOptions();
        apply();
    });
    connect(m_map, &QLineEdit::editingFinished, this, [this] { apply(); });
    connect(m_lines, &QLineEdit::editingFinished, this, [this] { apply(); });
    connect(m_protocol, &QComboBox::activated, this, [this] { apply(); });
    connect(m_other, &QLineEdit::returnPressed, this, [this] { apply(); });
    connect(m_refresh, &QPushButton::clicked, this, &HardwareLine::refresh);
    fill();
}

void HardwareLine::setPort(std::int16_t port) {
    if (port == m_port) return;
    m_port = port;
    fill();
}

void HardwareLine::follow(Form1& form) {
    setPort(form.port());
    connect(&form, &Form1::portChanged, this, &HardwareLine::setPort);
    connect(this, &HardwareLine::chosen, &form, [&form](std::int16_t port) {
        if (port == form.port()) form.Command1_Click();
    });
}

void HardwareLine::refresh() {
    fill();
}

void HardwareLine::fill() {
    m_filling = true;
    m_entries.clear();
    m_list->clear();
    m_entries.push_back({});
    m_list->addItem(QStringLiteral("Émulateur seul"));
    for (const port::BackendRow& row : port::backendTable()) {
        const auto name = ui::backendTexts(row.key).candidateName;
        if (row.candidates == nullptr || name == nullptr) continue;
        for (port::Candidate& c : row.candidates(m_os)) {
            m_list->addItem(fromStd(name(c)));
            m_entries.push_back({&row, std::move(c), false});
        }
    }
    m_entries.push_back({nullptr, {}, true});
    m_list->addItem(QStringLiteral("Autre…"));
    selectCurrent();
    m_filling = false;
    showOptions();
}

// The entry of the device the port has now, its options in the boxes.
void HardwareLine::selectCurrent() {
    const port::SupportedPort& supported = *port::supportedPort(m_port);
    const port::PortConfig& config = m_layer.config();
    const port::SettingOrigin* origin = config.origin(supported.deviceSetting);
    std::string text = origin ? origin->value : std::string();
    m_note->hide();
    setEnabled(true);
    if (!config.namedDevicesApply()) {
        const port::SettingOrigin* mode = config.origin("VELMORIN_LPT");
        setDisabledBy(fromStd(ui::devicesIgnored(mode ? mode->value : "emulator")));
    } else if (origin && origin->file.empty()) {
        setDisabledBy(fromStd(ui::deviceFixedByEnvironment(origin->name, origin->value)));
    }
    // The device as the last choice in this run named it.
    if (const std::string& chosen = m_chosen[port::portIndex(supported)]; !chosen.empty())
        text = chosen;
    if (text.empty()) {
        // None named: what auto found, if anything.
        for (const auto& v : m_layer.ports())
            if (v.address == m_port && v.device) text = v.device->device;
    }
    const std::size_t at = text.find('@');
    const std::string path = text.substr(0, at);
    const std::string options = at == std::string::npos ? std::string() : text.substr(at + 1);
    int index = 0;
    if (!text.empty() && text != port::kEmulatorDevice) {
        index = static_cast<int>(m_entries.size()) - 1;  // "Autre…"
        m_other->setText(fromStd(text));
        for (std::size_t i = 1; i + 1 < m_entries.size(); ++i)
            if (m_entries[i].candidate.device == path) index = static_cast<int>(i);
    }
    m_list->setCurrentIndex(index);
    const Entry& e = m_entries[static_cast<std::size_t>(index)];
    if (!e.row) return;
    const std::string_view key = e.row->key;
    const QStringList parts = fromStd(options).split(QLatin1Char(','));
    if (key == kExpander) {
        if (!options.empty()) m_address->setCurrentText(parts.value(0));
        const QString wiring = QStringList(parts.mid(1)).join(QLatin1Char(','));
        const int w = m_wiring->findData(wiring);
        if (w >= 0) m_wiring->setCurrentIndex(w);
        if (wiring.startsWith(QLatin1String("map="))) {
            m_wiring->setCurrentIndex(m_wiring->count() - 1);
            m_map->setText(wiring.mid(4));
        }
    } else if (key == kGpio) {
        m_lines->setText(options.empty() ? defaultLines(e.candidate.number) : fromStd(options));
    } else if (key == kSerial && !options.empty()) {
        m_protocol->setCurrentText(parts.value(0));
    }
}

void HardwareLine::setDisabledBy(const QString& why) {
    m_note->setText(why);
    m_note->show();
    for (QWidget* w : std::initializer_list<QWidget*>{m_list, m_address, m_find, m_wiring, m_map,
                                                      m_lines, m_protocol, m_other})
        w->setEnabled(false);
}

void HardwareLine::showOptions() {
    const int index = m_list->currentIndex();
    if (index < 0) return;
    const Entry& e = m_entries[static_cast<std::size_t>(index)];
    const std::string_view key = e.row ? e.row->key : "";
    const bool i2c = key == kExpander;
    m_address->setVisible(i2c);
    m_find->setVisible(i2c);
    m_wiring->setVisible(i2c);
    m_map->setVisible(i2c && m_wiring->currentIndex() == m_wiring->count() - 1);
    m_lines->setVisible(key == kGpio);
    if (key == kGpio && m_lines->text().isEmpty())
        m_lines->setText(defaultLines(e.candidate.number));
    m_protocol->setVisible(key == kSerial);
    m_other->setVisible(e.other);
}

std::string HardwareLine::deviceText(bool findAddress) const {
    const Entry& e = m_entries[static_cast<std::size_t>(m_list->currentIndex())];
    if (e.other) return m_other->text().trimmed().toStdString();
    if (!e.row) return port::kEmulatorDevice;
    const std::string_view key = e.row->key;
    std::string text = e.candidate.device;
    if (key == kExpander) {
        text += "@" + (findAddress ? std::string("auto")
                                   : m_address->currentText().trimmed().toStdString());
        std::string wiring = m_wiring->currentData().toString().toStdString();
        if (wiring == "map=") wiring += m_map->text().trimmed().toStdString();
        if (!wiring.empty()) text += "," + wiring;
    } else if (key == kGpio) {
        text += "@" + m_lines->text().trimmed().toStdString();
    } else if (key == kSerial) {
        text += "@" + m_protocol->currentText().toStdString();
    }
    return text;
}

void HardwareLine::apply(bool findAddress) {
    if (m_filling || !m_list->isEnabled() || m_list->currentIndex() < 0) return;
    const port::SupportedPort& supported = *port::supportedPort(m_port);
    std::string text = deviceText(findAddress);
    if (text.empty()) return;
    port::PortDevice device;
    QString note;
    if (std::optional<port::Error> error = port::parseDevice(text, device)) {
        // Not a device text: the port stays as it is, and the line says why.
        error->setting = supported.deviceSetting;
        error->value = text;
        note = fromStd(ui::sentence(*error));
    } else if (m_layer.choose(m_port, device)) {
        // The panel gives the sentence: the port is on its emulator now.
    } else {
        // What @auto found is what is kept.
        if (findAddress)
            for (const auto& v : m_layer.ports())
                if (v.address == m_port && v.device && !v.device->detail.empty()) {
                    m_address->setCurrentText(fromStd(v.device->detail));
                    text = deviceText(false);
                }
        m_chosen[port::portIndex(supported)] = text;
        if (m_settingsFile.empty())
            note = fromStd(ui::deviceChoiceNotSaved({}));
        else if (port::saveSetting(m_os, m_settingsFile, supported.deviceSetting, text) != 0)
            note = fromStd(ui::deviceChoiceNotSaved(m_settingsFile));
    }
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
    emit chosen(m_port);
}
