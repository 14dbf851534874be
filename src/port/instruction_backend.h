// The instruction-level seam: a board that takes what the controller executes (an escape
// byte and an instruction, a data byte) rather than the controller's pins. Such a backend
// gets instruction(byte) and data(byte), decoded from the port writes by the decoder the
// emulated controller runs on; the pin-level seam (PortBackend::write) stays for whatever
// wiggles pins.
//
// The bus's own start-up is not passed on: the 8-bit wake-ups and the function set that
// switches the bus to 4 bits are how a parallel bus is brought into step, and the board's
// own link to its LCD has been in step since the board started. The function sets after
// it (lines, font) are passed on.
#pragma once

#include <cstdint>
#include <memory>

#include "port/backend.h"

namespace port {

class InstructionBackend {
public:
    virtual ~InstructionBackend() = default;
    // One byte the controller executes with RS low, or high. 0, or the errno.
    virtual int instruction(std::uint8_t byte) noexcept = 0;
    virtual int data(std::uint8_t byte) noexcept = 0;
    // As PortBackend's: called before every pause.
    virtual int flush() noexcept { return 0; }
    virtual Description description() const = 0;
    virtual std::uint8_t failureHint(int /*err*/) const noexcept { return 0; }
    virtual void setModule(hd44780::Geometry /*module*/) noexcept {}
};

// The port backend that decodes the pins into what backend executes.
std::unique_ptr<PortBackend> takingInstructions(std::unique_ptr<InstructionBackend> backend);

}  // namespace port
