// Serial backpacks: the bytes on the line for what the driver sends, in each protocol,
// written out by hand; and each failure named.
#include <gtest/gtest.h>

#include <cerrno>

#include "fake_os.h"
#include "lcd/lcd_driver.h"
#include "port/opener.h"
#include "port/port_layer.h"
#include "port/serial/serial_backend.h"
#include "port/settings/settings.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace serial = port::serial;

struct Driver : lcd::LcdDriver {
    using LcdDriver::LCD_Cmd;
    using LcdDriver::LCD_Data;
    using LcdDriver::LcdDriver;
};

struct Line {
    testsupport::FakeOs os;
    std::vector<Bytes> writes;
    std::vector<std::int64_t> at;  // when each write was made
    int writeErrno = 0;
    port::SimulatedClock clock;
    std::vector<port::Error> fatal;
    port::Fatal fatalPath{[this](const port::Error& e) { fatal.push_back(e); }};
    std::optional<port::PortLayer> layer;

    explicit Line(const std::string& text) {
        os.node("ttyACM0", 166);
        os.onWrite = [this](int, const void* data, std::size_t n) -> long {
            if (writeErrno) return -writeErrno;
            const auto* b = static_cast<const std::uint8_t*>(data);
            writes.emplace_back(b, b + n);
            at.push_back(os.now);
            return static_cast<long>(n);
        };
        port::PortConfig config;
        EXPECT_FALSE(port::parseDevice(text, config.devices[0]));
        layer.emplace(std::move(config), clock, clock, fatalPath, port::hardwareOpener(os), os);
    }
    Bytes all() const {
        Bytes b;
        for (const Bytes& w : writes) b.insert(b.end(), w.begin(), w.end());
        return b;
    }
};

// The start-up, then a text: "A", the escape byte itself, glyph 0, then a CGRAM row.
void send(Line& l) {
    Driver d(*l.layer, *l.layer, l.clock);
    d.PortLPT = 0x378;
    d.LCD_Init();
    d.LCD_Cmd(0x80);
    d.LCD_Data('A');
    d.LCD_Data(0xFE);
    d.LCD_Data(0x00);
    d.LCD_Cmd(0x48);
    d.LCD_Data(0x1F);
    d.LCD_Cmd(0x80);  // the pause that sends the text
}

TEST(Serial, TheLineCarriesTheExecutedInstructionsInTheProtocol) {
    struct Case {
        const char* text;
        Bytes line;
    };
    const Case cases[] = {
        // No wake-up write and no width switch; the function set as 2 lines, 8-bit link.
        {"/dev/ttyACM0@lcdserializer",
         {0xFE, 0x38, 0xFE, 0x0C, 0xFE, 0x06, 0xFE, 0x01, 0xFE, 0x80, 0x41, 0x20, 0x00, 0xFE, 0x48,
          0x1F, 0xFE, 0x80}},
        {"/dev/ttyACM0@picanlcd", {0x11, 0x38, 0x11, 0x0C, 0x11, 0x06, 0x11, 0x01, 0x11, 0x80,
                                   0x41, 0xFE, 0x12, 0x00, 0x11, 0x48, 0x12, 0x1F, 0x11, 0x80}},
        {"/dev/ttyACM0@vdr-lcd,baud=19200",
         {0xFE, 0x28, 0xFE, 0x0C, 0xFE, 0x06, 0xFE, 0x01, 0xFE, 0x80, 0x41, 0x20, 0x00, 0xFE, 0x48,
          0x1F, 0xFE, 0x80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Line l(c.text);
        send(l);
        ASSERT_TRUE(l.fatal.empty());
        EXPECT_EQ(l.all(), c.line);
        // The text's bytes went in one write, between two pauses.
        EXPECT_EQ(l.writes.size(), 7u);
    }
}

TEST(Serial, AfterAClearTheNextByteWaitsForTheBoard) {
    Line l("/dev/ttyACM0@lcdserializer");
    send(l);
    ASSERT_GE(l.writes.size(), 5u);
    EXPECT_EQ(l.writes[3], (Bytes{0xFE, 0x01}));
    // 2 bytes at 9600 baud (2.08 ms), then the datasheet's 1.52 ms.
    EXPECT_GE(l.at[4] - l.at[3], 3'600'000);
    EXPECT_LT(l.at[4] - l.at[3], 5'000'000);
    const port::Description d = *l.layer->ports()[0].device;
    EXPECT_EQ(d.device, "/dev/ttyACM0");
    EXPECT_EQ(d.detail, "lcdserializer");
    EXPECT_EQ(d.options, "9600");
    EXPECT_TRUE(d.replaced);  // the 0xFE went as a space
}

TEST(Serial, EachFailureIsNamed) {
    struct Case {
        const char* text;
        int openErrno;
        port::Problem what;
        std::optional<serial::Problem> code;
        serial::Hint hint;
        const char* detail;
    };
    using P = port::Problem;
    using S = serial::Problem;
    using H = serial::Hint;
    const Case cases[] = {
        {"/dev/ttyACM1@lcdserializer", 0, P::DeviceUnusable, {}, H::ListSerialPorts, ""},
        {"/dev/ttyACM0@lcdserializer", EBUSY, P::OpenFailed, {}, H::PortBusy, ""},
        {"/dev/ttyACM0@lcdserializer", EACCES, P::OpenFailed, {}, H::JoinGroupDialout, ""},
        {"/dev/ttyACM0@lcdserializer", ENOTTY, P::Backend, S::NotSerialPort, H::None, ""},
        {"/dev/ttyACM0@lcdserializer,baud=7", 0, P::Backend, S::BadBaud, H::None, "7"},
        {"/dev/ttyACM0@lcdserializer,baud=12345", EINVAL, P::Backend, S::BadBaud, H::None, "12345"},
        {"/dev/ttyACM0@0x27", 0, P::Backend, S::UnknownProtocol, H::None, "0x27"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        testsupport::FakeOs os;
        os.node("ttyACM0", 166);
        if (c.openErrno) os.serialErrno["/dev/ttyACM0"] = c.openErrno;
        port::PortConfig config;
        std::optional<port::Error> e = port::parseDevice(c.text, config.devices[0]);
        if (!e) {
            port::SimulatedClock clock;
            std::vector<port::Error> fatal;
            port::Fatal fatalPath{[&](const port::Error& f) { fatal.push_back(f); }};
            port::PortLayer layer(config, clock, clock, fatalPath, port::hardwareOpener(os), os);
            layer.Out32(0x378, 1);
            ASSERT_EQ(fatal.size(), 1u);
            e = fatal[0];
        }
        EXPECT_EQ(e->what, c.what);
        if (c.code) {
            EXPECT_EQ(e->code, port::codeOf(*c.code));
            EXPECT_STREQ(e->backend, "serial");
        }
        EXPECT_EQ(e->hint, port::codeOf(c.hint));
        EXPECT_EQ(e->detail, c.detail);
    }
}

TEST(Serial, ACablePulledMidRunIsFatalAtTheWriteThatFailed) {
    Line l("/dev/ttyACM0@lcdserializer");
    l.layer->Out32(0x378, 0);
    l.writeErrno = EIO;
    send(l);
    ASSERT_EQ(l.fatal.size(), 1u);
    EXPECT_EQ(l.fatal[0].what, port::Problem::WriteFailed);
    EXPECT_EQ(l.fatal[0].hint, port::codeOf(serial::Hint::CablePulled));
}

}  // namespace
