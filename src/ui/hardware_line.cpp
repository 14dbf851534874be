#include "ui/hardware_line.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "port/settings/settings.h"
#include "ui/backend_texts.h"
#include "ui/form1.h"
#include "ui/messages.h"

namespace {

QString fromStd(const std::string& s) {
    return QString::fromStdString(s);
}

// "hardwareAddress" for the field "address".
QString widgetName(const char* field) {
    QString name = QString::fromUtf8(field);
    if (!name.isEmpty()) name[0] = name[0].toUpper();
    return QStringLiteral("hardware") + name;
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
    for (const port::BackendRow& row : port::backendTable())
        if (row.options) addFields(row, *line);
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
        const Entry& e = m_entries[static_cast<std::size_t>(m_list->currentIndex())];
        // A fresh pick starts its empty fields with the row's values for that device.
        if (!m_filling && e.row && e.row->options)
            setValues(*e.row, e.row->options->values(e.candidate, {}), true);
        showOptions();
        if (m_filling) return;
        if (e.other)
            m_other->setFocus();  // the device is typed
        else
            apply();
    });
    connect(m_other, &QLineEdit::returnPressed, this, [this] { apply(); });
    connect(m_refresh, &QPushButton::clicked, this, &HardwareLine::refresh);
    fill();
}

void HardwareLine::addFields(const port::BackendRow& row, QHBoxLayout& line) {
    const ui::BackendTexts& texts = ui::backendTexts(row.key);
    const auto label = [&](const char* field, const std::string& value) {
        return fromStd(texts.optionLabel ? texts.optionLabel(field, value) : value);
    };
    for (std::size_t i = 0; i < row.options->fields.size(); ++i) {
        const port::OptionField& f = row.options->fields[i];
        QWidget* w = nullptr;
        using Kind = port::OptionField::Kind;
        switch (f.kind) {
            case Kind::Choice:
            case Kind::EditableChoice: {
                auto* box = new QComboBox(this);
                box->setEditable(f.kind == Kind::EditableChoice);
                for (const std::string& v : f.choices()) box->addItem(label(f.name, v), fromStd(v));
                connect(box, &QComboBox::activated, this, [this] {
                    showOptions();
                    apply();
                });
                if (box->lineEdit())
                    connect(box->lineEdit(), &QLineEdit::editingFinished, this,
                            [this] { apply(); });
                w = box;
                break;
            }
            case Kind::Text: {
                auto* edit = new QLineEdit(this);
                edit->setPlaceholderText(label(f.name, {}));
                connect(edit, &QLineEdit::editingFinished, this, [this] { apply(); });
                w = edit;
                break;
            }
            case Kind::Find: {
                auto* button = new QPushButton(label(f.name, {}), this);
                connect(button, &QPushButton::clicked, this, [this] { apply(true); });
                w = button;
                break;
            }
        }
        w->setObjectName(widgetName(f.name));
        if (texts.optionTip) w->setToolTip(fromStd(texts.optionTip(f.name)));
        line.addWidget(w);
        m_fields.push_back({&row, i, w});
    }
}

const HardwareLine::Field* HardwareLine::fieldOf(const port::BackendRow& row, int index) const {
    for (const Field& f : m_fields)
        if (f.row == &row && static_cast<int>(f.index) == index) return &f;
    return nullptr;
}

const port::OptionField& HardwareLine::optionOf(const Field& f) const {
    return f.row->options->fields[f.index];
}

std::string HardwareLine::value(const Field& f) const {
    using Kind = port::OptionField::Kind;
    switch (optionOf(f).kind) {
        case Kind::Choice:
            return static_cast<QComboBox*>(f.widget)->currentData().toString().toStdString();
        case Kind::EditableChoice:
            return static_cast<QComboBox*>(f.widget)->currentText().trimmed().toStdString();
        case Kind::Text:
            return static_cast<QLineEdit*>(f.widget)->text().trimmed().toStdString();
        case Kind::Find:
            break;
    }
    return {};
}

void HardwareLine::setValue(const Field& f, const std::string& value) {
    using Kind = port::OptionField::Kind;
    switch (optionOf(f).kind) {
        case Kind::Choice: {
            auto* box = static_cast<QComboBox*>(f.widget);
            if (const int i = box->findData(fromStd(value)); i >= 0) box->setCurrentIndex(i);
            break;
        }
        case Kind::EditableChoice:
            static_cast<QComboBox*>(f.widget)->setCurrentText(fromStd(value));
            break;
        case Kind::Text:
            static_cast<QLineEdit*>(f.widget)->setText(fromStd(value));
            break;
        case Kind::Find:
            break;
    }
}

std::vector<std::string> HardwareLine::values(const port::BackendRow& row) const {
    std::vector<std::string> v(row.options->fields.size());
    for (const Field& f : m_fields)
        if (f.row == &row) v[f.index] = value(f);
    return v;
}

void HardwareLine::setValues(const port::BackendRow& row, const std::vector<std::string>& values,
                             bool onlyEmpty) {
    for (const Field& f : m_fields)
        if (f.row == &row && f.index < values.size() && !(onlyEmpty && !value(f).empty()))
            setValue(f, values[f.index]);
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
    // Each port's own state: what fixed the other port's line does not fix this one's.
    m_list->setEnabled(true);
    m_other->setEnabled(true);
    for (const Field& f : m_fields) f.widget->setEnabled(true);
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
    if (e.row && e.row->options)
        setValues(*e.row, e.row->options->values(e.candidate, options), false);
}

void HardwareLine::setDisabledBy(const QString& why) {
    m_note->setText(why);
    m_note->show();
    m_list->setEnabled(false);
    m_other->setEnabled(false);
    for (const Field& f : m_fields) f.widget->setEnabled(false);
}

void HardwareLine::showOptions() {
    const int index = m_list->currentIndex();
    if (index < 0) return;
    const Entry& e = m_entries[static_cast<std::size_t>(index)];
    for (const Field& f : m_fields) {
        const port::OptionField& o = optionOf(f);
        bool shown = f.row == e.row;
        if (shown && o.shownWhile >= 0)
            if (const Field* other = fieldOf(*f.row, o.shownWhile))
                shown = value(*other) == o.shownWhileValue;
        f.widget->setVisible(shown);
    }
    m_other->setVisible(e.other);
}

std::string HardwareLine::deviceText(bool find) const {
    const Entry& e = m_entries[static_cast<std::size_t>(m_list->currentIndex())];
    if (e.other) return m_other->text().trimmed().toStdString();
    if (!e.row) return port::kEmulatorDevice;
    return port::deviceText(*e.row, e.candidate, values(*e.row), find);
}

void HardwareLine::apply(bool find) {
    if (m_filling || !m_list->isEnabled() || m_list->currentIndex() < 0) return;
    const port::SupportedPort& supported = *port::supportedPort(m_port);
    std::string text = deviceText(find);
    if (text.empty()) return;
    port::PortDevice device;
    QString note;
    if (std::optional<port::Error> error = port::parseDevice(text, device)) {
        // Not a device text: the port stays as it is, and the line says why, in place of
        // whatever the port's last choice left in its panel.
        m_layer.forgetFailedChoice(m_port);
        error->setting = supported.deviceSetting;
        error->value = text;
        note = fromStd(ui::sentence(*error));
    } else if (m_layer.choose(m_port, device)) {
        // The panel gives the sentence: the port is on its emulator now.
    } else {
        // What a find found is what is kept.
        const Entry& e = m_entries[static_cast<std::size_t>(m_list->currentIndex())];
        if (find && e.row && e.row->options && e.row->options->found)
            for (const auto& v : m_layer.ports())
                if (v.address == m_port && v.device) {
                    const std::string found = e.row->options->found(*v.device);
                    if (found.empty()) continue;
                    const std::vector<std::string> values =
                        e.row->options->values(e.candidate, found);
                    for (const Field& f : m_fields)
                        if (f.row == e.row && optionOf(f).kind != port::OptionField::Kind::Find &&
                            f.index < values.size())
                            setValue(f, values[f.index]);
                    text = deviceText(false);
                }
        m_chosen[port::portIndex(supported)] = text;
        if (m_settingsFile.empty())
            note = fromStd(ui::deviceChoiceNotSaved({}));
        else if (const auto failed =
                     port::saveSetting(m_os, m_settingsFile, supported.deviceSetting, text))
            note = fromStd(ui::deviceChoiceNotSaved(failed->file, failed->err));
    }
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
    emit chosen(m_port);
}
