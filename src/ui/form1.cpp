#include "ui/form1.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include "hd44780/instructions.h"
#include "lcd/texte.h"
#include "port/ports.h"
#include "ui/clock_texts.h"
#include "ui/terminate.h"

namespace {

// The text box takes plain text only, from the keyboard, a paste or a drop. Qt 6.4's
// QTextEdit dereferences the clipboard's data without looking when nothing owns the
// clipboard, and dies on Ctrl+V; here an empty offer inserts nothing.
class TextBox final : public QTextEdit {
public:
    using QTextEdit::QTextEdit;

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override {
        return source && source->hasText();
    }
    // A paste keeps its first kMaxPaste characters: only the first 32 are ever sent, and
    // laying out millions would hold the window (and its clock) for minutes.
    void insertFromMimeData(const QMimeData* source) override {
        if (!source || !source->hasText()) return;
        // Composed first (an "e" and its accent are one character), from a prefix long
        // enough for any composition to end inside it.
        QString text = source->text().left(4 * kMaxPaste).normalized(QString::NormalizationForm_C);
        qsizetype n = std::min<qsizetype>(text.size(), kMaxPaste);
        if (n < text.size() && text[n].isLowSurrogate()) --n;  // never half a character
        insertPlainText(text.left(n));
    }

public:
    static constexpr qsizetype kMaxPaste = 4096;
};

// Client area and control rectangles, in twips.
constexpr int kClientWidth = 4650;
constexpr int kClientHeight = 3165;
constexpr int kLeft = 6360;
constexpr int kTop = 2205;
constexpr int kTimerIntervalMs = 1000;

// 9-point fixed pitch, so that the box's 16 columns line up as on the display. The
// desktop's monospace choice is not always fixed pitch as fontconfig reports it (some
// "Mono" families carry double-width glyphs); then a known fixed family is used instead.
QFont fixedPitchFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(font).fixedPitch()) {
        for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Courier New"}) {
            QFont candidate(QString::fromLatin1(family));
            if (QFontInfo(candidate).fixedPitch()) {
                font = candidate;
                break;
            }
        }
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(9);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

}  // namespace

Form1::Form1(port::PortWriter& out, port::Sleeper& sleeper, port::Clock& clock, port::Fatal& fatal,
             QWidget* parent)
    : QWidget(parent),
      LcdDriver(out, sleeper, clock),
      m_now([] { return QDateTime::currentDateTime(); }),
      m_locale(QLocale::system()) {
    buildControls();
    fatal.onHalt([this] { halt(); });
    Form_Load();
    // Enabled from the start; it first fires once the event loop runs. Started after
    // Form_Load so that a fatal port error there cannot be followed by a tick.
    Timer1->start();
}

Form1::~Form1() = default;

int Form1::twips(int t) const {
    // Twips are 1/1440 inch: 15 per pixel at 96 dpi.
    return qRound(t * logicalDpiX() / 1440.0);
}

void Form1::buildControls() {
    setWindowTitle(QStringLiteral("Velmorin"));
    // Fixed border: minimise and close, no maximise, no resize.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    // The layout was drawn for a small 8-point dialog font; at the desktop's usual 10 points the
    // captions would not fit their buttons.
    QFont dialogFont = font();
    dialogFont.setPointSizeF(7.5);
    setFont(dialogFont);

    auto place = [this](QWidget* w, const char* name, int left, int top, int width, int height) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(twips(left), twips(top), twips(width), twips(height));
    };

    Command1 = new QPushButton(QStringLiteral("Initialisation de l'écran LCD"), this);
    place(Command1, "Command1", 120, 120, 2175, 375);
    Command2 = new QPushButton(QStringLiteral("Envoyer texte vers LCD"), this);
    place(Command2, "Command2", 120, 600, 1935, 375);

    Text1 = new TextBox(this);
    place(Text1, "Text1", 2160, 600, 2055, 855);
    Text1->setAcceptRichText(false);
    // 16 characters a line, broken anywhere: the 32 sent characters show as two lines of 16.
    Text1->setLineWrapMode(QTextEdit::FixedColumnWidth);
    Text1->setLineWrapColumnOrWidth(16);
    Text1->setWordWrapMode(QTextOption::WrapAnywhere);
    Text1->setFont(fixedPitchFont());
    // Tab moves on to the next control; a tab character would only go out as a space.
    Text1->setTabChangesFocus(true);
    Text1->setToolTip(QStringLiteral("Tapez votre texte MAX 16 et Clickez !"));
    Text1->setPlainText(QStringLiteral("12345678123456781234567812345678"));
    // The sender selects each character while a button has the focus: keep it visible.
    QPalette pal = Text1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    Text1->setPalette(pal);

    Command3 = new QPushButton(QStringLiteral("Afficher la Date et l'Heure sur l'écran LCD"), this);
    place(Command3, "Command3", 120, 1560, 4095, 375);

    Option1[1] = new QRadioButton(QStringLiteral("LPT1"), this);
    place(Option1[1], "Option1", 2520, 120, 855, 375);
    Option1[1]->setProperty("Index", 1);
    // The port addresses, in decimal as the port library takes them: 888 and 632.
    Option1[1]->setProperty("Tag", QString::number(port::kLpt1));
    Option1[1]->setChecked(true);
    Option1[2] = new QRadioButton(QStringLiteral("LPT2"), this);
    place(Option1[2], "Option1", 3360, 120, 855, 375);
    Option1[2]->setProperty("Index", 2);
    Option1[2]->setProperty("Tag", QString::number(port::kLpt2));

    Command4 = new QPushButton(QStringLiteral("Command4"), this);
    place(Command4, "Command4", 960, 2400, 1695, 375);

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Text1);
    setTabOrder(Text1, Command3);
    setTabOrder(Command3, Option1[1]);
    setTabOrder(Option1[1], Option1[2]);
    setTabOrder(Option1[2], Command4);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(kTimerIntervalMs);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    for (int index : {1, 2})
        connect(Option1[static_cast<std::size_t>(index)], &QRadioButton::clicked, this,
                [this, index] { Option1_Click(index); });
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);

    setGeometry(twips(kLeft), twips(kTop), twips(kClientWidth), twips(kClientHeight));
    setFixedSize(twips(kClientWidth), twips(kClientHeight));
}

void Form1::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    // exit(), not quit(): quit() first asks every window to close, and the display window
    // declines while it is the only output.
    QCoreApplication::exit(0);
}

void Form1::setDateTimeSource(std::function<QDateTime()> now) {
    m_now = std::move(now);
}

void Form1::setTextLocale(const QLocale& locale) {
    m_locale = locale;
}

bool Form1::stopping() const noexcept {
    // Handlers queued behind a termination request do nothing: the program ends after the
    // one that was running, however many clicks were waiting.
    return m_halted || ui::terminationRequested();
}

void Form1::halt() {
    m_halted = true;
    Timer1->stop();
    setEnabled(false);
}

void Form1::Form_Load() {
    // TexteLCD still holds its 32 NULs; the box keeps text only up to the first NUL.
    const std::u32string shown = TexteLCD.substr(0, TexteLCD.find(U'\0'));
    Text1->setPlainText(QString::fromStdU32String(shown));
    PortLPT = port::kLpt1;  // 888
    LCD_Init();
    // Custom glyphs 0 and 1 ("à", "é") must be in CGRAM before any text uses them.
    EcrireCGRAM();
}

void Form1::Option1_Click(int Index) {
    if (stopping() || (Index != 1 && Index != 2)) return;
    PortLPT = Option1[static_cast<std::size_t>(Index)]->property("Tag").toString().toShort();
    emit portChanged(PortLPT);
    LCD_Init();
    EcrireCGRAM();
}

void Form1::Command1_Click() {
    if (stopping()) return;
    LCD_Init();
    // Reloads the glyphs too, for a display that was power-cycled.
    EcrireCGRAM();
}

void Form1::Command4_Click() {
    if (stopping()) return;
    struct Pattern {
        std::int16_t addr;
        char Car;
    };
    // 0x8F-0x94 and 0xC0: DDRAM 0x0F-0x14 on line 1, then 0x40, the start of line 2.
    constexpr auto at = [](int address) {
        return static_cast<std::int16_t>(hd44780::instr::kSetDdramAddress | address);
    };
    static constexpr Pattern kPattern[] = {{at(0x0F), 'p'}, {at(0x10), '0'}, {at(0x11), '1'},
                                           {at(0x12), '2'}, {at(0x13), '3'}, {at(0x14), '4'},
                                           {at(0x40), 't'}};
    for (const Pattern& p : kPattern) EcrireCCRAM(p.addr, static_cast<std::int16_t>(p.Car));
}

void Form1::selectCharacter(int i) {
    // Box positions count UTF-16 units; character i starts after the units of those before.
    int start = 0;
    for (int k = 0; k < i - 1; ++k) start += TexteLCD[static_cast<std::size_t>(k)] > 0xFFFF ? 2 : 1;
    const int length = TexteLCD[static_cast<std::size_t>(i - 1)] > 0xFFFF ? 2 : 1;
    const int last = Text1->document()->characterCount() - 1;
    QTextCursor cursor(Text1->document());
    cursor.setPosition(qMin(start, last));
    cursor.setPosition(qMin(start + length, last), QTextCursor::KeepAnchor);
    Text1->setTextCursor(cursor);
}

void Form1::Command2_Click() {
    if (stopping()) return;
    LCD_Init();
    // The raw text keeps a no-break space (160) that toPlainText() would make a plain one;
    // line breaks come back as U+2029 and go out as spaces.
    const QString box = Text1->document()->toRawText();
    if (box.isEmpty()) return;
    // One "é" whether typed precomposed or as e + combining accent.
    TexteLCD = lcd::fixTexteLCD(box.normalized(QString::NormalizationForm_C).toStdU32String());
    Text1->setPlainText(QString::fromStdU32String(TexteLCD));
    const int n = static_cast<int>(TexteLCD.size());
    for (int i = 1; i <= n; ++i) {
        selectCharacter(i);
        if (i == static_cast<int>(lcd::kLine2From)) LCD_Cmd(lcd::kLine2Address);
        LCD_Data(lcd::characterCode(TexteLCD[static_cast<std::size_t>(i - 1)]));
        if (m_halted) return;  // a fatal error mid-way; a termination request waits
    }
}

void Form1::Command3_Click() {
    if (stopping()) return;
    Text1->setPlainText(ui::dateTimeText(m_now(), m_locale));
    Command2_Click();
}

void Form1::Timer1_Timer() {
    if (stopping()) return;
    QString text = ui::dateTimeText(m_now(), m_locale);
    text += QLatin1String(ui::kTimerSeparator);
    text += ui::secondsText(m_now().time(), m_locale);
    Text1->setPlainText(text);
    for (int k = 0; k < 3; ++k) Command2_Click();
}
