// Form1 on simulated time over the emulated displays, with every write recorded.
#pragma once

#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <memory>

#include "driver_rig.h"
#include "window/form1.h"

namespace testsupport {

struct FormRig {
    FormRig()
        : layer(
              emulatorConfig(), clock, clock, [this](const std::string& m) { fatal.push_back(m); },
              port::hardwareOpener()) {
        form = std::make_unique<Form1>(rec, rec, clock);
        timer()->stop();  // tests tick by hand
        form->setTextLocale(QLocale(QLocale::French, QLocale::France));
    }

    template <typename T>
    T* child(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    QTextEdit* text() const { return child<QTextEdit>("Text1"); }
    QTimer* timer() const { return child<QTimer>("Timer1"); }
    QPushButton* button(int n) const {
        return child<QPushButton>(QStringLiteral("Command%1").arg(n).toLatin1().constData());
    }
    QRadioButton* option(int index) const {
        for (auto* r : form->findChildren<QRadioButton*>(QStringLiteral("Option1")))
            if (r->property("Index").toInt() == index) return r;
        return nullptr;
    }
    const hd44780::Controller& lcd(std::int16_t port = 888) const { return *layer.display(port); }
    std::string line(int row, std::int16_t port = 888, int columns = 20) const {
        std::string s;
        for (int c = 0; c < columns; ++c)
            s += static_cast<char>(lcd(port).cell(row, c, columns).code);
        return s;
    }

    port::SimulatedClock clock;
    std::vector<std::string> fatal;
    port::PortLayer layer;
    port::testing::Recorder rec{clock, layer, &layer};
    std::unique_ptr<Form1> form;
};

}  // namespace testsupport
