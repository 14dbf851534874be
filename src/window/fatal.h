// The program's one fatal path: an unusable port, a failed write or a bad setting ends the
// program with a message that names the error.
#pragma once

#include <string>

class Form1;
namespace port {
class PortLayer;
}

namespace window {

// True on a platform where a person sees the windows (xcb, wayland), where a message box
// can be answered; never under offscreen or minimal, so tests cannot hang on one.
bool interactivePlatform();

// Stops the timer and every handler, flushes the trace, prints the message on stderr,
// shows it in a box where someone can answer it, and exits with status 1. Either pointer
// may be null (before the window exists).
[[noreturn]] void fatalExit(const std::string& message, Form1* form, port::PortLayer* layer);

}  // namespace window
