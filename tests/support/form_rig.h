// Form1 on simulated time over the emulated displays, with every write recorded.
#pragma once

#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <memory>

#include "driver_rig.h"
#include "ui/form1.h"

namespace testsupport {

struct FormRig : PortRig {
    FormRig() {
        form = std::make_unique<Form1>(rec, rec, clock, fatalPath);
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
    std::unique_ptr<Form1> form;
};

}  // namespace testsupport
