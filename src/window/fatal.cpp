#include "window/fatal.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "port/port_layer.h"
#include "window/form1.h"

namespace window {

bool interactivePlatform() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

void fatalExit(const std::string& message, Form1* form, port::PortLayer* layer) {
    if (form) form->halt();
    if (layer) layer->flushTrace();
    std::fprintf(stderr, "velmorin : %s\n", message.c_str());
    std::fflush(stderr);
    if (qApp && interactivePlatform())
        QMessageBox::critical(nullptr, QStringLiteral("Velmorin"), QString::fromStdString(message));
    // Straight out: this runs deep inside a handler, and static destructors must not run
    // under a live QApplication. The trace is flushed; the kernel releases a claimed port
    // when its file closes.
    std::_Exit(1);
}

}  // namespace window
