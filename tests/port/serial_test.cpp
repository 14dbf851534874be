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

    explicit Line(const std::string& text, hd44780::Geometry module = {}) {
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
        config.module = module;
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

// The window's start-up (init, glyphs), one text (line 2 from the 21st character), the test
// pattern (DDRAM 0x0F-0x14, 0x40); then a display shift, an entry mode that shifts, both
// cursors on, a 0xFE, and the module made 40x2.
void transmit(Line& l) {
    Driver d(*l.layer, *l.layer, l.clock);
    d.PortLPT = 0x378;
    d.LCD_Init();
    d.EcrireCGRAM();
    d.LCD_Init();
    for (char c : std::string("Mise \0 jour 12:34:56", 20)) d.LCD_Data(c);
    d.LCD_Cmd(0xC0);
    for (char c : std::string("Velmorin ok.")) d.LCD_Data(c);
    const std::uint8_t at[] = {0x8F, 0x90, 0x91, 0x92, 0x93, 0x94, 0xC0};
    for (int i = 0; i < 7; ++i) d.EcrireCCRAM(at[i], "p01234t"[i]);
    for (std::int16_t instruction : {0x18, 0x07, 0x0F}) d.LCD_Cmd(instruction);
    d.LCD_Data(0xFE);
    l.layer->setModule({40, 2});
    l.layer->flush();
}

TEST(Serial, MatrixOrbitalPlacesTextByTheModulesRowsAndColumns) {
    const Bytes glyphs = {
        0xFE, 0x4E, 0,    0x04, 0x02, 0x0E, 0x01, 0x0F, 0x11, 0x0F, 0x00,  // à
        0xFE, 0x4E, 1,    0x04, 0x08, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00,  // é
        0xFE, 0x4E, 2,    0x04, 0x02, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00,  // è
        0xFE, 0x4E, 3,    0x05, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E, 0x00,  // ë
        0xFE, 0x58, 0xFE, 0x48, 0xFE, 0x48, 0xFE, 0x58,  // the 4-bit init: clear, home, home, clear
    };
    const std::string line2 = "\xFE\x47\x01\x02Velmorin ok.";
    // The shifts send nothing; the cursors on; the 0xFE as a space where the cursor is.
    const Bytes last = {0xFE, 0x4A, 0xFE, 0x53, ' ', 0xFE, 0xD1, 40, 2};
    struct Case {
        std::uint8_t columns, rows;
        std::string text;
    };
    const Case cases[] = {
        // 16x2: DDRAM 0x10-0x27 is off the screen, so "4:56" and "01234" do not travel.
        {16, 2,
         std::string("Mise \0 jour 12:3", 16) + line2 + "\xFE\x47\x10\x01p\xFE\x47\x01\x02t"},
        // 20x4: the row's last cells, then 0x14 is row 3.
        {20, 4,
         std::string("Mise \0 jour 12:34:56", 20) + line2 +
             "\xFE\x47\x10\x01p0123\xFE\x47\x01\x03"
             "4\xFE\x47\x01\x02t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.columns);
        Line l("/dev/ttyACM0@matrix-orbital", {c.columns, c.rows});
        transmit(l);
        ASSERT_TRUE(l.fatal.empty());
        Bytes expected = {0xFE, 0xD1, c.columns, c.rows, 0xFE, 0x42, 0,   0xFE,
                          0x4B, 0xFE, 0x54,      0xFE,   0x52, 0xFE, 0x58};
        expected.insert(expected.end(), glyphs.begin(), glyphs.end());
        expected.insert(expected.end(), c.text.begin(), c.text.end());
        expected.insert(expected.end(), last.begin(), last.end());
        EXPECT_EQ(l.all(), expected);
        const port::Description d = *l.layer->ports()[0].device;
        EXPECT_EQ(d.unsaid, 0x18);  // the first of the two that could not be said
        EXPECT_TRUE(d.replaced);
    }
}

// Linux's own numbers: a virtual console, the console, the pty master and slave, /dev/null.
void terminals(testsupport::FakeOs& os) {
    const std::pair<const char*, std::pair<unsigned, unsigned>> nodes[] = {{"tty1", {4, 1}},
                                                                           {"console", {5, 1}},
                                                                           {"ptmx", {5, 2}},
                                                                           {"pts/3", {136, 3}},
                                                                           {"null", {1, 3}}};
    for (const auto& [name, number] : nodes)
        os.nodes[os.node(name, number.first)].minor = number.second;
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
        {"/dev/pts/3@nosuch", 0, P::Backend, S::UnknownProtocol, H::None, "nosuch"},
        {"/dev/ttyACM0@lcdserializer,baud=9600,baud=19200", 0, P::Backend, S::OptionTwice, H::None,
         "baud=19200"},
        // Terminals that are no serial line, told apart by their numbers.
        {"/dev/tty1@lcdserializer", 0, P::Backend, S::Console, H::ListSerialPorts, ""},
        {"/dev/console@lcdserializer", 0, P::Backend, S::Console, H::ListSerialPorts, ""},
        {"/dev/ptmx@lcdserializer", 0, P::Backend, S::PtyMaster, H::None, ""},
        {"/dev/null@lcdserializer", ENOTTY, P::Backend, S::NotSerialPort, H::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        testsupport::FakeOs os;
        os.node("ttyACM0", 166);
        terminals(os);
        if (c.openErrno) {
            os.serialErrno["/dev/ttyACM0"] = c.openErrno;
            os.serialErrno["/dev/null"] = c.openErrno;
        }
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
            EXPECT_EQ(e->setting, "VELMORIN_LPT1");  // the sentence names it
        }
        EXPECT_EQ(e->what, c.what);
        if (c.code) {
            EXPECT_EQ(e->code, port::codeOf(*c.code));
            EXPECT_STREQ(e->backend, "serial");
        }
        EXPECT_EQ(e->hint, port::codeOf(c.hint));
        EXPECT_EQ(e->detail, c.detail);
    }
    // A pty's slave is a line: simulators and tests use one.
    Line pty("/dev/pts/3@lcdserializer");
    terminals(pty.os);
    send(pty);
    EXPECT_TRUE(pty.fatal.empty());
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
