#include <gtest/gtest.h>
#include <linux/gpio.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <linux/ppdev.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "fake_os.h"
#include "port/linux/backends.h"
#include "port/opener.h"
#include "port/port_layer.h"
#include "ui/messages.h"

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

    FakeSys() {
        onWrite = [this](int, const void* data, std::size_t n) -> long {
            if (sendErrno) return -sendErrno;
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            record("write", {bytes, bytes + n});
            return static_cast<long>(n);
        };
        onIoctl = [this](int, unsigned long request, void* arg) {
            if (request == PPCLAIM) {
                calls.push_back("claim");
                return -claimErrno;
            } else if (request == PPRELEASE) {
                calls.push_back("release");
            } else if (request == I2C_FUNCS) {
                *static_cast<unsigned long*>(arg) = i2cFuncs;
            } else if (request == I2C_SLAVE) {
                slave = static_cast<int>(reinterpret_cast<std::uintptr_t>(arg));
                return -slaveErrno;
            } else if (request == I2C_SMBUS) {
                const auto* a = static_cast<i2c_smbus_ioctl_data*>(arg);
                if (a->size == I2C_SMBUS_QUICK) {
                    probed.push_back(slave);
                    return present.count(slave) ? 0 : -ENXIO;
                }
                if (sendErrno) return -sendErrno;
                std::vector<std::uint8_t> bytes{a->command};
                if (a->size == I2C_SMBUS_BYTE_DATA) bytes.push_back(a->data->byte);
                if (a->size == I2C_SMBUS_I2C_BLOCK_DATA)
                    bytes.insert(bytes.end(), a->data->block + 1,
                                 a->data->block + 1 + a->data->block[0]);
                record(a->size == I2C_SMBUS_BYTE_DATA        ? "byte data"
                       : a->size == I2C_SMBUS_I2C_BLOCK_DATA ? "block"
                                                             : "smbus",
                       bytes);
            } else if (request == GPIO_GET_CHIPINFO_IOCTL) {
                static_cast<gpiochip_info*>(arg)->lines = 8;
            } else if (request == GPIO_V2_GET_LINE_IOCTL) {
                if (lineErrno) return -lineErrno;
                auto* req = static_cast<gpio_v2_line_request*>(arg);
                requested.assign(req->offsets, req->offsets + req->num_lines);
                req->fd = 200;
            } else if (request == GPIO_V2_LINE_SET_VALUES_IOCTL) {
                lineSets.push_back(static_cast<gpio_v2_line_values*>(arg)->bits);
            } else if (request == PPWDATA) {
                if (failWritesAfter >= 0 && static_cast<int>(written.size()) >= failWritesAfter)
                    return -ENODEV;
                written.push_back(*static_cast<std::uint8_t*>(arg));
            }
            return 0;
        };
    }
    void record(const char* how, const std::vector<std::uint8_t>& bytes) {
        sent.insert(sent.end(), bytes.begin(), bytes.end());
        i2cPaths.push_back(how);
        transactions.push_back(bytes);
    }
};

struct Layer {
    port::SimulatedClock clock;
    std::vector<std::string> fatal;
    std::vector<std::string> told;
    port::Fatal fatalPath{[this](const port::Error& e) { fatal.push_back(ui::sentence(e)); }};
    port::PortLayer layer;
    Layer(port::PortConfig config, port::Os& os)
        : layer(std::move(config), clock, clock, fatalPath, port::hardwareOpener(os), os) {
        layer.onNote([this](const port::Note& n) { told.push_back(ui::toldNote(n)); });
    }
};

port::PortConfig withDevice(const std::string& setting) {
    port::PortConfig c;
    EXPECT_FALSE(port::parseDevice(setting, c.devices[0]).has_value());
    return c;
}

// Every device text goes to the one row whose form it has, and that row alone judges it.
TEST(BackendTable, EachRowClaimsAndParsesItsOwnDeviceTexts) {
    struct Case {
        const char* text;
        const char* row;
        const char* refusal;  // null: parses
    };
    const Case cases[] = {
        {"/dev/parport0", "ppdev", nullptr},
        {"/dev/i2c-1@0x27", "pcf8574", nullptr},
        {"/dev/i2c-1@0X3f", "pcf8574", nullptr},
        {"/dev/i2c-1@27", "pcf8574", "0x03 à 0x77"},
        {"/dev/i2c-1@0x02", "pcf8574", "0x03 à 0x77"},
        {"/dev/gpiochip0@25,24,23,17,18,22", "gpio", nullptr},
        {"/dev/gpiochip0@1,2,3,4,5,1024", "gpio", "« 1024 »"},
        {"/dev/gpiochip0@1,2", "gpio", "2 donnés"},
        {"/dev/i2c-1", "pcf8574", "/dev/i2c-1@0x27"},
        {"/dev/i2c-1@0x27,mjkdz", "pcf8574", nullptr},
        {"/dev/i2c-1@auto,lcdxio,bl-high", "pcf8574", nullptr},
        {"/dev/i2c-1@0x20,mcp23008,map=1-234567", "mcp23008", nullptr},
        {"/dev/i2c-1@0x27,ywrobot", "pcf8574", "lcm1602, mjkdz, lcdxio"},
        {"/dev/i2c-1@0x20,mcp23008,mjkdz", "mcp23008", "« mjkdz » inconnue"},
        {"/dev/i2c-1@0x27,map=6547012", "pcf8574", "huit broches"},
        {"/dev/i2c-1@0x27,map=65470128", "pcf8574", "de 0 à 7"},
        {"/dev/i2c-1@0x27,map=-5470123", "pcf8574", "de 0 à 7"},
        {"/dev/i2c-1@0x27,map=65470122", "pcf8574", "deux fois"},
        {"/dev/i2c-1@0x27,mjkdz,lcdxio", "pcf8574", "deux câblages"},
        {"/dev/gpiochip0@0,1,2,3,4,5,6,7,8", "gpio", "9 donnés"},
        {"/dev/gpiochip0@0,1,2,3,4,5,6,bl-low", "gpio", "huitième"},
        {"/dev/gpiochip0@0,1,2,3,4,5,6,6", "gpio", "deux fois"},
        {"/dev/gpiochip0", "gpio", "six lignes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        port::PortDevice d;
        const auto e = port::parseDevice(c.text, d);
        ASSERT_NE(d.row, nullptr);
        EXPECT_STREQ(d.row->key, c.row);
        EXPECT_EQ(e.has_value(), c.refusal != nullptr);
        if (e && c.refusal) {
            EXPECT_NE(ui::sentence(*e).find(c.refusal), std::string::npos);
        }
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
        ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
        EXPECT_EQ(sys.written, (std::vector<std::uint8_t>{0x20, 0x22}));
        EXPECT_EQ(ui::panelName(*l.layer.ports()[0].device), sys.dev(1) + " (ppdev)");
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
    EXPECT_EQ(ui::panelNote(l.layer.ports()[0].note),
              "aucun port à 0x378 ; " + sys.dev(0) + " est à 0xd010");
    ASSERT_EQ(l.told.size(), 1u) << "said once";
    EXPECT_NE(l.told[0].find("0xd010"), std::string::npos);

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
        std::vector<const char*> mentions;
    };
    const std::vector<Case> cases = {
        {"no permission",
         [](FakeSys& s) { s.openErrno[s.dev(0)] = EACCES; },
         "auto",
         {"parport0", "permission refusée", "groupe lp", "VELMORIN_LPT=emulator"}},
        {"device node missing",
         [](FakeSys& s) { s.openErrno[s.dev(0)] = ENOENT; },
         "auto",
         {"parport0", "fichier ou dossier introuvable", "n'existe plus"}},
        {"registration refused",
         [](FakeSys& s) { s.claimErrno = ENXIO; },
         "ppdev",
         {"PPCLAIM", "parport0", "enregistrement"}},
        {"busy", [](FakeSys& s) { s.claimErrno = EBUSY; }, "auto", {"parport0", "occupé"}},
        {"held by lp",
         [](FakeSys& s) { s.addParport(0, "888", "lp"); },
         "auto",
         {"parport0", "« lp »", "rmmod lp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        sys.addParport(0, "888");
        c.arrange(sys);
        Layer l(withBackend(c.kind), sys);
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        for (const char* m : c.mentions)
            EXPECT_NE(l.fatal[0].find(m), std::string::npos) << l.fatal[0];
        EXPECT_TRUE(sys.written.empty());
        if (std::string(c.name) == "held by lp") {
            EXPECT_EQ(std::count(sys.calls.begin(), sys.calls.end(), "claim"), 0)
                << "never blocks in PPCLAIM";
        }
    }
}

TEST(Ppdev, WriteFailureIsFatalWithTheErrnoText) {
    FakeSys sys;
    sys.addParport(0, "888");
    sys.failWritesAfter = 3;
    Layer l(withBackend("ppdev"), sys);
    for (int i = 0; i < 6; ++i) l.layer.Out32(0x378, static_cast<std::int16_t>(i));
    ASSERT_EQ(l.fatal.size(), 1u);
    EXPECT_NE(l.fatal[0].find("aucun périphérique de ce type"), std::string::npos) << l.fatal[0];
    EXPECT_EQ(sys.written.size(), 3u);
}

TEST(Ppdev, ExplicitBackendWithoutAMatchingPortNamesTheAddress) {
    FakeSys sys;
    sys.addParport(0, "53264");
    Layer l(withBackend("ppdev"), sys);
    l.layer.Out32(0x278, 1);
    ASSERT_EQ(l.fatal.size(), 1u);
    EXPECT_NE(l.fatal[0].find("0x278"), std::string::npos);
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

TEST(Ioport, RefusalsExplainTheirOwnCause) {
    for (int err : {EPERM, ENOSYS}) {
        FakeSys sys;
        sys.portAccessErrno = err;
        Layer l(withBackend("ioport"), sys);
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        const bool permission = l.fatal[0].find("CAP_SYS_RAWIO") != std::string::npos;
        EXPECT_EQ(permission, err == EPERM) << l.fatal[0];
        EXPECT_NE(l.fatal[0].find(err == EPERM ? "Secure Boot" : "ce noyau"), std::string::npos);
    }
}

// A device named in VELMORIN_LPT1 is checked before anything opens it, and every sentence
// names the variable.
TEST(Devices, NamedDevicesAreCheckedBeforeTheyAreOpened) {
    struct Case {
        const char* name;
        std::function<std::string(FakeSys&)> arrange;  // returns VELMORIN_LPT1's value
        std::vector<const char*> mentions;
        bool modprobe;
    };
    const std::vector<Case> cases = {
        {"typo",
         [](FakeSys&) { return std::string("/dev/nonexistent"); },
         {"VELMORIN_LPT1=", "ls /dev/parport*"},
         false},
        {"relative path",
         [](FakeSys&) { return std::string("parport0"); },
         {"VELMORIN_LPT1=parport0", "chemin complet"},
         false},
        {"a tape drive",
         [](FakeSys& s) { return s.node("st0", 9); },
         {"VELMORIN_LPT1=", "n'est pas un port ppdev"},
         false},
        {"ppdev not loaded",
         [](FakeSys& s) {
             s.files["/proc/devices"] = {"Character devices:", "  1 mem"};
             return std::string("/dev/parport0");
         },
         {"VELMORIN_LPT1=", "modprobe ppdev"},
         true},
        {"a serial port named as an I2C bus",
         [](FakeSys& s) { return s.node("ttyS0", 4) + "@0x27"; },
         {"VELMORIN_LPT1=/dev/ttyS0", "n'est pas un bus I2C"},
         false},
        {"a misc device named as a GPIO chip",
         [](FakeSys& s) { return s.node("cpu_dma_latency", 10) + "@1,2,3,4,5,6"; },
         {"VELMORIN_LPT1=/dev/cpu_dma_latency", "n'est pas une puce GPIO"},
         false},
        {"i2c-dev not loaded",
         [](FakeSys&) { return std::string("/dev/i2c-1@0x27"); },
         {"VELMORIN_LPT1=", "modprobe i2c-dev", "raspi-config"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        const port::PortConfig config = withDevice(c.arrange(sys));
        const auto error = port::checkDevices(config, sys);
        const std::string said = error ? ui::sentence(*error) : std::string();
        for (const char* m : c.mentions) EXPECT_NE(said.find(m), std::string::npos) << said;
        EXPECT_EQ(said.find("modprobe") != std::string::npos, c.modprobe) << said;
        Layer l(config, sys);
        l.layer.Out32(0x378, 1);
        EXPECT_EQ(l.fatal, std::vector<std::string>{said}) << "the opener checks the same way";
        EXPECT_TRUE(sys.calls.empty()) << "nothing was opened";
    }
}

using Bytes = std::vector<std::uint8_t>;
template <class T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The writes between two pauses go to the backpack in as few transactions as the adapter
// offers, never one across a Sleep, never more than 32 bytes in an SMBus block. Each
// Out32 is one byte: RS and D4-D7 in place, E moved to P2, the backlight (P3) on.
TEST(I2c, WritesBetweenPausesShareTransactionsAsTheAdapterAllows) {
    // 0x31 0x33 0x31, Sleep, 0x21 0x23 0x21 and forty 0x00, then the program waits.
    const Bytes before{0x39, 0x3D, 0x39};
    const Bytes after = Bytes{0x29, 0x2D, 0x29} + Bytes(40, 0x08);
    struct Case {
        const char* adapter;
        unsigned long funcs;
        const char* how;
        std::vector<Bytes> transactions;
    };
    std::vector<Bytes> single;
    for (std::uint8_t b : before + after) single.push_back({b});
    const Case cases[] = {
        {"plain I2C (Raspberry Pi)",
         I2C_FUNC_I2C | I2C_FUNC_SMBUS_WRITE_BYTE,
         "write",
         {before, after}},
        {"I2C block (ICH9)",
         I2C_FUNC_SMBUS_WRITE_I2C_BLOCK | I2C_FUNC_SMBUS_WRITE_BYTE,
         "block",
         {before, Bytes{0x29, 0x2D, 0x29} + Bytes(29, 0x08), Bytes(11, 0x08)}},
        {"send byte only (PIIX4)", I2C_FUNC_SMBUS_WRITE_BYTE, "smbus", single},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.adapter);
        FakeSys sys;
        sys.i2cFuncs = c.funcs;
        Layer l(withDevice(sys.node("i2c-1", 89) + "@0x27"), sys);
        for (std::int16_t v : {0x31, 0x33, 0x31}) l.layer.Out32(0x378, v);
        l.layer.Sleep(1);
        for (std::int16_t v : {0x21, 0x23, 0x21}) l.layer.Out32(0x378, v);
        for (int i = 0; i < 40; ++i) l.layer.Out32(0x378, 0x00);
        l.layer.flush();
        ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
        EXPECT_EQ(sys.transactions, c.transactions);
        EXPECT_EQ(sys.i2cPaths, std::vector<std::string>(c.transactions.size(), c.how));
        EXPECT_EQ(ui::panelName(*l.layer.ports()[0].device), "/dev/i2c-1 @ 0x27 (PCF8574)");
    }
}

// A queue that fails to go out is fatal at the flush, naming the device; the mirror has
// already shown it, the module never did.
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
    EXPECT_NE(l.fatal[0].find("/dev/i2c-1 @ 0x27"), std::string::npos) << l.fatal[0];
    EXPECT_EQ(sys.transactions, std::vector<Bytes>{{0x39}});
}

// The byte each board gets for RS, E, D4 and D7 alone, then nothing: worked out by hand
// from the boards' wiring (RS, R/W, E, backlight, D4-D7 on expander pins) and polarity.
TEST(I2c, EachWiringPutsTheLinesOnItsOwnPins) {
    struct Case {
        const char* options;
        std::vector<std::uint8_t> bytes;  // RS, E, D4, D7, none
        const char* panel;
    };
    const Case cases[] = {
        // P0 RS, P2 E, P4-P7 D4-D7, P3 backlight on when high.
        {"", {0x09, 0x0C, 0x18, 0x88, 0x08}, "/dev/i2c-1 @ 0x27 (PCF8574)"},
        {",lcm1602",
         {0x01, 0x04, 0x10, 0x80, 0x00},
         "/dev/i2c-1 @ 0x27 (PCF8574, câblage lcm1602)"},
        // P6 RS, P4 E, P0-P3 D4-D7, P7 backlight on when low.
        {",mjkdz", {0x40, 0x10, 0x01, 0x08, 0x00}, "/dev/i2c-1 @ 0x27 (PCF8574, câblage mjkdz)"},
        // P4 RS, P6 E, P0-P3 D4-D7, P7 backlight on when low.
        {",LCDXIO", {0x10, 0x40, 0x01, 0x08, 0x00}, "/dev/i2c-1 @ 0x27 (PCF8574, câblage lcdxio)"},
        {",map=65470123",
         {0xC0, 0x90, 0x81, 0x88, 0x80},
         "/dev/i2c-1 @ 0x27 (PCF8574, câblage map=65470123)"},
        {",map=012-4567",
         {0x01, 0x04, 0x10, 0x80, 0x00},
         "/dev/i2c-1 @ 0x27 (PCF8574, câblage map=012-4567)"},
        {",mjkdz,bl-high",
         {0xC0, 0x90, 0x81, 0x88, 0x80},
         "/dev/i2c-1 @ 0x27 (PCF8574, câblage mjkdz, bl-high)"},
        {",bl-low", {0x01, 0x04, 0x10, 0x80, 0x00}, "/dev/i2c-1 @ 0x27 (PCF8574, câblage bl-low)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        FakeSys sys;
        Layer l(withDevice(sys.node("i2c-1", 89) + "@0x27" + c.options), sys);
        for (std::int16_t v : {0x01, 0x02, 0x10, 0x80, 0x00}) l.layer.Out32(0x378, v);
        ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
        EXPECT_EQ(sys.sent, c.bytes);
        EXPECT_EQ(ui::panelName(*l.layer.ports()[0].device), c.panel);
    }
}

// The MCP23008 is a register device: byte mode (IOCON 0x05 = SEQOP) and every pin an output
// (IODIR 0x00 = 0x00) first, then the GPIO register (0x09) takes the values: one write byte
// data each, or all of them after one 0x09 where the adapter packs them. Adafruit's board:
// GP1 RS, GP2 E, GP3-GP6 D4-D7, GP7 backlight on when high.
TEST(I2c, TheMcp23008TakesEachByteInItsGpioRegister) {
    const std::vector<Bytes> setUp{{0x05, 0x20}, {0x00, 0x00}};
    const std::vector<std::int16_t> lines{0x01, 0x02, 0x10, 0x80, 0x00};
    struct Case {
        unsigned long funcs;
        std::vector<std::int16_t> out;
        std::vector<Bytes> values;
    };
    const Case cases[] = {
        {I2C_FUNC_SMBUS_WRITE_BYTE_DATA,
         lines,
         {{0x09, 0x82}, {0x09, 0x84}, {0x09, 0x88}, {0x09, 0xC0}, {0x09, 0x80}}},
        {I2C_FUNC_SMBUS_WRITE_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_I2C_BLOCK,
         lines,
         {{0x09, 0x82, 0x84, 0x88, 0xC0, 0x80}}},
        // 0x09 and 31 values fill a block: 32 bytes.
        {I2C_FUNC_SMBUS_WRITE_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_I2C_BLOCK,
         std::vector<std::int16_t>(32, 0x00),
         {Bytes{0x09} + Bytes(31, 0x80), {0x09, 0x80}}},
    };
    for (const Case& c : cases) {
        FakeSys sys;
        sys.i2cFuncs = c.funcs;
        Layer l(withDevice(sys.node("i2c-1", 89) + "@0x20,mcp23008"), sys);
        for (std::int16_t v : c.out) l.layer.Out32(0x378, v);
        l.layer.flush();
        ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
        EXPECT_EQ(sys.transactions, std::vector<Bytes>(setUp) + c.values);
        EXPECT_EQ(ui::panelName(*l.layer.ports()[0].device), "/dev/i2c-1 @ 0x20 (MCP23008)");
    }
}

// @auto probes the expanders' ranges only, and takes the one that answers.
TEST(I2c, AutoFindsTheOneExpanderThatAnswers) {
    struct Case {
        std::set<int> present;
        const char* outcome;  // the panel, or words of the refusal
    };
    const Case cases[] = {
        {{0x27}, "/dev/i2c-1 @ 0x27 (trouvé) (PCF8574, câblage mjkdz)"},
        {{0x3F, 0x50}, "/dev/i2c-1 @ 0x3f (trouvé) (PCF8574, câblage mjkdz)"},
        {{}, "aucun expandeur ne répond sur /dev/i2c-1"},
        {{0x20, 0x27}, "plusieurs appareils répondent sur /dev/i2c-1 : 0x20, 0x27"},
    };
    for (const Case& c : cases) {
        FakeSys sys;
        sys.present = c.present;
        Layer l(withDevice(sys.node("i2c-1", 89) + "@auto,mjkdz"), sys);
        l.layer.Out32(0x378, 0x01);
        const std::string said =
            l.fatal.empty() ? ui::panelName(*l.layer.ports()[0].device) : l.fatal[0];
        EXPECT_NE(said.find(c.outcome), std::string::npos) << said;
        EXPECT_EQ(sys.probed.size(), 16u);
        EXPECT_TRUE(std::all_of(sys.probed.begin(), sys.probed.end(), [](int a) {
            return (a >= 0x20 && a <= 0x27) || (a >= 0x38 && a <= 0x3F);
        }));
    }
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
        ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
        EXPECT_EQ(sys.lineSets, c.sets);
    }
}

TEST(Gpio, EachOut32SetsTheSixLinesOnce) {
    FakeSys sys;
    Layer l(withDevice(sys.node("gpiochip0", 254) + "@5,4,3,2,1,0"), sys);
    for (std::int16_t v : {0x00, 0x12, 0x81}) l.layer.Out32(0x378, v);
    ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
    EXPECT_EQ(sys.requested, (std::vector<std::uint32_t>{5, 4, 3, 2, 1, 0}));
    // Bit i of a set is the i-th requested line: RS, E, D4, D5, D6, D7.
    EXPECT_EQ(sys.lineSets, (std::vector<std::uint64_t>{0x00, 0x06, 0x21}));
    EXPECT_EQ(ui::panelName(*l.layer.ports()[0].device), "/dev/gpiochip0 (GPIO 5,4,3,2,1,0)");
}

// I2C and GPIO failures: each sentence names what is wrong and what to do, and nothing is
// written to the bus or the lines.
TEST(I2cAndGpio, FailuresSayWhatToDo) {
    struct Case {
        const char* name;
        const char* node;  // in the fake /dev
        const char* at;    // what follows '@'
        std::function<void(FakeSys&)> arrange;
        std::vector<const char*> mentions;
    };
    auto denied = [](const char* node) {
        return [node](FakeSys& s) { s.openErrno["/dev/" + std::string(node)] = EACCES; };
    };
    const std::vector<Case> cases = {
        {"i2c permission", "i2c-1", "0x27", denied("i2c-1"), {"groupe i2c"}},
        {"i2c address taken",
         "i2c-1",
         "0x27",
         [](FakeSys& s) { s.slaveErrno = EBUSY; },
         {"0x27", "pilote du noyau"}},
        {"i2c no answer",
         "i2c-1",
         "0x27",
         [](FakeSys& s) { s.sendErrno = ENXIO; },
         {"rien ne répond", "0x27", "0x3f", "i2cdetect -y 1"}},
        {"gpio line missing", "gpiochip0", "0,1,2,3,4,9", [](FakeSys&) {}, {"ligne 9", "8 lignes"}},
        {"gpio lines held",
         "gpiochip0",
         "0,1,2,3,4,5",
         [](FakeSys& s) { s.lineErrno = EBUSY; },
         {"gpioinfo", "gpiochip0"}},
        {"gpio permission", "gpiochip0", "0,1,2,3,4,5", denied("gpiochip0"), {"groupe gpio"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        const unsigned major = std::string(c.node).rfind("i2c-", 0) == 0 ? 89 : 254;
        const auto config = withDevice(sys.node(c.node, major) + "@" + c.at);
        c.arrange(sys);
        Layer l(config, sys);
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        for (const char* m : c.mentions)
            EXPECT_NE(l.fatal[0].find(m), std::string::npos) << l.fatal[0];
        EXPECT_TRUE(sys.sent.empty() && sys.lineSets.empty());
    }
}

TEST(Ioport, WritesGoOutThroughOutb) {
    FakeSys sys;
    Layer l(withBackend("ioport"), sys);
    l.layer.Out32(0x278, 0x1A7);  // D2 carries no module line: it stays low
    ASSERT_TRUE(l.fatal.empty());
    ASSERT_EQ(sys.outbs.size(), 1u);
    EXPECT_EQ(sys.outbs[0], (std::pair<std::uint8_t, std::uint16_t>{0xA3, 0x278}));
}

}  // namespace
