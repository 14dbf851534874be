#include "window/fatal.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace window {
namespace {
std::atomic<bool> g_inFatal{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");
}  // namespace

bool interactivePlatform() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

bool fatalInProgress() noexcept {
    return g_inFatal.load();
}

void fatalExit(const std::string& message) {
    g_inFatal = true;
    std::fprintf(stderr, "velmorin : %s\n", message.c_str());
    std::fflush(stderr);
    if (qApp && interactivePlatform())
        QMessageBox::critical(nullptr, QStringLiteral("Velmorin"), QString::fromStdString(message));
    // Straight out: this runs deep inside a handler, and static destructors must not run
    // under a live QApplication. The trace was flushed by the fatal path; the kernel
    // releases a claimed port when its file closes.
    std::_Exit(1);
}

}  // namespace window
