#include "port/instruction_backend.h"

#include "hd44780/instruction_decoder.h"

namespace port {
namespace {

class Decoded final : public PortBackend {
public:
    explicit Decoded(std::unique_ptr<InstructionBackend> backend) noexcept
        : m_backend(std::move(backend)) {}

    int write(hd44780::Pins pins) noexcept override {
        const hd44780::Pins before = m_last;
        m_last = pins;
        if (!before.e || pins.e) return 0;  // only a fall of E latches
        const bool wakeUp = m_decoder.eightBit();
        // Nobody reads a write-only bus's busy flag: the driver's timing keeps it clear.
        const auto latched = m_decoder.latch(before, false);
        if (!latched || wakeUp || latched->widthChanged) return 0;
        return latched->rs ? m_backend->data(latched->byte) : m_backend->instruction(latched->byte);
    }
    int flush() noexcept override { return m_backend->flush(); }
    Description description() const override { return m_backend->description(); }
    std::uint8_t failureHint(int err) const noexcept override {
        return m_backend->failureHint(err);
    }
    void setModule(hd44780::Geometry module) noexcept override { m_backend->setModule(module); }

private:
    std::unique_ptr<InstructionBackend> m_backend;
    hd44780::InstructionDecoder m_decoder;
    hd44780::Pins m_last{};
};

}  // namespace

std::unique_ptr<PortBackend> takingInstructions(std::unique_ptr<InstructionBackend> backend) {
    return std::make_unique<Decoded>(std::move(backend));
}

}  // namespace port
