// The escape family: the board forwards each instruction after an escape byte to its LCD
// and each data byte as it is.
//  - The board keeps its own link to its LCD, usually 4 bits wide, and drives it itself.
//    Only a function set's N and F bits (lines, font) travel, with DL as the board has it:
//    an 8-bit function set sent to a board that drives its LCD in 4-bit mode leaves it out
//    of step.
//  - Datasheet: clear display and return home take 1.52 ms at 270 kHz. The board executes
//    them on its LCD, so what follows waits that long.
#include "hd44780/instruction_decoder.h"
#include "hd44780/instructions.h"
#include "port/serial/line_coder.h"

namespace port::serial {
namespace escape {  // its own, whatever shares its unity source
namespace {

constexpr std::int64_t kHd44780ClearNs = 1'520'000;  // datasheet: clear display, return home

class EscapeCoder final : public LineCoder {
public:
    explicit EscapeCoder(const EscapeProtocol& protocol) noexcept : m_protocol(protocol) {}

    void instruction(std::uint8_t byte, Line& line) noexcept override {
        namespace in = hd44780::instr;
        if (hd44780::InstructionDecoder::isFunctionSet(false, byte))
            byte =
                static_cast<std::uint8_t>((byte & ~in::kFunction8Bit) |
                                          (m_protocol.interfaceBits == 8 ? in::kFunction8Bit : 0));
        const std::uint8_t out[] = {m_protocol.instructionEscape, byte};
        line.put(out);
        if ((byte & 0xFE) == in::kReturnHome || byte == in::kClearDisplay)
            line.busyFor(kHd44780ClearNs);
    }

    void data(std::uint8_t byte, Line& line) noexcept override {
        if (m_protocol.hasDataEscape && byte >= m_protocol.dataEscapeFirst &&
            byte <= m_protocol.dataEscapeLast) {
            const std::uint8_t out[] = {m_protocol.dataEscape, byte};
            line.put(out);
            return;
        }
        if (!m_protocol.hasDataEscape && byte == m_protocol.instructionEscape) {
            ++m_said.replaced;
            byte = ' ';
        }
        line.put({&byte, 1});
    }

private:
    const EscapeProtocol m_protocol;
};

}  // namespace
}  // namespace escape

std::unique_ptr<LineCoder> escapeCoder(const EscapeProtocol& protocol) {
    return std::make_unique<escape::EscapeCoder>(protocol);
}

}  // namespace port::serial
