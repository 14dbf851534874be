#include "ui/lcd_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "hd44780/char_rom.h"
#include "hd44780/modules.h"
#include "ui/hardware_line.h"
#include "ui/lcd_view.h"
#include "ui/messages.h"
#include "ui/timing_texts.h"

namespace {
constexpr int kPollMs = 40;
constexpr int kGap = 40;                              // pixels between the two windows
constexpr std::size_t kTooltipLines = 5;              // the last few warnings shown
constexpr int kMinNoteWidth = 400;                    // a note wraps at the panels, or here
const QString kModuleKey = QStringLiteral("module");  // VELMORIN_MODULE's form

// "ROM A00 (japonaise)": the masks the window has a word for say which script they add.
QString romLabel(const hd44780::RomRow& rom) {
    static const std::pair<std::string_view, const char*> kScripts[] = {
        {"a00", "japonaise"},
        {"a02", "européenne"},
    };
    QString label = QStringLiteral("ROM ") + QString::fromLatin1(rom.name).toUpper();
    for (const auto& [name, script] : kScripts)
        if (name == rom.name) label += QStringLiteral(" (%1)").arg(QString::fromUtf8(script));
    return label;
}

// Moves a box to a value chosen elsewhere. A box already there is left alone, which ends
// the round trip through its change signal.
void selectData(QComboBox* box, int data) {
    const int index = box->findData(data);
    if (index != box->currentIndex()) box->setCurrentIndex(index);
}

// The last n warnings, newest last, one per line.
template <typename Ring>
QString lastWarnings(const Ring& ring, std::size_t n, std::int64_t originNs) {
    QStringList lines;
    for (std::size_t i = ring.size() > n ? ring.size() - n : 0; i < ring.size(); ++i)
        lines << QString::fromStdString(ui::warningText(ring[i], originNs));
    return lines.join(u'\n');
}
}  // namespace

LcdWindow::LcdWindow(port::PortLayer& layer, const port::Clock& clock, QSettings* state,
                     QWidget* parent)
    : QWidget(parent),
      m_layer(layer),
      m_clock(clock),
      m_state(state),
      m_originNs(layer.startNs()),
      m_module(layer.config().module) {
    setWindowTitle(QStringLiteral("Afficheur LCD"));
    setObjectName(QStringLiteral("AfficheurLCD"));
    auto* top = new QVBoxLayout(this);
    auto* choices = new QHBoxLayout;
    choices->addWidget(new QLabel(QStringLiteral("Module :"), this));
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("moduleSize"));
    for (const hd44780::Geometry& g : hd44780::kModuleSizes)
        m_size->addItem(QString::fromStdString(hd44780::moduleSizeName(g)));
    choices->addWidget(m_size);
    m_rom = new QComboBox(this);
    m_rom->setObjectName(QStringLiteral("moduleRom"));
    const std::span<const hd44780::RomRow> roms = hd44780::roms();
    for (std::size_t i = 0; i < roms.size(); ++i)
        m_rom->addItem(romLabel(roms[i]), static_cast<int>(i));
    choices->addWidget(m_rom);
    m_oscillator = new QComboBox(this);
    m_oscillator->setObjectName(QStringLiteral("moduleOscillator"));
    for (const hd44780::Oscillator& o : hd44780::kOscillators)
        m_oscillator->addItem(
            QString::fromStdString(ui::oscillatorName(o)) + (o == hd44780::Oscillator::k270kHz
                                                                 ? QStringLiteral(" (nominal)")
                                                                 : QStringLiteral(" (clone lent)")),
            static_cast<int>(o.kHz));
    choices->addWidget(m_oscillator);
    choices->addStretch();
    top->addLayout(choices);
    m_stateNote = new QLabel(this);
    m_stateNote->setObjectName(QStringLiteral("stateNote"));
    m_stateNote->setWordWrap(true);
    m_stateNote->hide();
    top->addWidget(m_stateNote);
    m_panels = new QVBoxLayout;
    top->addLayout(m_panels);
    top->addStretch();
    top->setSizeConstraint(QLayout::SetFixedSize);

    hd44780::Options options = m_layer.config().emulator;
    if (m_state && !m_layer.config().origin("VELMORIN_MODULE")) {
        // A remembered text that no longer parses (another version's) is forgotten.
        hd44780::Geometry module = m_module;
        hd44780::Options remembered = options;
        if (!port::parseModule(m_state->value(kModuleKey).toString().toStdString(), module,
                               remembered)) {
            m_module = module;
            options = remembered;
        }
    }
    setModule(m_module);
    setRom(options.rom);
    setOscillator(options.oscillator);
    connect(m_size, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) setModule(hd44780::kModuleSizes[static_cast<std::size_t>(index)]);
        remember();
    });
    connect(m_rom, &QComboBox::currentIndexChanged, this, [this](int index) {
        setRom(static_cast<hd44780::Rom>(m_rom->itemData(index).toInt()));
        remember();
    });
    connect(m_oscillator, &QComboBox::currentIndexChanged, this, [this](int index) {
        setOscillator(hd44780::Oscillator{m_oscillator->itemData(index).toUInt()});
        remember();
    });
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &LcdWindow::poll);
    m_poll->start();
    poll();
}

void LcdWindow::setModule(hd44780::Geometry module) {
    m_module = module;
    m_layer.setModule(module);
    const auto it = std::find(hd44780::kModuleSizes.begin(), hd44780::kModuleSizes.end(), module);
    const int index = static_cast<int>(it - hd44780::kModuleSizes.begin());
    if (it != hd44780::kModuleSizes.end() && index != m_size->currentIndex())
        m_size->setCurrentIndex(index);
    for (Panel& p : m_panelList) p.view->setModule(module);
}

void LcdWindow::setRom(hd44780::Rom rom) {
    m_layer.setRom(rom);
    selectData(m_rom, static_cast<int>(rom));
    for (Panel& p : m_panelList) p.view->update();
}

void LcdWindow::setOscillator(hd44780::Oscillator oscillator) {
    m_layer.setOscillator(oscillator);
    selectData(m_oscillator, static_cast<int>(oscillator.kHz));
    poll();
}

void LcdWindow::showStateNote(const QString& text) {
    // As wide as the panels, never wider: a long path must not widen the fixed-size window.
    m_stateNote->setMaximumWidth(std::max(m_panels->sizeHint().width(), kMinNoteWidth));
    m_stateNote->setText(text);
    m_stateNote->setVisible(!text.isEmpty());
}

void LcdWindow::remember() {
    if (!m_state) return;
    const QString text =
        QString::fromStdString(port::moduleText(m_module, m_layer.config().emulator));
    m_state->setValue(kModuleKey, text);
    m_state->sync();  // the fatal path ends the program without destructors
    // A convenience file, not worth ending the run for, but the user must not believe the
    // choice will come back. Judged by reading it back: Qt's status keeps a read error
    // from the start for ever.
    const QSettings written(m_state->fileName(), QSettings::IniFormat);
    const bool saved =
        written.status() == QSettings::NoError && written.value(kModuleKey).toString() == text;
    showStateNote(
        saved ? QString()
              : QString::fromStdString(ui::moduleNotSaved(m_state->fileName().toStdString())));
}

HardwareLine* LcdWindow::addHardwareLine(port::Os& os, const std::string& settingsFile) {
    auto* line = new HardwareLine(m_layer, os, settingsFile, this);
    // Under the panels, above the stretch.
    auto* top = static_cast<QVBoxLayout*>(layout());
    top->insertWidget(top->count() - 1, line);
    // A choice shows in the panel at once, not at the next poll.
    connect(line, &HardwareLine::chosen, this, &LcdWindow::poll);
    return line;
}

LcdView* LcdWindow::view(std::int16_t port) const {
    for (const Panel& p : m_panelList)
        if (p.port == port) return p.view;
    return nullptr;
}

void LcdWindow::placeBeside(QWidget& form) {
    const QScreen* screen = form.screen();
    const QRect area =
        screen ? screen->availableGeometry() : QRect(QPoint(0, 0), QSize(4096, 4096));
    // Frame sizes, title bars included; a window not yet laid out counts its size hint.
    auto frameSize = [](const QWidget& w) {
        const QSize margins = w.frameGeometry().size() - w.geometry().size();
        return w.frameGeometry().size().expandedTo(w.sizeHint() + margins);
    };
    const QSize f = frameSize(form);
    const QSize d = frameSize(*this);
    auto fit = [](int at, int length, int from, int room) {  // keep [at, at+length) in room
        return qMax(from, qMin(at, from + room - length));
    };
    QPoint formAt = form.frameGeometry().topLeft();
    QPoint mine;
    // The gap between them narrows before they would have to overlap.
    const int across = area.width() - f.width() - d.width();
    const int down = area.height() - f.height() - d.height();
    if (across >= 0 && qMax(f.height(), d.height()) <= area.height()) {
        const int gap = qMin(kGap, across);
        formAt.setX(fit(formAt.x(), f.width() + gap + d.width(), area.left(), area.width()));
        formAt.setY(fit(formAt.y(), qMax(f.height(), d.height()), area.top(), area.height()));
        mine = QPoint(formAt.x() + f.width() + gap, formAt.y());
    } else if (down >= 0 && qMax(f.width(), d.width()) <= area.width()) {
        const int gap = qMin(kGap, down);
        formAt.setY(fit(formAt.y(), f.height() + gap + d.height(), area.top(), area.height()));
        formAt.setX(fit(formAt.x(), qMax(f.width(), d.width()), area.left(), area.width()));
        mine = QPoint(formAt.x(), formAt.y() + f.height() + gap);
    } else {
        // No room for both: Form1 whole in the top left corner, the display bottom right.
        formAt = area.topLeft();
        mine = QPoint(area.left() + qMax(0, area.width() - d.width()),
                      area.top() + qMax(0, area.height() - d.height()));
    }
    form.move(formAt);
    move(mine);
}

void LcdWindow::closeEvent(QCloseEvent* event) {
    for (const auto& p : m_layer.ports())
        if (p.device) {
            QWidget::closeEvent(event);  // the hardware shows the text: a mirror may go
            return;
        }
    event->ignore();
    showMinimized();
}

void LcdWindow::addPanel(const port::PortLayer::PortView& p) {
    auto* title = new QLabel(this);
    title->setWordWrap(true);  // a long sentence wraps at the panel, never widens the window
    title->setToolTip(QString::fromStdString(ui::settingOrigins(m_layer.config().origins)));
    auto* view = new LcdView(*p.display, m_clock, this);
    view->setObjectName(QString::fromStdString("lcd_" + port::hexAddress(p.address)));
    view->setModule(m_module);
    auto* lines = new QLabel(this);
    lines->setTextFormat(Qt::RichText);
    auto* violations = new QLabel(this);
    auto* warnings = new QLabel(this);
    m_panels->addWidget(title);
    m_panels->addWidget(view);
    auto* row = new QHBoxLayout;
    row->addWidget(lines);
    row->addStretch();
    row->addWidget(violations);
    row->addWidget(warnings);
    m_panels->addLayout(row);
    m_panelList.push_back(Panel{p.address, view, title, lines, violations, warnings});
}

void LcdWindow::updatePanel(Panel& panel, const port::PortLayer::PortView& p) {
    QString title = QString::fromStdString(port::portLabel(p.address));
    if (p.device) {
        title +=
            QStringLiteral(" — miroir de %1").arg(QString::fromStdString(ui::panelName(*p.device)));
        if (const std::string look = ui::panelLook(*p.device); !look.empty())
            title += QStringLiteral("\n") + QString::fromStdString(look);
    }
    if (!p.note.empty())
        title += QStringLiteral("\n") + QString::fromStdString(ui::panelNote(p.note));
    if (p.choiceFailed)
        title += QStringLiteral("\n") + QString::fromStdString(ui::sentence(*p.choiceFailed));
    if (panel.title->text() != title) {
        panel.title->setMaximumWidth(std::max(panel.view->sizeHint().width(), kMinNoteWidth));
        panel.title->setText(title);
    }

    const hd44780::Pins pins = p.display->lastPins();
    QString lines;
    for (std::size_t i = 0; i < hd44780::kLineCount; ++i) {
        const bool on = hd44780::level(pins, static_cast<hd44780::Line>(i));
        lines += QStringLiteral("<span style='color:%1'>%2 %3</span>&nbsp;&nbsp;")
                     .arg(on ? QStringLiteral("#c00000") : QStringLiteral("#808080"),
                          on ? QStringLiteral("●") : QStringLiteral("○"),
                          QLatin1String(hd44780::kLineNames[i]));
    }
    if (panel.lines->text() != lines) panel.lines->setText(lines);

    const auto& timing = p.display->timing();
    const QString count = QStringLiteral("Violations de timing (%1) : %2")
                              .arg(QString::fromStdString(ui::oscillatorName(timing.oscillator())))
                              .arg(timing.count());
    if (panel.violations->text() != count) {
        panel.violations->setText(count);
        panel.violations->setToolTip(
            timing.recent().empty()
                ? QString()
                : QString::fromStdString(ui::violationText(timing.recent().back(), m_originNs) +
                                         "\n" + ui::remedy(timing.recent().back().kind)));
    }
    const QString warned = QStringLiteral("Avertissements : %1").arg(p.display->warningCount());
    if (panel.warnings->text() != warned) {
        panel.warnings->setText(warned);
        panel.warnings->setToolTip(lastWarnings(p.display->warnings(), kTooltipLines, m_originNs));
    }
    panel.view->refresh();
}

void LcdWindow::poll() {
    const auto ports = m_layer.ports();
    for (const auto& p : ports) {
        Panel* panel = nullptr;
        for (Panel& q : m_panelList)
            if (q.port == p.address) panel = &q;
        if (!panel) {
            addPanel(p);
            panel = &m_panelList.back();
        }
        updatePanel(*panel, p);
    }
}
