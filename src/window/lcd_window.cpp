#include "window/lcd_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "window/lcd_view.h"

namespace {
constexpr int kPollMs = 40;
const char* const kLineNames[6] = {"RS", "E", "D4", "D5", "D6", "D7"};
constexpr int kLineBits[6] = {0, 1, 4, 5, 6, 7};
}  // namespace

LcdWindow::LcdWindow(const port::PortLayer& layer, const port::Clock& clock, QWidget* parent)
    : QWidget(parent), m_layer(layer), m_clock(clock) {
    setWindowTitle(QStringLiteral("Afficheur LCD"));
    setObjectName(QStringLiteral("AfficheurLCD"));
    auto* top = new QVBoxLayout(this);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(new QLabel(QStringLiteral("Module :"), this));
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("moduleSize"));
    for (int c : {16, 20, 40}) m_size->addItem(QStringLiteral("%1x2").arg(c), c);
    m_size->setCurrentIndex(1);
    sizeRow->addWidget(m_size);
    sizeRow->addStretch();
    top->addLayout(sizeRow);
    m_panels = new QVBoxLayout;
    top->addLayout(m_panels);
    top->addStretch();
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_size, &QComboBox::currentIndexChanged, this,
            [this](int index) { setColumns(m_size->itemData(index).toInt()); });
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &LcdWindow::poll);
    m_poll->start();
    poll();
}

void LcdWindow::setColumns(int columns) {
    m_columns = columns;
    const int index = m_size->findData(columns);
    if (index >= 0 && index != m_size->currentIndex()) m_size->setCurrentIndex(index);
    for (Panel& p : m_panelList) p.view->setColumns(columns);
}

LcdView* LcdWindow::view(std::int16_t port) const {
    for (const Panel& p : m_panelList)
        if (p.port == port) return p.view;
    return nullptr;
}

void LcdWindow::addPanel(const port::PortLayer::PortView& p) {
    auto* title = new QLabel(this);
    auto* view = new LcdView(*p.display, m_clock, this);
    view->setObjectName(QString::fromStdString("lcd_" + port::hexAddress(p.address)));
    view->setColumns(m_columns);
    auto* lines = new QLabel(this);
    lines->setTextFormat(Qt::RichText);
    auto* violations = new QLabel(this);
    m_panels->addWidget(title);
    m_panels->addWidget(view);
    auto* row = new QHBoxLayout;
    row->addWidget(lines);
    row->addStretch();
    row->addWidget(violations);
    m_panels->addLayout(row);
    m_panelList.push_back(Panel{p.address, view, title, lines, violations});
}

void LcdWindow::updatePanel(Panel& panel, const port::PortLayer::PortView& p) {
    QString title = QString::fromStdString(port::portLabel(p.address));
    if (!p.device.empty())
        title += QStringLiteral(" — miroir de %1").arg(QString::fromStdString(p.device));
    if (!p.note.empty()) title += QStringLiteral("\n") + QString::fromStdString(p.note);
    if (panel.title->text() != title) panel.title->setText(title);

    const std::uint8_t pins = p.display->lastPins();
    QString lines;
    for (int i = 0; i < 6; ++i) {
        const bool on = (pins >> kLineBits[i]) & 1;
        lines +=
            QStringLiteral("<span style='color:%1'>%2 %3</span>&nbsp;&nbsp;")
                .arg(on ? QStringLiteral("#c00000") : QStringLiteral("#808080"),
                     on ? QStringLiteral("●") : QStringLiteral("○"), QLatin1String(kLineNames[i]));
    }
    if (panel.lines->text() != lines) panel.lines->setText(lines);

    const auto& timing = p.display->timing();
    const QString count = QStringLiteral("Violations de timing : %1").arg(timing.count());
    if (panel.violations->text() != count) {
        panel.violations->setText(count);
        panel.violations->setToolTip(timing.recent().empty()
                                         ? QString()
                                         : QString::fromStdString(timing.recent().back().text));
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
