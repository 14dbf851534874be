#include "ui/fatal.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ui/messages.h"

namespace ui {
namespace {
std::atomic<bool> g_inFatal{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

// A box reads as a sentence of its own: it starts with a capital ("Écriture ...").
QString boxText(const std::string& sentence) {
    QString text = QString::fromStdString(sentence);
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text;
}
}  // namespace

bool interactivePlatform() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("windows") ||
           platform.startsWith(QLatin1String("wayland"));
}

bool fatalInProgress() noexcept {
    return g_inFatal.load();
}

void fatalExit(const std::string& sentence) {
    g_inFatal = true;
    tell(sentence);
    if (qApp && interactivePlatform())
        QMessageBox::critical(nullptr, QStringLiteral("Velmorin"), boxText(sentence));
    // Straight out: this runs deep inside a handler, and static destructors must not run
    // under a live QApplication. The trace was flushed by the fatal path; the kernel
    // releases a claimed port when its file closes.
    std::_Exit(1);
}

void fatalExit(const port::Error& error) noexcept {
    try {
        fatalExit(sentence(error));
    } catch (...) {
        // No memory for the sentence: the bare errno text still tells something true.
        g_inFatal = true;
        tell(std::strerror(error.err != 0 ? error.err : EIO));
        std::_Exit(1);
    }
}

}  // namespace ui
