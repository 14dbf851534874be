// How the program tells the user about the one fatal path (port/fatal.h): a French
// sentence on stderr, a message box where a person can answer it, exit status 1.
#pragma once

#include <string>

#include "port/errors.h"

namespace ui {

// True on a platform where a person sees the windows (xcb, wayland), where a message box
// can be answered; never under offscreen or minimal, so tests cannot hang on one.
bool interactivePlatform();

// The program's fatal sink. Runs deep inside a handler; never returns.
[[noreturn]] void fatalExit(const std::string& sentence);
[[noreturn]] void fatalExit(const port::Error& error) noexcept;

// True once fatalExit has started: a SIGTERM or SIGINT then ends the program at once, even
// while the message box's own event loop runs. Async-signal-safe.
bool fatalInProgress() noexcept;

}  // namespace ui
