// Ending the program the orderly way when the system asks (a signal on Linux): after the
// running handler, so the last transmission is whole and the trace is flushed and closed.
#pragma once

class QCoreApplication;

namespace ui {

// Also makes a write to a pipe whose reader left fail with its errno instead of killing
// the program.
void quitOnTerminationRequest(QCoreApplication& app);

// True once the system has asked the program to end. Safe to read from anywhere.
bool terminationRequested() noexcept;

}  // namespace ui
