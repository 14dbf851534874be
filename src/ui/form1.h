// The program's one window. It owns the state and wires controls to the driver; the
// driver routines are its own members through LcdDriver.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "lcd/lcd_driver.h"
#include "port/fatal.h"

class QPushButton;
class QRadioButton;
class QTextEdit;
class QTimer;

class Form1 : public QWidget, public lcd::LcdDriver {
    Q_OBJECT

public:
    // Runs Form_Load before returning, so the display is initialised before the window is
    // first shown. Registers its halt with the fatal path first.
    Form1(port::PortWriter& out, port::Sleeper& sleeper, port::Clock& clock, port::Fatal& fatal,
          QWidget* parent = nullptr);
    ~Form1() override;

    // Where the clock texts take the time and the regional format from (the system's by
    // default).
    void setDateTimeSource(std::function<QDateTime()> now);
    void setTextLocale(const QLocale& locale);

    // After a fatal port error: stops the timer and turns every handler into a no-op, so
    // nothing re-enters while the error is shown.
    void halt();

    // A client-area length in twips, in this screen's pixels (15 twips per pixel at 96 dpi).
    int twips(int t) const;

    // The port the driver writes to (PortLPT).
    std::int16_t port() const noexcept { return PortLPT; }

signals:
    void portChanged(std::int16_t port);

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Option1_Click(int Index);
    void Timer1_Timer();

protected:
    // Closing this window ends the program, even while the display window is open.
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void buildControls();
    void selectCharacter(int i);
    bool stopping() const noexcept;

    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QTextEdit* Text1 = nullptr;
    std::array<QRadioButton*, 3> Option1{};  // control array: indexes 1 and 2
    QTimer* Timer1 = nullptr;

    // The text sender's buffer: exactly 32 characters once assigned; NULs until then.
    std::u32string TexteLCD = std::u32string(32, U'\0');

    std::function<QDateTime()> m_now;
    QLocale m_locale;
    bool m_halted = false;
};
