#include "hd44780/instruction_decoder.h"

#include "hd44780/instructions.h"

namespace hd44780 {

std::optional<InstructionDecoder::Latched> InstructionDecoder::latch(Pins pins,
                                                                     bool busy) noexcept {
    const std::uint8_t nibble = pins.db & 0x0F;
    Latched out;
    if (m_eightBit) {
        if (busy) return std::nullopt;
        out.rs = pins.rs;
        out.byte = static_cast<std::uint8_t>((nibble << 4) | m_low);
    } else if (!m_pending) {
        m_pending = Pending{nibble, pins.rs, busy};
        return std::nullopt;
    } else {
        const Pending first = *m_pending;
        m_pending.reset();
        if (busy || first.busy) return std::nullopt;  // lost, but the pairing moved on
        out.rs = pins.rs;
        out.rsDiffers = first.rs != pins.rs;
        out.byte = static_cast<std::uint8_t>((first.nibble << 4) | nibble);
    }
    if (isFunctionSet(out.rs, out.byte)) {
        const bool eightBit = (out.byte & instr::kFunction8Bit) != 0;
        out.widthChanged = eightBit != m_eightBit;
        if (out.widthChanged) {
            m_eightBit = eightBit;
            m_pending.reset();
        }
    }
    return out;
}

std::optional<std::uint8_t> InstructionDecoder::pendingNibble() const noexcept {
    if (!m_pending) return std::nullopt;
    return m_pending->nibble;
}

bool InstructionDecoder::isFunctionSet(bool rs, std::uint8_t byte) noexcept {
    // The highest bit set names the instruction: 001x xxxx.
    return !rs && (byte & 0xE0) == instr::kFunctionSet;
}

}  // namespace hd44780
