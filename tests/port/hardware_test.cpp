#include <gtest/gtest.h>
#include <linux/i2c.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <set>

#include "fake_hid.h"
#include "fake_os.h"
#include "port/gpio/linux/gpio_backend.h"
#include "port/i2c/backends.h"
#include "port/i2c/bridges.h"
#include "port/i2c/linux/i2c_dev_bus.h"
#include "port/linux/backends.h"
#include "port/opener.h"
#include "port/parport/linux/ioport_backend.h"
#include "port/parport/linux/ppdev_backend.h"
#include "port/parse.h"
#include "port/port_layer.h"
#include "port/serial/serial_backend.h"
#include "recording_i2c_bus.h"

using testsupport::withBackend;

namespace {

// The fake system with a device whose ioctls are recorded: a parport, an I2C adapter and
// a GPIO chip.
struct FakeSys : testsupport::FakeOs {
    int claimErrno = 0;
    int failWritesAfter = -1;
    std::vector<std::uint8_t> written;
    unsigned long i2cFuncs = I2C_FUNC_SMBUS_WRITE_BYTE;
    int slaveErrno = 0;
    int sendErrno = 0;  // every I2C transfer fails with this
    std::vector<std::uint8_t> sent;
    std::vector<std::string> i2cPaths;  // how each transaction went: "smbus", "write", ...
    std::vector<std::vector<std::uint8_t>> transactions;  // the bytes after the address
    int slave = -1;                                       // the address I2C_SLAVE chose
    std::set<int> present{0x27};                          // what answers a probe
    std::vector<int> probed;
    std::vector<std::uint32_t> requested;
    int lineErrno = 0;
    std::vector<std::uint64_t> lineSets;
    std::vector<std::uint8_t> readAnswer;  // what the device at the address reads as
    std::vector<std::string> reads;        // how each read went: "rdwr 2", "receive byte"
    std::vector<unsigned long> timeouts;   // I2C_TIMEOUT's values

    FakeSys() {
        onWrite = [this](int, const void* data, std::size_t n) -> long {
            if (sendErrno) return -sendErrno;
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            record("write", {bytes, bytes + n});
            return static_cast<long>(n);
        };
    }
    int claim(int) noexcept override {
        calls.push_back("claim");
        return -claimErrno;
    }
    int release(int) noexcept override {
        calls.push_back("release");
        return 0;
    }
    int writeData(int, std::uint8_t value) noexcept override {
        if (failWritesAfter >= 0 && static_cast<int>(written.size()) >= failWritesAfter)
            return -ENODEV;
        written.push_back(value);
        return 0;
    }
    int functions(int, unsigned long& funcs) noexcept override {
        funcs = i2cFuncs;
        return 0;
    }
    int setAddress(int, std::uint8_t address) noexcept override {
        slave = address;
        return -slaveErrno;
    }
    int setTimeout(int, int tens) noexcept override {
        timeouts.push_back(static_cast<unsigned long>(tens));
        return 0;
    }
    int read(int, std::uint8_t address, std::span<std::uint8_t> bytes) noexcept override {
        if (!present.count(address)) return -ENXIO;
        reads.push_back("rdwr " + std::to_string(bytes.size()));
        for (std::size_t i = 0; i < bytes.size() && i < readAnswer.size(); ++i)
            bytes[i] = readAnswer[i];
        return 0;
    }
    int smbus(int, port::SmbusTransfer& t) noexcept override {
        using Kind = port::SmbusTransfer::Kind;
        if (t.read && t.kind == Kind::Byte) {
            if (!present.count(slave)) return -ENXIO;
            t.byte = readAnswer.empty() ? 0xFF : readAnswer[reads.size() % readAnswer.size()];
            reads.push_back("receive byte");
            return 0;
        }
        if (t.kind == Kind::Quick) {
            probed.push_back(slave);
            return present.count(slave) ? 0 : -ENXIO;
        }
        if (sendErrno) return -sendErrno;
        std::vector<std::uint8_t> bytes{t.command};
        if (t.kind == Kind::ByteData) bytes.push_back(t.byte);
        if (t.kind == Kind::I2cBlock) bytes.insert(bytes.end(), t.block.begin(), t.block.end());
        record(t.kind == Kind::ByteData   ? "byte data"
               : t.kind == Kind::I2cBlock ? "block"
                                          : "smbus",
               bytes);
        return 0;
    }
    int chipInfo(int, port::GpioChipInfo& info) noexcept override {
        info = {gpioChip.label, gpioChip.lines ? gpioChip.lines : 8};
        return 0;
    }
    int requestOutputs(int, std::span<const std::uint32_t> lines, std::uint64_t) noexcept override {
        if (lineErrno) return -lineErrno;
        requested.assign(lines.begin(), lines.end());
        return 200;
    }
    int setValues(int, std::uint64_t, std::uint64_t bits) noexcept override {
        lineSets.push_back(bits);
        return 0;
    }
    void record(const char* how, const std::vector<std::uint8_t>& bytes) {
        sent.insert(sent.end(), bytes.begin(), bytes.end());
        i2cPaths.push_back(how);
        transactions.push_back(bytes);
    }
};

struct Layer {
    port::SimulatedClock clock;
    std::vector<port::Error> fatal;
    std::vector<port::Note> told;
    port::Fatal fatalPath{[this](const port::Error& e) { fatal.push_back(e); }};
    port::PortLayer layer;
    Layer(port::PortConfig config, port::Os& os)
        : layer(std::move(config), clock, clock, fatalPath, port::hardwareOpener(os), os) {
        layer.onNote([this](const port::Note& n) { told.push_back(n); });
    }
    port::Description device() const { return *layer.ports()[0].device; }
};

port::PortConfig withDevice(const std::string& setting) {
    port::PortConfig c;
    EXPECT_FALSE(port::parseDevice(setting, c.devices[0]).has_value());
    return c;
}

// What a failure must be: the problem, the backend's own code, its remedy.
struct Fault {
    port::Problem what;
    const char* backend = nullptr;
    std::uint8_t code = 0;
    std::uint8_t hint = 0;
};
template <class Code>
Fault own(const char* backend, Code code, std::uint8_t hint = 0) {
    return {port::Problem::Backend, backend, port::codeOf(code), hint};
}
Fault shared(port::Problem what, const char* backend = nullptr, std::uint8_t hint = 0) {
    return {what, backend, 0, hint};
}
void expectFault(const port::Error& e, const Fault& f) {
    EXPECT_EQ(e.what, f.what);
    EXPECT_STREQ(e.backend ? e.backend : "", f.backend ? f.backend : "");
    EXPECT_EQ(e.code, f.code);
    EXPECT_EQ(e.hint, f.hint);
}

namespace ppdev = port::ppdev;
namespace i2c = port::i2c;
namespace gpio = port::gpio;
using port::codeOf;

// Every device text goes to the one row whose form it has, and that row alone judges it.
TEST(BackendTable, EachRowClaimsAndParsesItsOwnDeviceTexts) {
    struct Case {
        const char* text;
        const char* row;  // null: no row claims it
        std::optional<Fault> refusal;
    };
    const Case cases[] = {
        {"/dev/parport0", "ppdev", {}},
        {"/dev/lp0", "ppdev", {}},  // a bare path: looked at before it is opened
        {"/dev/parport0@0x27", "ppdev", own("ppdev", ppdev::Problem::OptionsGiven)},
        {"/dev/i2c-1@0x27", "pcf8574", {}},
        {"/dev/i2c-1@0X3f", "pcf8574", {}},
        {"/dev/xyz0@0x27", "pcf8574", {}},  // an address: a bus of another form
        {"/dev/ttyS0@0x27", "serial", own("serial", port::serial::Problem::UnknownProtocol)},
        {"/dev/i2c-1@27", "pcf8574", own("pcf8574", i2c::Problem::BadAddress)},
        {"/dev/i2c-1@0x02", "pcf8574", own("pcf8574", i2c::Problem::BadAddress)},
        {"/dev/i2c-1@0x78", "pcf8574", own("pcf8574", i2c::Problem::BadAddress)},
        {"/dev/i2c-1", "pcf8574", own("pcf8574", i2c::Problem::AddressMissing)},
        {"/dev/i2c-1@0x27,mjkdz", "pcf8574", {}},
        {"/dev/i2c-1@auto,lcdxio,bl-high", "pcf8574", {}},
        {"/dev/i2c-1@0x20,mcp23008,map=1-234567", "mcp23008", {}},
        {"/dev/i2c-1@0x27,ywrobot", "pcf8574", own("pcf8574", i2c::Problem::BadOption)},
        {"/dev/i2c-1@0x20,mcp23008,mjkdz", "mcp23008", own("mcp23008", i2c::Problem::BadOption)},
        {"/dev/i2c-1@0x27,map=6547012", "pcf8574", own("pcf8574", i2c::Problem::PinMapLength)},
        {"/dev/i2c-1@0x27,map=65470128", "pcf8574", own("pcf8574", i2c::Problem::PinMapPin)},
        {"/dev/i2c-1@0x27,map=-5470123", "pcf8574", own("pcf8574", i2c::Problem::PinMapPin)},
        {"/dev/i2c-1@0x27,map=65470122", "pcf8574", own("pcf8574", i2c::Problem::PinMapTwice)},
        {"/dev/i2c-1@0x27,mjkdz,lcdxio", "pcf8574", own("pcf8574", i2c::Problem::TwoWirings)},
        {"/dev/gpiochip0@25,24,23,17,18,22", "gpio", {}},
        {"/dev/cpu_dma_latency@1,2,3,4,5,6", "gpio", {}},  // lines: a chip of another form
        {"/dev/gpiochip0@0,1,2,3,4,5,6,7,bl-high", "gpio", {}},
        {"/dev/gpiochip0@1,2,3,4,5,1024", "gpio", own("gpio", gpio::Problem::BadLine)},
        {"/dev/gpiochip0@1,2", "gpio", own("gpio", gpio::Problem::LineCount)},
        {"/dev/gpiochip0@25", "gpio", own("gpio", gpio::Problem::LineCount)},
        {"/dev/gpiochip0@", "gpio", own("gpio", gpio::Problem::LineCount)},
        {"/dev/gpiochip0@0,1,2,3,4,5,6,7,8", "gpio", own("gpio", gpio::Problem::LineCount)},
        {"/dev/gpiochip0@0,1,2,3,4,5,6,bl-low", "gpio", own("gpio", gpio::Problem::BadOption)},
        {"/dev/gpiochip0@0,1,2,3,4,5,6,6", "gpio", own("gpio", gpio::Problem::LineTwice)},
        {"/dev/gpiochip0", "gpio", own("gpio", gpio::Problem::LinesMissing)},
        {"/dev/foo@xyz", nullptr, shared(port::Problem::UnknownDevice)},
        {"@0x27", nullptr, shared(port::Problem::DevicePathMissing)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        port::PortDevice d;
        const auto e = port::parseDevice(c.text, d);
        EXPECT_STREQ(d.row ? d.row->key : nullptr, c.row);
        ASSERT_EQ(e.has_value(), c.refusal.has_value());
        if (e) expectFault(*e, *c.refusal);
    }
}

TEST(BackendTable, ParsedOptionsAreTheRowsOwn) {
    port::PortDevice i2cDevice, gpioDevice;
    ASSERT_FALSE(port::parseDevice("/dev/i2c-1@0x3F,mjkdz,bl-high", i2cDevice));
    const auto& wiring = i2cDevice.as<i2c::Options>().wiring;
    EXPECT_EQ(i2cDevice.as<i2c::Options>().address, 0x3F);
    EXPECT_EQ(wiring.pin, (std::array<std::int8_t, 8>{6, 4, 0, 1, 2, 3, 5, 7}));
    EXPECT_FALSE(wiring.backlightActiveLow);
    EXPECT_EQ(wiring.name, "mjkdz, bl-high");
    ASSERT_FALSE(port::parseDevice("/dev/gpiochip0@5,4,3,2,1,0,6,7,bl-low", gpioDevice));
    EXPECT_EQ(gpioDevice.as<gpio::Options>().lines,
              (std::vector<std::uint32_t>{5, 4, 3, 2, 1, 0, 6, 7}));
    EXPECT_TRUE(gpioDevice.as<gpio::Options>().backlightLow);
}

// The window makes every device text with the row's own schema: the options a settings
// line holds come back as the same text, a fresh pick starts on the row's defaults, and
// every text made is the row's own form again.
TEST(BackendTable, EachRowsSchemaMakesItsOwnDeviceTexts) {
    struct Case {
        const char* key;
        port::Candidate picked;
        const char* options;  // as a settings line has them; "" a fresh pick
        bool find;
        const char* text;
        const char* parsedBy = nullptr;  // the row the text is the form of, where another
    };
    const Case cases[] = {
        {"pcf8574", {"/dev/i2c-1", "", -1}, "0x3f,mjkdz", false, "/dev/i2c-1@0x3f,mjkdz"},
        {"pcf8574", {"/dev/i2c-1", "", -1}, "0x3f,mjkdz", true, "/dev/i2c-1@auto"},
        {"pcf8574",
         {"mcp2221:01", "", -1},
         "0x20,mcp23008",
         false,
         "mcp2221:01@0x20,mcp23008",
         "mcp23008"},
        {"pcf8574",
         {"/dev/i2c-1", "", -1},
         "0x27,map=65470123",
         false,
         "/dev/i2c-1@0x27,map=65470123"},
        {"pcf8574", {"/dev/i2c-1", "", -1}, "", false, "/dev/i2c-1@0x27"},
        {"gpio", {"/dev/gpiochip0", "", 58}, "", false, "/dev/gpiochip0@25,24,23,17,18,22"},
        {"gpio", {"/dev/gpiochip1", "", 8}, "", false, "/dev/gpiochip1@0,1,2,3,4,5"},
        {"gpio", {"/dev/gpiochip0", "", 58}, "5,6,7,8,9,10", false, "/dev/gpiochip0@5,6,7,8,9,10"},
        {"serial", {"/dev/ttyACM0", "", -1}, "", false, "/dev/ttyACM0@lcdserializer"},
        {"serial", {"COM3", "", -1}, "picanlcd", false, "COM3@picanlcd"},
        {"ppdev", {"/dev/parport0", "", 0x378}, "", false, "/dev/parport0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const port::BackendRow* row = nullptr;
        for (const port::BackendRow& r : port::backendTable())
            if (std::string_view(r.key) == c.key) row = &r;
        ASSERT_TRUE(row);
        const std::vector<std::string> values =
            row->options ? row->options->values(c.picked, c.options) : std::vector<std::string>{};
        EXPECT_EQ(port::deviceText(*row, c.picked, values, c.find), c.text);
        port::PortDevice device;
        EXPECT_FALSE(port::parseDevice(c.text, device));
        ASSERT_TRUE(device.row);
        EXPECT_EQ(std::string_view(device.row->key), c.parsedBy ? c.parsedBy : c.key);
    }
}

TEST(Parports, BaseAddressesAreDecimalAndNumberingIsNotByAddress) {
    FakeSys sys;
    sys.addParport(0, "53264\t53272");  // a PCI card at 0xd010
    sys.addParport(1, "888\t1912", "lp");
    sys.addParport(2, "632");
    const auto list = port::linux_backends::listParports(sys);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].base, 0xd010);
    EXPECT_EQ(list[1].base, 0x378);
    EXPECT_EQ(list[2].name, "parport2");
    EXPECT_EQ(list[2].base, 0x278);
}

TEST(Ppdev, AutoClaimsTheParportAtTheAddressAndWritesOneIoctlPerOut32) {
    FakeSys sys;
    sys.addParport(0, "53264");
    sys.addParport(1, "888");
    {
        Layer l(withBackend("auto"), sys);
        l.layer.Out32(0x378, 0x20);
        l.layer.Out32(0x378, 0x122);
        ASSERT_TRUE(l.fatal.empty());
        EXPECT_EQ(sys.written, (std::vector<std::uint8_t>{0x20, 0x22}));
        EXPECT_STREQ(l.device().backend, "ppdev");
        EXPECT_EQ(l.device().device, "/dev/parport1");
        EXPECT_EQ(l.layer.display(0x378)->lastPins(), (hd44780::Pins{false, true, 0x2}))
            << "the emulator mirrors the hardware";
    }
    EXPECT_EQ(sys.calls, (std::vector<std::string>{"open parport1", "claim", "release", "close"}));
}

TEST(Ppdev, AutoFallsBackToTheEmulatorOnlyWhereNoParportHasTheAddress) {
    FakeSys sys;
    sys.addParport(0, "53264");
    Layer l(withBackend("auto"), sys);
    l.layer.Out32(0x378, 1);
    l.layer.Out32(0x278, 1);
    EXPECT_TRUE(l.fatal.empty());
    EXPECT_TRUE(sys.calls.empty());
    const port::Note note = l.layer.ports()[0].note;
    EXPECT_STREQ(note.backend, "ppdev");
    EXPECT_EQ(note.address, 0x378);
    ASSERT_EQ(note.found.size(), 1u);
    EXPECT_EQ(note.found[0].device, "/dev/parport0");
    EXPECT_EQ(note.found[0].base, 0xd010);
    EXPECT_EQ(l.told.size(), 1u) << "said once";

    FakeSys none;
    Layer quiet(withBackend("auto"), none);
    quiet.layer.Out32(0x378, 1);
    EXPECT_TRUE(quiet.layer.ports()[0].note.empty());
    EXPECT_TRUE(quiet.told.empty());
}

TEST(Ppdev, FailuresNameTheDeviceTheErrorAndTheRemedy) {
    struct Case {
        const char* name;
        std::function<void(FakeSys&)> arrange;
        const char* kind;
        Fault fault;
        int err;
    };
    const std::vector<Case> cases = {
        {"no permission", [](FakeSys& s) { s.openErrno[s.dev(0)] = EACCES; }, "auto",
         shared(port::Problem::OpenFailed, "ppdev", codeOf(ppdev::Hint::JoinGroupLp)), EACCES},
        {"device node missing", [](FakeSys& s) { s.openErrno[s.dev(0)] = ENOENT; }, "auto",
         shared(port::Problem::OpenFailed, "ppdev", codeOf(ppdev::Hint::ParportGone)), ENOENT},
        {"registration refused", [](FakeSys& s) { s.claimErrno = ENXIO; }, "ppdev",
         own("ppdev", ppdev::Problem::ClaimFailed, codeOf(ppdev::Hint::ParportRefused)), ENXIO},
        {"busy", [](FakeSys& s) { s.claimErrno = EBUSY; }, "auto",
         own("ppdev", ppdev::Problem::ClaimFailed, codeOf(ppdev::Hint::ParportBusy)), EBUSY},
        {"held by lp", [](FakeSys& s) { s.addParport(0, "888", "lp"); }, "auto",
         own("ppdev", ppdev::Problem::ParportHeld), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        sys.addParport(0, "888");
        c.arrange(sys);
        Layer l(withBackend(c.kind), sys);
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        expectFault(l.fatal[0], c.fault);
        EXPECT_EQ(l.fatal[0].err, c.err);
        EXPECT_EQ(l.fatal[0].device, "/dev/parport0");
        EXPECT_TRUE(sys.written.empty());
        if (std::string(c.name) == "held by lp") {
            EXPECT_EQ(l.fatal[0].detail, "lp");
            EXPECT_EQ(std::count(sys.calls.begin(), sys.calls.end(), "claim"), 0)
                << "never blocks in PPCLAIM";
        }
    }
}

TEST(Ppdev, WriteFailureIsFatalWithItsErrno) {
    FakeSys sys;
    sys.addParport(0, "888");
    sys.failWritesAfter = 3;
    Layer l(withBackend("ppdev"), sys);
    for (int i = 0; i < 6; ++i) l.layer.Out32(0x378, static_cast<std::int16_t>(i));
    ASSERT_EQ(l.fatal.size(), 1u);
    expectFault(l.fatal[0], shared(port::Problem::WriteFailed, "ppdev"));
    EXPECT_EQ(l.fatal[0].err, ENODEV);
    EXPECT_EQ(l.fatal[0].description.device, "/dev/parport0");
    EXPECT_EQ(sys.written.size(), 3u);
}

TEST(Ppdev, ExplicitBackendWithoutAMatchingPortNamesTheAddress) {
    FakeSys sys;
    sys.addParport(0, "53264");
    Layer l(withBackend("ppdev"), sys);
    l.layer.Out32(0x278, 1);
    ASSERT_EQ(l.fatal.size(), 1u);
    expectFault(l.fatal[0],
                own("ppdev", ppdev::Problem::NoParportAt, codeOf(ppdev::Hint::ListParports)));
    EXPECT_EQ(l.fatal[0].address, 0x278);
    EXPECT_EQ(l.fatal[0].setting, "VELMORIN_LPT2");
}

TEST(Ppdev, ExplicitDeviceMappingWins) {
    FakeSys sys;
    sys.addParport(0, "888");
    sys.addParport(3, "53264");
    Layer l(withDevice(sys.dev(3)), sys);
    l.layer.Out32(0x378, 0x13);
    EXPECT_TRUE(l.fatal.empty());
    EXPECT_EQ(sys.calls[0], "open parport3");
    EXPECT_EQ(sys.written, std::vector<std::uint8_t>{0x13});
}

TEST(Ioport, OnlyStandardDataRegistersAreEverTouched) {
    for (std::int16_t bad : {0x3F8, 0x379, 0x80, 0x0, -1, 0x3BC}) {
        FakeSys sys;
        Layer l(withBackend("ioport"), sys);
        l.layer.Out32(bad, 1);
        EXPECT_EQ(l.fatal.size(), 1u);
        EXPECT_EQ(sys.portAccessCalls, 0);
        EXPECT_TRUE(sys.outbs.empty());
    }
    for (std::int16_t good : {0x378, 0x278}) {
        FakeSys sys;
        Layer l(withBackend("ioport"), sys);
        l.layer.Out32(good, 1);
        EXPECT_TRUE(l.fatal.empty());
        EXPECT_EQ(sys.portAccessCalls, 1);
    }
}

TEST(Ioport, RefusalsTellTheirCauseApart) {
    const std::pair<int, port::ioport::Problem> cases[] = {
        {EPERM, port::ioport::Problem::IopermRefused},
        {ENOSYS, port::ioport::Problem::IopermUnsupported},
    };
    for (const auto& [err, code] : cases) {
        FakeSys sys;
        sys.portAccessErrno = err;
        Layer l(withBackend("ioport"), sys);
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        expectFault(l.fatal[0], own("ioport", code));
        EXPECT_EQ(l.fatal[0].err, err);
    }
    FakeSys noIo;
    noIo.portIo = false;
    Layer l(withBackend("ioport"), noIo);
    l.layer.Out32(0x378, 1);
    ASSERT_EQ(l.fatal.size(), 1u);
    expectFault(l.fatal[0], own("ioport", port::ioport::Problem::Unavailable));
}

TEST(Ioport, WritesGoOutThroughOutb) {
    FakeSys sys;
    Layer l(withBackend("ioport"), sys);
    l.layer.Out32(0x278, 0x1A7);  // D2 carries no module line: it stays low
    ASSERT_TRUE(l.fatal.empty());
    ASSERT_EQ(sys.outbs.size(), 1u);
    EXPECT_EQ(sys.outbs[0], (std::pair<std::uint8_t, std::uint16_t>{0xA3, 0x278}));
}

// A device named in VELMORIN_LPT1 is checked before anything opens it, the opener checks
// the same way, and every error names the variable.
TEST(Devices, NamedDevicesAreCheckedBeforeTheyAreOpened) {
    struct Case {
        const char* name;
        std::function<std::string(FakeSys&)> arrange;  // returns VELMORIN_LPT1's value
        Fault fault;
    };
    const auto path = [](const char* p) { return [p](FakeSys&) { return std::string(p); }; };
    const std::vector<Case> cases = {
        {"typo", path("/dev/nonexistent"),
         shared(port::Problem::DeviceUnusable, "ppdev", codeOf(ppdev::Hint::GiveParportPath))},
        {"relative path", path("parport0"),
         shared(port::Problem::DeviceUnusable, "ppdev", codeOf(ppdev::Hint::GiveParportPath))},
        {"a tape drive", [](FakeSys& s) { return s.node("st0", 9); },
         own("ppdev", ppdev::Problem::NotPpdevDevice)},
        {"ppdev not loaded",
         [](FakeSys& s) {
             s.files["/proc/devices"] = {"Character devices:", "  1 mem"};
             return std::string("/dev/parport0");
         },
         shared(port::Problem::DeviceUnusable, "ppdev", codeOf(ppdev::Hint::LoadPpdev))},
        {"a watchdog named as an I2C bus",
         [](FakeSys& s) { return s.node("watchdog", 10) + "@0x27"; },
         own("pcf8574", i2c::Problem::NotI2cDevice)},
        {"a misc device named as a GPIO chip",
         [](FakeSys& s) { return s.node("cpu_dma_latency", 10) + "@1,2,3,4,5,6"; },
         own("gpio", gpio::Problem::NotGpioDevice)},
        {"i2c-dev not loaded", path("/dev/i2c-1@0x27"),
         shared(port::Problem::DeviceUnusable, "pcf8574", codeOf(i2c::Hint::LoadI2cDev))},
        {"a regular file",
         [](FakeSys& s) {
             s.nodes["/tmp/x"].regularFile = true;
             return std::string("/tmp/x");
         },
         shared(port::Problem::NotCharacterDevice, "ppdev")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        const port::PortConfig config = withDevice(c.arrange(sys));
        const auto error = port::checkDevices(config, sys);
        ASSERT_TRUE(error);
        expectFault(*error, c.fault);
        EXPECT_EQ(error->setting, "VELMORIN_LPT1");
        Layer l(config, sys);
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        expectFault(l.fatal[0], c.fault);
        EXPECT_TRUE(sys.calls.empty()) << "nothing was opened";
    }
}

using Bytes = std::vector<std::uint8_t>;
template <class T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// i2c-dev: the writes between two pauses go to the expander in as few transactions as
// the adapter offers, never one across a Sleep, never more than 32 bytes in an SMBus
// block. Each Out32 is one byte: RS and D4-D7 in place, E moved to P2, the backlight (P3)
// on; an MCP23008 takes IOCON 0x05 = 0x20 and IODIR 0x00 = 0x00, then each value after its
// GPIO register 0x09.
TEST(I2cDev, TransactionsAreWhatTheAdapterOffers) {
    // 0x31 0x33 0x31, Sleep, 0x21 0x23 0x21 and forty 0x00, then the program waits.
    const Bytes before{0x39, 0x3D, 0x39};
    const Bytes after = Bytes{0x29, 0x2D, 0x29} + Bytes(40, 0x08);
    const Bytes mcpBefore{0x09, 0x9A, 0x9E, 0x9A};
    const Bytes mcpAfter = Bytes{0x09, 0x92, 0x96, 0x92} + Bytes(28, 0x80);
    struct Case {
        const char* adapter;
        unsigned long funcs;
        const char* chip;  // "" or ",mcp23008"
        const char* how;
        std::vector<Bytes> transactions;
    };
    std::vector<Bytes> single;
    for (std::uint8_t b : before + after) single.push_back({b});
    std::vector<Bytes> byteData{{0x05, 0x20}, {0x00, 0x00}};
    for (std::uint8_t b : Bytes{0x9A, 0x9E, 0x9A, 0x92, 0x96, 0x92} + Bytes(40, 0x80))
        byteData.push_back({0x09, b});
    const unsigned long block = I2C_FUNC_SMBUS_WRITE_I2C_BLOCK | I2C_FUNC_SMBUS_WRITE_BYTE;
    const Case cases[] = {
        {"plain I2C (Raspberry Pi)",
         I2C_FUNC_I2C | I2C_FUNC_SMBUS_WRITE_BYTE,
         "",
         "write",
         {before, after}},
        {"I2C block (ICH9)",
         block,
         "",
         "block",
         {before, Bytes{0x29, 0x2D, 0x29} + Bytes(29, 0x08), Bytes(11, 0x08)}},
        {"send byte only (PIIX4)", I2C_FUNC_SMBUS_WRITE_BYTE, "", "smbus", single},
        {"no SMBus at all", 0, "", "write", single},
        {"MCP23008, I2C block", block | I2C_FUNC_SMBUS_WRITE_BYTE_DATA, ",mcp23008", "block",
         std::vector<Bytes>{
             {0x05, 0x20}, {0x00, 0x00}, mcpBefore, mcpAfter, Bytes{0x09} + Bytes(12, 0x80)}},
        {"MCP23008, byte data only", I2C_FUNC_SMBUS_WRITE_BYTE_DATA, ",mcp23008", "byte data",
         byteData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.adapter);
        FakeSys sys;
        sys.i2cFuncs = c.funcs;
        sys.present = {0x27};
        Layer l(withDevice(sys.node("i2c-1", 89) + "@0x27" + c.chip), sys);
        for (std::int16_t v : {0x31, 0x33, 0x31}) l.layer.Out32(0x378, v);
        l.layer.Sleep(1);
        for (std::int16_t v : {0x21, 0x23, 0x21}) l.layer.Out32(0x378, v);
        for (int i = 0; i < 40; ++i) l.layer.Out32(0x378, 0x00);
        l.layer.flush();
        ASSERT_TRUE(l.fatal.empty());
        EXPECT_EQ(sys.transactions, c.transactions);
        const std::size_t setUp = *c.chip ? 2 : 0;
        EXPECT_EQ(std::vector<std::string>(sys.i2cPaths.begin() + static_cast<long>(setUp),
                                           sys.i2cPaths.end()),
                  std::vector<std::string>(c.transactions.size() - setUp, c.how));
        EXPECT_EQ(sys.slave, 0x27);
    }
}

// A read is one I2C transfer where the adapter is plain I2C, receive bytes where it is
// SMBus-only, refused where it has neither; the timeout goes in tens of milliseconds.
TEST(I2cDev, ReadsAndTheTimeoutAreWhatTheAdapterOffers) {
    struct Case {
        const char* adapter;
        unsigned long funcs;
        std::uint8_t address;
        int err;
        std::vector<std::string> reads;
        Bytes bytes;
    };
    const Case cases[] = {
        {"plain I2C", I2C_FUNC_I2C, 0x27, 0, {"rdwr 2"}, {0xA5, 0x3C}},
        {"receive byte (PIIX4)",
         I2C_FUNC_SMBUS_READ_BYTE,
         0x27,
         0,
         {"receive byte", "receive byte"},
         {0xA5, 0x3C}},
        {"nothing there", I2C_FUNC_I2C, 0x3F, ENXIO, {}, {0, 0}},
        {"write-only SMBus", I2C_FUNC_SMBUS_WRITE_BYTE, 0x27, EOPNOTSUPP, {}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.adapter);
        FakeSys sys;
        sys.i2cFuncs = c.funcs;
        sys.readAnswer = {0xA5, 0x3C};
        std::optional<port::Error> error;
        auto bus = port::i2c::openI2cDev(sys.node("i2c-1", 89), sys, error);
        ASSERT_TRUE(bus);
        bus->setTimeoutMs(45);
        Bytes got(2, 0);
        EXPECT_EQ(bus->read(c.address, got), c.err);
        EXPECT_EQ(sys.reads, c.reads);
        EXPECT_EQ(got, c.bytes);
        EXPECT_EQ(sys.timeouts, std::vector<unsigned long>{5});
    }
}

TEST(I2cDev, OpenFailuresSayWhatToDo) {
    struct Case {
        const char* name;
        std::function<void(FakeSys&)> arrange;
        Fault fault;
    };
    const std::vector<Case> cases = {
        {"permission", [](FakeSys& s) { s.openErrno["/dev/i2c-1"] = EACCES; },
         shared(port::Problem::OpenFailed, "pcf8574", codeOf(i2c::Hint::JoinGroupI2c))},
        {"address taken", [](FakeSys& s) { s.slaveErrno = EBUSY; },
         own("pcf8574", i2c::Problem::AddressRefused, codeOf(i2c::Hint::AddressBusy))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        const auto config = withDevice(sys.node("i2c-1", 89) + "@0x27");
        c.arrange(sys);
        Layer l(config, sys);
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        expectFault(l.fatal[0], c.fault);
        EXPECT_TRUE(sys.sent.empty());
    }
}

// An expander over a recording bus: its backend, as the layer would drive it.
struct Expander {
    testsupport::RecordingI2cBus::Log log;
    testsupport::RecordingI2cBus* bus;
    testsupport::FakeOs time;
    port::OpenResult opened;
    Expander(const std::string& options,
             std::function<void(testsupport::RecordingI2cBus&)> arrange = {},
             std::size_t max = 4096) {
        port::PortDevice d;
        EXPECT_FALSE(port::parseDevice("/dev/i2c-1@" + options, d));
        auto b = std::make_unique<testsupport::RecordingI2cBus>(log, max);
        bus = b.get();
        if (arrange) arrange(*b);
        const auto& chip =
            std::string_view(d.row->key) == "mcp23008" ? i2c::kMcp23008Chip : i2c::kPcf8574Chip;
        opened = i2c::openOn(chip, d, std::move(b), time);
        port::own(*d.row, opened);
    }
    int out(std::uint8_t byte) { return opened.backend->write(port::kParallelCable.pins(byte)); }
};

// The byte each board gets for RS, E, D4 and D7 alone, then nothing: worked out by hand
// from the boards' wiring (RS, R/W, E, backlight, D4-D7 on expander pins) and polarity.
TEST(I2c, EachWiringPutsTheLinesOnItsOwnPins) {
    struct Case {
        const char* options;
        Bytes bytes;  // RS, E, D4, D7, none
        const char* wiring;
    };
    const Case cases[] = {
        // P0 RS, P2 E, P4-P7 D4-D7, P3 backlight on when high.
        {"0x27", {0x09, 0x0C, 0x18, 0x88, 0x08}, ""},
        {"0x27,lcm1602", {0x01, 0x04, 0x10, 0x80, 0x00}, "lcm1602"},
        // P6 RS, P4 E, P0-P3 D4-D7, P7 backlight on when low.
        {"0x27,mjkdz", {0x40, 0x10, 0x01, 0x08, 0x00}, "mjkdz"},
        // P4 RS, P6 E, P0-P3 D4-D7, P7 backlight on when low.
        {"0x27,LCDXIO", {0x10, 0x40, 0x01, 0x08, 0x00}, "lcdxio"},
        {"0x27,map=65470123", {0xC0, 0x90, 0x81, 0x88, 0x80}, "map=65470123"},
        {"0x27,map=012-4567", {0x01, 0x04, 0x10, 0x80, 0x00}, "map=012-4567"},
        {"0x27,mjkdz,bl-high", {0xC0, 0x90, 0x81, 0x88, 0x80}, "mjkdz, bl-high"},
        {"0x27,bl-low", {0x01, 0x04, 0x10, 0x80, 0x00}, "bl-low"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        Expander x(c.options);
        ASSERT_TRUE(x.opened.backend);
        for (std::uint8_t v : {0x01, 0x02, 0x10, 0x80, 0x00}) ASSERT_EQ(x.out(v), 0);
        ASSERT_EQ(x.opened.backend->flush(), 0);
        ASSERT_EQ(x.log.transactions.size(), 1u);
        EXPECT_EQ(x.log.transactions[0].address, 0x27);
        EXPECT_EQ(x.log.transactions[0].bytes, c.bytes);
        EXPECT_EQ(x.opened.backend->description().options, c.wiring);
    }
}

// Adafruit's MCP23008 board: GP1 RS, GP2 E, GP3-GP6 D4-D7, GP7 backlight on when high;
// byte mode and every pin an output first, then every value after the GPIO register,
// as many as the bus takes in one transaction.
TEST(I2c, TheMcp23008TakesEachByteInItsGpioRegister) {
    Expander x(
        "0x20,mcp23008", [](auto& b) { b.present = {0x20}; }, 4);
    ASSERT_TRUE(x.opened.backend);
    for (std::uint8_t v : {0x01, 0x02, 0x10, 0x80, 0x00}) ASSERT_EQ(x.out(v), 0);
    ASSERT_EQ(x.opened.backend->flush(), 0);
    std::vector<Bytes> sent;
    for (const auto& t : x.log.transactions) sent.push_back(t.bytes);
    EXPECT_EQ(sent, (std::vector<Bytes>{
                        {0x05, 0x20}, {0x00, 0x00}, {0x09, 0x82, 0x84, 0x88}, {0x09, 0xC0, 0x80}}));
}

// An adapter that refuses writes over 61 bytes, saying nothing of it beforehand: the
// queue goes again in halves, nothing lost or doubled, and the size that passed is kept.
TEST(I2c, AWriteTooLongForTheAdapterGoesInPieces) {
    struct Case {
        const char* options;
        std::uint8_t address;
        std::vector<std::size_t> sizes;  // each transaction's length, set-up aside
    };
    const Case cases[] = {
        {"0x27", 0x27, {50, 50, 50, 50}},
        {"0x20,mcp23008", 0x20, {51, 51, 51, 51}},  // 0x09 and 50 values each
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        testsupport::RecordingI2cBus* bus = nullptr;
        Expander x(c.options, [&](auto& b) {
            b.present = {c.address};
            b.refuseOver = 61;
            bus = &b;
        });
        ASSERT_TRUE(x.opened.backend);
        const std::size_t setUp = x.log.transactions.size();
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 100; ++i) x.out(static_cast<std::uint8_t>(i & 0x80 ? 0x10 : 0x00));
            ASSERT_EQ(x.opened.backend->flush(), 0);
        }
        std::vector<std::size_t> sizes;
        for (std::size_t t = setUp; t < x.log.transactions.size(); ++t)
            sizes.push_back(x.log.transactions[t].bytes.size());
        EXPECT_EQ(sizes, c.sizes);
        EXPECT_EQ(bus->refused, 1) << "the limit is found once";
    }
}

// @auto probes the expanders' ranges only, and takes the one that answers.
TEST(I2c, AutoFindsTheOneExpanderThatAnswers) {
    struct Case {
        std::set<std::uint8_t> present;
        std::optional<int> found;
        std::optional<i2c::Problem> refusal;
        const char* addresses;
    };
    const Case cases[] = {
        {{0x27}, 0x27, {}, ""},
        {{0x3F, 0x50}, 0x3F, {}, ""},
        {{}, {}, i2c::Problem::NoneFound, ""},
        {{0x20, 0x27}, {}, i2c::Problem::ManyFound, "0x20, 0x27"},
    };
    for (const Case& c : cases) {
        Expander x("auto,mjkdz", [&](auto& b) { b.present = c.present; });
        Bytes expected;
        for (int a = 0x20; a <= 0x27; ++a) expected.push_back(static_cast<std::uint8_t>(a));
        for (int a = 0x38; a <= 0x3F; ++a) expected.push_back(static_cast<std::uint8_t>(a));
        EXPECT_EQ(x.log.probed, expected);
        if (c.found) {
            ASSERT_TRUE(x.opened.backend);
            EXPECT_EQ(x.opened.backend->description().detail, port::hexByte(*c.found));
            EXPECT_TRUE(x.opened.backend->description().found);
        } else {
            ASSERT_TRUE(x.opened.error);
            expectFault(*x.opened.error, own("pcf8574", *c.refusal));
            EXPECT_EQ(x.opened.error->detail, c.addresses);
        }
    }
}

// A bus that takes nothing: before the expander has ever answered, the remedy is that
// nothing is at the address; a set-up that fails is fatal before the first write.
TEST(I2c, AnExpanderThatNeverAnswersSaysSo) {
    Expander pcf("0x27", [](auto& b) { b.present = {}; });
    ASSERT_TRUE(pcf.opened.backend);
    pcf.out(0x01);
    const int err = pcf.opened.backend->flush();
    EXPECT_EQ(err, ENXIO);
    EXPECT_EQ(pcf.opened.backend->failureHint(err), codeOf(i2c::Hint::NoAnswer));
    EXPECT_EQ(pcf.opened.backend->failureHint(ETIMEDOUT), codeOf(i2c::Hint::NoAnswer))
        << "hid-cp2112's NACK";

    Expander mcp("0x20,mcp23008", [](auto& b) { b.present = {}; });
    ASSERT_TRUE(mcp.opened.error);
    expectFault(*mcp.opened.error,
                shared(port::Problem::WriteFailed, "mcp23008", codeOf(i2c::Hint::NoAnswer)));
    EXPECT_EQ(mcp.opened.error->description.detail, "0x20");
    EXPECT_TRUE(mcp.log.transactions.empty());
}

// A queue that fails to go out is fatal at the flush; the mirror has already shown it, the
// module never did.
TEST(I2c, AFailedFlushIsFatal) {
    FakeSys sys;
    sys.i2cFuncs = I2C_FUNC_I2C;
    Layer l(withDevice(sys.node("i2c-1", 89) + "@0x27"), sys);
    l.layer.Out32(0x378, 0x31);
    l.layer.Sleep(1);
    l.layer.Out32(0x378, 0x33);
    sys.sendErrno = EIO;
    EXPECT_TRUE(l.fatal.empty());
    l.layer.Sleep(1);
    ASSERT_EQ(l.fatal.size(), 1u);
    expectFault(l.fatal[0], shared(port::Problem::WriteFailed, "pcf8574"));
    EXPECT_EQ(l.fatal[0].description.device, "/dev/i2c-1");
    EXPECT_EQ(sys.transactions, std::vector<Bytes>{{0x39}});
}

// A bridge named as itself is found in sysfs, whatever bus number the kernel gave it; a
// plain /dev/i2c-N on a bridge is named as the bridge too.
TEST(UsbBridges, NamedByTheirOwnNamesAndSerialNumbers) {
    struct Case {
        const char* text;
        int cp2112s;         // attached, serial numbers 0001, 0002 ...
        const char* device;  // the panel's device, or ""
        std::optional<i2c::BridgeProblem> refusal;
        const char* detail = "";
    };
    const Case cases[] = {
        {"cp2112@0x27", 1, "CP2112 0001", {}},
        {"CP2112:0001@0x27", 1, "CP2112 0001", {}},
        {"/dev/i2c-1@0x27", 1, "CP2112 0001", {}},
        {"cp2112:0002@0x27", 2, "CP2112 0002", {}},
        {"cp2112:0009@0x27", 1, "", i2c::BridgeProblem::NoBridge, "CP2112 0001"},
        {"mcp2221@0x27", 1, "", i2c::BridgeProblem::NoBridge, "CP2112 0001"},
        {"cp2112@0x27", 2, "", i2c::BridgeProblem::ManyBridges, "CP2112 0001, CP2112 0002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FakeSys sys;
        // i2c-0, the PC's SMBus, under no HID device; i2c-1 ... under each bridge.
        sys.files["/sys/bus/i2c/devices/i2c-0/../uevent"] = {"DRIVER=piix4_smbus"};
        sys.node("i2c-0", 89);
        for (int i = 1; i <= c.cp2112s; ++i) {
            const std::string n = std::to_string(i);
            sys.files["/sys/bus/i2c/devices/i2c-" + n + "/../uevent"] = {
                "DRIVER=cp2112", "HID_ID=0003:000010C4:0000EA90", "HID_UNIQ=000" + n};
            sys.node("i2c-" + n, 89);
        }
        port::PortConfig config;
        ASSERT_FALSE(port::parseDevice(c.text, config.devices[0]));
        EXPECT_STREQ(config.devices[0].row->key, "pcf8574");
        Layer l(config, sys);
        l.layer.Out32(0x378, 1);
        if (c.refusal) {
            ASSERT_EQ(l.fatal.size(), 1u);
            expectFault(l.fatal[0], own("usb-i2c", *c.refusal));
            EXPECT_EQ(l.fatal[0].detail, c.detail);
            continue;
        }
        ASSERT_TRUE(l.fatal.empty());
        EXPECT_EQ(l.device().device, c.device);
        EXPECT_EQ(l.device().via, std::string("/dev/i2c-") + c.device[10]);
    }
}

// hid-cp2112 keeps a hidraw node beside its adapter: the bridge is reached through the
// driver's adapter alone, never as a second bridge through HID.
TEST(UsbBridges, AKernelDriversHidrawNodeIsNotASecondBridge) {
    FakeSys sys;
    sys.files["/sys/bus/i2c/devices/i2c-1/../uevent"] = {"HID_ID=0003:000010C4:0000EA90",
                                                         "HID_UNIQ=0001"};
    sys.files["/sys/bus/i2c/devices/i2c-1/../hidraw/hidraw0/dev"] = {"243:0"};
    sys.node("i2c-1", 89);
    testsupport::HidModel model;
    testsupport::FakeHid hid;
    hid.attached.push_back({{"/dev/hidraw0", 0x10C4, 0xEA90, "0001"}, &model});
    hid.attached.push_back({{"/dev/hidraw1", 0x04D8, 0x00DD, "0123456"}, &model});
    sys.hid = &hid;
    Layer l(withDevice("cp2112@0x27"), sys);
    l.layer.Out32(0x378, 1);
    ASSERT_TRUE(l.fatal.empty());
    EXPECT_EQ(l.device().via, "/dev/i2c-1");
    EXPECT_TRUE(model.sent.empty());
}

TEST(Gpio, RwAndBacklightLinesAreHeldWhateverIsSent) {
    struct Case {
        const char* lines;
        std::vector<std::uint64_t> sets;  // for 0x00, 0x12, 0x81
    };
    const Case cases[] = {
        {"0,1,2,3,4,5,6,7", {0x80, 0x86, 0xA1}},         // R/W (bit 6) low, backlight on
        {"0,1,2,3,4,5,6,7,bl-low", {0x00, 0x06, 0x21}},  // backlight on when low
        {"0,1,2,3,4,5,6", {0x00, 0x06, 0x21}},           // R/W only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        FakeSys sys;
        Layer l(withDevice(sys.node("gpiochip0", 254) + "@" + c.lines), sys);
        for (std::int16_t v : {0x00, 0x12, 0x81}) l.layer.Out32(0x378, v);
        ASSERT_TRUE(l.fatal.empty());
        EXPECT_EQ(sys.lineSets, c.sets);
    }
}

TEST(Gpio, EachOut32SetsTheSixLinesOnce) {
    FakeSys sys;
    Layer l(withDevice(sys.node("gpiochip0", 254) + "@5,4,3,2,1,0"), sys);
    for (std::int16_t v : {0x00, 0x12, 0x81}) l.layer.Out32(0x378, v);
    ASSERT_TRUE(l.fatal.empty());
    EXPECT_EQ(sys.requested, (std::vector<std::uint32_t>{5, 4, 3, 2, 1, 0}));
    // Bit i of a set is the i-th requested line: RS, E, D4, D5, D6, D7.
    EXPECT_EQ(sys.lineSets, (std::vector<std::uint64_t>{0x00, 0x06, 0x21}));
    EXPECT_EQ(l.device().detail, "5,4,3,2,1,0");
}

TEST(Gpio, FailuresSayWhatToDo) {
    struct Case {
        const char* name;
        const char* at;
        std::function<void(FakeSys&)> arrange;
        Fault fault;
    };
    const std::vector<Case> cases = {
        {"line missing", "0,1,2,3,4,9", [](FakeSys&) {}, own("gpio", gpio::Problem::LineMissing)},
        {"lines held", "0,1,2,3,4,5", [](FakeSys& s) { s.lineErrno = EBUSY; },
         own("gpio", gpio::Problem::LinesRefused, codeOf(gpio::Hint::LinesHeld))},
        {"permission", "0,1,2,3,4,5", [](FakeSys& s) { s.openErrno["/dev/gpiochip0"] = EACCES; },
         shared(port::Problem::OpenFailed, "gpio", codeOf(gpio::Hint::JoinGroupGpio))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        const auto config = withDevice(sys.node("gpiochip0", 254) + "@" + c.at);
        c.arrange(sys);
        Layer l(config, sys);
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        expectFault(l.fatal[0], c.fault);
        EXPECT_TRUE(sys.lineSets.empty());
    }
}

}  // namespace

// What each row lists for a system, found without a word on any bus: "row: device | name |
// number", in table order.
TEST(Candidates, EachRowListsWhatIsAttached) {
    struct Case {
        const char* system;
        std::function<void(FakeSys&, testsupport::FakeHid&)> build;
        std::vector<std::string> listed;
    };
    const Case cases[] = {
        {"no hardware", [](FakeSys&, testsupport::FakeHid&) {}, {}},
        {"two parports",
         [](FakeSys& s, testsupport::FakeHid&) {
             s.addParport(1, "632\t1656");
             s.addParport(0, "888\t1912");
         },
         {"ppdev: /dev/parport0 |  | 888", "ppdev: /dev/parport1 |  | 632"}},
        {"a Pi's I2C bus and a USB bridge's, its adapter named as the bridge",
         [](FakeSys& s, testsupport::FakeHid&) {
             s.files["/sys/bus/i2c/devices/i2c-1/name"] = {"bcm2835 (i2c@7e804000)"};
             s.files["/sys/bus/i2c/devices/i2c-10/name"] = {"bcm2835 (i2c@7e805000)"};
             s.files["/sys/bus/i2c/devices/i2c-3/../uevent"] = {"HID_ID=0003:000004D8:000000DD",
                                                                "HID_UNIQ=0123456"};
             s.files["/sys/bus/i2c/devices/i2c-3/name"] = {"MCP2221 usb-i2c bridge"};
         },
         {"pcf8574: /dev/i2c-1 | bcm2835 (i2c@7e804000) | -1",
          "pcf8574: /dev/i2c-10 | bcm2835 (i2c@7e805000) | -1",
          "pcf8574: mcp2221:0123456 | MCP2221A 0123456 | -1"}},
        {"a CP2112 its driver holds, whose hidraw node is not a second bridge; one over HID",
         [](FakeSys& s, testsupport::FakeHid& hid) {
             s.files["/sys/bus/i2c/devices/i2c-2/../uevent"] = {"HID_ID=0003:000010C4:0000EA90",
                                                                "HID_UNIQ=0001"};
             s.files["/sys/bus/i2c/devices/i2c-2/../hidraw/hidraw0/dev"] = {"243:0"};
             hid.attached.push_back({{"/dev/hidraw0", 0x10C4, 0xEA90, "0001"}, nullptr});
             hid.attached.push_back({{"/dev/hidraw1", 0x04D8, 0x00DD, ""}, nullptr});
         },
         {"pcf8574: cp2112:0001 | CP2112 0001 | -1", "pcf8574: mcp2221 | MCP2221A | -1"}},
        {"a GPIO chip and an Arduino; ttyS0 is not listed",
         [](FakeSys& s, testsupport::FakeHid&) {
             s.files["/sys/bus/gpio/devices/gpiochip0/dev"] = {"254:0"};
             s.node("gpiochip0", 254);
             s.gpioChip = {"pinctrl-bcm2711", 58};
             s.files["/sys/class/tty/ttyS0/dev"] = {"4:64"};
             s.files["/sys/class/tty/ttyACM0/dev"] = {"166:0"};
             s.texts["/sys/class/tty/ttyACM0/device/../product"] = "Arduino Uno\n";
             s.files["/sys/class/tty/ttyUSB0/dev"] = {"188:0"};
         },
         {"gpio: /dev/gpiochip0 | pinctrl-bcm2711 | 58", "serial: /dev/ttyACM0 | Arduino Uno | -1",
          "serial: /dev/ttyUSB0 |  | -1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        FakeSys sys;
        testsupport::FakeHid hid;
        sys.hid = &hid;
        c.build(sys, hid);
        std::vector<std::string> listed;
        for (const port::BackendRow& row : port::backendTable())
            if (row.candidates)
                for (const port::Candidate& k : row.candidates(sys))
                    listed.push_back(std::string(row.key) + ": " + k.device + " | " + k.name +
                                     " | " + std::to_string(k.number));
        EXPECT_EQ(listed, c.listed);
        // Nothing was opened but to read a chip's info.
        for (const std::string& call : sys.calls)
            EXPECT_TRUE(!call.starts_with("open ") || call == "open gpiochip0") << call;
    }
}
