// The backpack's chip, wiring and polarity read back, over a bus with the boards behind it:
// a PCF8574 and an HD44780 as their datasheets make them (the kernel tests' simulated
// board, kernel/bridges/backpack.h), in each wiring, with either transistor.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "../kernel/bridges/backpack.h"
#include "fake_os.h"
#include "port/i2c/backends.h"
#include "port/i2c/wiring_look.h"
#include "port/opener.h"
#include "recording_i2c_bus.h"

namespace {

namespace i2c = port::i2c;

// The board at 0x27, given as backpack.h's arguments ("65470123 pnp"); or an MCP23008
// with nothing driving its pins but its pull-ups (Adafruit's board: R/W tied low).
struct BoardBus final : port::I2cBus {
    bool mcp = false;
    int nackAfter = -1;  // transactions before every one fails
    int transactions = 0;
    std::map<std::uint8_t, std::uint8_t> reg{{0x00, 0xFF}};  // MCP23008: IODIR from reset
    std::uint8_t pointer = 0;

    explicit BoardBus(std::vector<const char*> args) {
        backpack_configure(static_cast<int>(args.size()), const_cast<char**>(args.data()));
    }
    int claim(std::uint8_t) noexcept override { return 0; }
    int probe(std::uint8_t a) noexcept override { return a == 0x27 ? 0 : ENXIO; }
    std::size_t maxWrite() const noexcept override { return 4096; }
    void setTimeoutMs(int) noexcept override {}
    int write(std::uint8_t a, std::span<const std::uint8_t> bytes) noexcept override {
        if (a != 0x27) return ENXIO;
        if (nackAfter >= 0 && transactions >= nackAfter) return EIO;
        ++transactions;
        if (!mcp) {
            for (std::uint8_t b : bytes) backpack_write(b);
        } else if (!bytes.empty()) {
            pointer = bytes[0];  // byte mode: every value to the one register
            for (std::size_t i = 1; i < bytes.size(); ++i) reg[pointer] = bytes[i];
        }
        return 0;
    }
    int read(std::uint8_t a, std::span<std::uint8_t> bytes) noexcept override {
        if (a != 0x27) return ENXIO;
        if (nackAfter >= 0 && transactions >= nackAfter) return EIO;
        ++transactions;
        for (std::uint8_t& b : bytes) {
            // GPIO: an input reads its pull-up, an output what OLAT drives.
            const std::uint8_t gpio =
                static_cast<std::uint8_t>((reg[0x00] & reg[0x06]) | (~reg[0x00] & reg[0x0A]));
            b = mcp ? (pointer == 0x09 ? gpio : reg[pointer]) : backpack_read();
        }
        return 0;
    }
};

struct Looked {
    i2c::LookResult r;
    std::uint8_t lastPort;
};

Looked look(BoardBus& bus) {
    testsupport::FakeOs time;
    Looked l{i2c::lookAtBackpack(bus, 0x27, time), port_byte};
    return l;
}

TEST(WiringLook, EachBoardReadBackAsItsPresetOrMap) {
    struct Case {
        std::vector<const char*> board;
        i2c::Look look;
        const char* options;
        bool polarityKnown;
        std::uint8_t ePin;
    };
    const Case cases[] = {
        {{"01234567", "npn"}, i2c::Look::ReadBack, "", true, 2},
        {{"01234567", "pnp"}, i2c::Look::ReadBack, "lcm1602", true, 2},
        {{"65470123", "pnp"}, i2c::Look::ReadBack, "mjkdz", true, 4},
        {{"65470123", "npn"}, i2c::Look::ReadBack, "map=65470123", true, 4},
        {{"45670123", "pnp"}, i2c::Look::ReadBack, "lcdxio", true, 6},
        {{"45670123", "npn"}, i2c::Look::ReadBack, "map=45670123", true, 6},
        // No preset's: found among the nibble's and control pins' orders.
        {{"74560123", "pnp"}, i2c::Look::ReadBack, "map=74560123,bl-low", true, 5},
        // R/W tied low: nothing answers; the NPN's clamp still shows on the usual pin.
        {{"01234567", "npn", "rw-low"}, i2c::Look::Fallback, "", true, 2},
        {{"01234567", "pnp", "rw-low"}, i2c::Look::Fallback, "", false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.board[0]) + " " + c.board[1]);
        BoardBus bus(c.board);
        const Looked l = look(bus);
        EXPECT_EQ(l.r.err, 0);
        EXPECT_EQ(l.r.look, c.look);
        EXPECT_EQ(l.r.chip, &i2c::kPcf8574Chip);
        EXPECT_EQ(l.r.options, c.options);
        EXPECT_EQ(l.r.polarityKnown, c.polarityKnown);
        EXPECT_EQ(l.lastPort & (1u << c.ePin), 0u) << "E left high";
        if (c.look == i2c::Look::ReadBack) {
            EXPECT_EQ(ddram[0], 'V');  // the confirming write
        }
    }
}

TEST(WiringLook, TheChipAndWhatIsNoBackpack) {
    BoardBus mcp({});
    mcp.mcp = true;
    const Looked m = look(mcp);
    EXPECT_EQ(m.r.chip, &i2c::kMcp23008Chip);
    EXPECT_EQ(m.r.look, i2c::Look::Fallback);
    EXPECT_EQ(m.r.options, "mcp23008");
    EXPECT_EQ(mcp.reg[0x06], 0x00) << "pull-ups left on";

    // A DDC EEPROM's bytes: the offset's byte, whatever the pins were told.
    testsupport::RecordingI2cBus::Log log;
    testsupport::RecordingI2cBus eeprom(log);
    eeprom.answer = {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x10, 0xAC, 0x40};
    testsupport::FakeOs time;
    EXPECT_EQ(i2c::lookAtBackpack(eeprom, 0x27, time).look, i2c::Look::NotBackpack);

    // A NACK in the middle of the look ends it with the bus's errno.
    BoardBus nack({"65470123", "pnp"});
    nack.nackAfter = 12;
    EXPECT_EQ(look(nack).r.err, EIO);
}

// @auto end to end: the address, the wiring found and kept as the device text's options,
// then the board's start-up through it.
TEST(WiringLook, AutoOpensThroughWhatItFound) {
    port::PortDevice d;
    ASSERT_FALSE(port::parseDevice("/dev/i2c-1@auto", d));
    auto bus = std::make_unique<BoardBus>(std::vector<const char*>{"65470123", "pnp"});
    testsupport::FakeOs time;
    port::OpenResult opened = i2c::openOn(i2c::kPcf8574Chip, d, std::move(bus), time);
    ASSERT_TRUE(opened.backend);
    const port::Description desc = opened.backend->description();
    EXPECT_EQ(desc.lookedUp, "0x27,mjkdz");
    EXPECT_EQ(desc.options, "mjkdz");
    EXPECT_FALSE(desc.polarityUnknown);
    // 'B' as data: RS (P6), D4-D7 on P0-P3, E on P4, the backlight (P7) on when low.
    for (const std::uint8_t nibble : {0x4, 0x2})
        for (const bool e : {false, true, false})
            EXPECT_EQ(opened.backend->write({true, e, nibble}), 0);
    EXPECT_EQ(opened.backend->flush(), 0);
    EXPECT_EQ(port_byte, 0x42);  // the low nibble 0x2 held: RS and D5 (P1)
}

}  // namespace
