#include "port/hardware.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/gpio.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "port/port_layer.h"
#include "scratch.h"

namespace fs = std::filesystem;
using port::BackendKind;

namespace {

// A fake /proc/sys/dev/parport and /dev, and a device whose ioctls are recorded.
struct FakeSys {
    fs::path root;
    std::map<std::string, int> openErrno;  // device path -> errno to fail open with
    int claimErrno = 0;
    int failWritesAfter = -1;
    std::vector<std::string> calls;
    std::vector<std::uint8_t> written;
    std::vector<std::string> told;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> outbs;
    int iopermErrno = 0;
    int iopermCalls = 0;
    std::map<std::string, unsigned> majors;  // device path -> character major (99 if unset)
    // I2C adapter and GPIO chip
    unsigned long i2cFuncs = I2C_FUNC_SMBUS_WRITE_BYTE;
    int slaveErrno = 0;
    int sendErrno = 0;  // every I2C transfer fails with this
    std::vector<std::uint8_t> sent;
    std::vector<std::string> i2cPaths;  // how each byte went: "smbus" or "write"
    std::vector<std::uint32_t> requested;
    int lineErrno = 0;
    std::vector<std::uint64_t> lineSets;

    FakeSys() {
        root = testsupport::scratchPath("fakesys");
        fs::remove_all(root);
        fs::create_directories(root / "proc" / "default");
        fs::create_directories(root / "dev");
        std::ofstream(root / "devices") << "Character devices:\n  1 mem\n 99 ppdev\n";
    }
    ~FakeSys() { fs::remove_all(root); }

    void addParport(int n, const std::string& baseAddr, const std::string& active = "none") {
        const fs::path d = root / "proc" / ("parport" + std::to_string(n));
        fs::create_directories(d / "devices");
        std::ofstream(d / "base-addr") << baseAddr << "\n";
        std::ofstream(d / "devices" / "active") << active << "\n";
        std::ofstream(root / "dev" / ("parport" + std::to_string(n))) << "";
    }
    std::string dev(int n) const {
        return (root / "dev" / ("parport" + std::to_string(n))).string();
    }

    std::string node(const std::string& name, unsigned major = 99) {
        const std::string path = (root / "dev" / name).string();
        std::ofstream(path) << "";
        majors[path] = major;
        return path;
    }

    port::SysApi api() {
        port::SysApi s;
        s.procRoot = (root / "proc").string();
        s.devRoot = (root / "dev").string();
        s.procDevices = (root / "devices").string();
        // Whatever the fake /dev holds is a character device.
        s.stat = [this](const std::string& path, struct stat* st) {
            if (::stat(path.c_str(), st) != 0) return -1;
            if (path.rfind((root / "dev").string(), 0) == 0) {
                st->st_mode = S_IFCHR | 0660;
                st->st_rdev = makedev(majors.count(path) ? majors[path] : 99, 0);
            }
            return 0;
        };
        s.write = [this](int, const void* data, std::size_t) -> ssize_t {
            if (sendErrno) {
                errno = sendErrno;
                return -1;
            }
            sent.push_back(*static_cast<const std::uint8_t*>(data));
            i2cPaths.push_back("write");
            return 1;
        };
        s.open = [this](const std::string& path, int flags) {
            calls.push_back("open " + fs::path(path).filename().string());
            if (auto it = openErrno.find(path); it != openErrno.end()) {
                errno = it->second;
                return -1;
            }
            return ::open(path.c_str(), flags);
        };
        s.ioctl = [this](int, unsigned long request, void* arg) {
            if (request == PPCLAIM) {
                calls.push_back("claim");
                if (claimErrno) {
                    errno = claimErrno;
                    return -1;
                }
            } else if (request == PPRELEASE) {
                calls.push_back("release");
            } else if (request == I2C_FUNCS) {
                *static_cast<unsigned long*>(arg) = i2cFuncs;
            } else if (request == I2C_SLAVE) {
                if (slaveErrno) {
                    errno = slaveErrno;
                    return -1;
                }
            } else if (request == I2C_SMBUS) {
                if (sendErrno) {
                    errno = sendErrno;
                    return -1;
                }
                sent.push_back(static_cast<i2c_smbus_ioctl_data*>(arg)->command);
                i2cPaths.push_back("smbus");
            } else if (request == GPIO_GET_CHIPINFO_IOCTL) {
                static_cast<gpiochip_info*>(arg)->lines = 8;
            } else if (request == GPIO_V2_GET_LINE_IOCTL) {
                if (lineErrno) {
                    errno = lineErrno;
                    return -1;
                }
                auto* req = static_cast<gpio_v2_line_request*>(arg);
                requested.assign(req->offsets, req->offsets + req->num_lines);
                req->fd = ::open("/dev/null", O_RDONLY);
            } else if (request == GPIO_V2_LINE_SET_VALUES_IOCTL) {
                lineSets.push_back(static_cast<gpio_v2_line_values*>(arg)->bits);
            } else if (request == PPWDATA) {
                if (failWritesAfter >= 0 && static_cast<int>(written.size()) >= failWritesAfter) {
                    errno = ENODEV;
                    return -1;
                }
                written.push_back(*static_cast<std::uint8_t*>(arg));
            }
            return 0;
        };
        s.close = [this](int fd) {
            calls.push_back("close");
            return ::close(fd);
        };
        s.ioperm = [this](unsigned long, unsigned long, int) {
            ++iopermCalls;
            if (iopermErrno) {
                errno = iopermErrno;
                return -1;
            }
            return 0;
        };
        s.outb = [this](std::uint8_t v, std::uint16_t p) { outbs.emplace_back(v, p); };
        s.tell = [this](const std::string& line) { told.push_back(line); };
        return s;
    }
};

struct Layer {
    port::SimulatedClock clock;
    std::vector<std::string> fatal;
    port::Fatal fatalPath{[this](const std::string& m) { fatal.push_back(m); }};
    port::PortLayer layer;
    Layer(port::PortConfig config, port::SysApi sys)
        : layer(std::move(config), clock, clock, fatalPath, port::hardwareOpener(std::move(sys))) {}
};

port::PortConfig withDevice(const std::string& setting) {
    port::PortConfig c;
    EXPECT_EQ(port::parseDevice(setting, c.devices[0]), "");
    return c;
}

port::PortConfig withKind(BackendKind kind) {
    port::PortConfig c;
    c.kind = kind;
    return c;
}

TEST(Parports, BaseAddressesAreDecimalAndNumberingIsNotByAddress) {
    FakeSys sys;
    sys.addParport(0, "53264\t53272");  // a PCI card at 0xd010
    sys.addParport(1, "888\t1912", "lp");
    sys.addParport(2, "632");
    const auto list = port::listParports(sys.api().procRoot);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].base, 0xd010);
    EXPECT_EQ(list[1].base, 0x378);
    EXPECT_EQ(list[1].active, "lp");
    EXPECT_EQ(list[2].name, "parport2");
    EXPECT_EQ(list[2].base, 0x278);
}

TEST(Ppdev, AutoClaimsTheParportAtTheAddressAndWritesOneIoctlPerOut32) {
    FakeSys sys;
    sys.addParport(0, "53264");
    sys.addParport(1, "888");
    {
        Layer l(withKind(BackendKind::Auto), sys.api());
        l.layer.Out32(0x378, 0x20);
        l.layer.Out32(0x378, 0x122);
        ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
        EXPECT_EQ(sys.written, (std::vector<std::uint8_t>{0x20, 0x22}));
        EXPECT_EQ(l.layer.ports()[0].device, sys.dev(1) + " (ppdev)");
        EXPECT_EQ(l.layer.display(0x378)->lastPins(), (hd44780::Pins{false, true, 0x2}))
            << "the emulator mirrors the hardware";
    }
    EXPECT_EQ(sys.calls, (std::vector<std::string>{"open parport1", "claim", "release", "close"}));
}

TEST(Ppdev, AutoFallsBackToTheEmulatorOnlyWhereNoParportHasTheAddress) {
    FakeSys sys;
    sys.addParport(0, "53264");
    Layer l(withKind(BackendKind::Auto), sys.api());
    l.layer.Out32(0x378, 1);
    l.layer.Out32(0x278, 1);
    EXPECT_TRUE(l.fatal.empty());
    EXPECT_TRUE(sys.calls.empty());
    EXPECT_EQ(l.layer.ports()[0].note, "aucun port à 0x378 ; " + sys.dev(0) + " est à 0xd010");
    ASSERT_EQ(sys.told.size(), 1u) << "said once";
    EXPECT_NE(sys.told[0].find("0xd010"), std::string::npos);

    FakeSys none;
    Layer quiet(withKind(BackendKind::Auto), none.api());
    quiet.layer.Out32(0x378, 1);
    EXPECT_TRUE(quiet.layer.ports()[0].note.empty());
    EXPECT_TRUE(none.told.empty());
}

TEST(Ppdev, FailuresNameTheDeviceTheErrorAndTheRemedy) {
    struct Case {
        const char* name;
        std::function<void(FakeSys&)> arrange;
        BackendKind kind;
        std::vector<const char*> mentions;
    };
    const std::vector<Case> cases = {
        {"no permission",
         [](FakeSys& s) { s.openErrno[s.dev(0)] = EACCES; },
         BackendKind::Auto,
         {"parport0", "groupe lp", "VELMORIN_LPT=emulator"}},
        {"device node missing",
         [](FakeSys& s) { s.openErrno[s.dev(0)] = ENOENT; },
         BackendKind::Auto,
         {"parport0", "n'existe plus"}},
        {"registration refused",
         [](FakeSys& s) { s.claimErrno = ENXIO; },
         BackendKind::Ppdev,
         {"PPCLAIM", "parport0", "enregistrement"}},
        {"busy",
         [](FakeSys& s) { s.claimErrno = EBUSY; },
         BackendKind::Auto,
         {"parport0", "occupé"}},
        {"held by lp",
         [](FakeSys& s) { s.addParport(0, "888", "lp"); },
         BackendKind::Auto,
         {"parport0", "« lp »", "rmmod lp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        sys.addParport(0, "888");
        c.arrange(sys);
        Layer l(withKind(c.kind), sys.api());
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
    Layer l(withKind(BackendKind::Ppdev), sys.api());
    for (int i = 0; i < 6; ++i) l.layer.Out32(0x378, static_cast<std::int16_t>(i));
    ASSERT_EQ(l.fatal.size(), 1u);
    EXPECT_NE(l.fatal[0].find(std::strerror(ENODEV)), std::string::npos) << l.fatal[0];
    EXPECT_EQ(sys.written.size(), 3u);
}

TEST(Ppdev, ExplicitBackendWithoutAMatchingPortNamesTheAddress) {
    FakeSys sys;
    sys.addParport(0, "53264");
    Layer l(withKind(BackendKind::Ppdev), sys.api());
    l.layer.Out32(0x278, 1);
    ASSERT_EQ(l.fatal.size(), 1u);
    EXPECT_NE(l.fatal[0].find("0x278"), std::string::npos);
}

TEST(Ppdev, ExplicitDeviceMappingWins) {
    FakeSys sys;
    sys.addParport(0, "888");
    sys.addParport(3, "53264");
    Layer l(withDevice(sys.dev(3)), sys.api());
    l.layer.Out32(0x378, 7);
    EXPECT_TRUE(l.fatal.empty());
    EXPECT_EQ(sys.calls[0], "open parport3");
    EXPECT_EQ(sys.written, std::vector<std::uint8_t>{7});
}

TEST(Ioport, OnlyStandardDataRegistersAreEverTouched) {
    for (std::int16_t bad : {0x3F8, 0x379, 0x80, 0x0, -1}) {
        FakeSys sys;
        const auto r = port::openIoport(bad, sys.api());
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(r.backend, nullptr);
        EXPECT_EQ(sys.iopermCalls, 0);
    }
    for (std::int16_t good : {0x378, 0x278}) EXPECT_TRUE(port::ioportAddressAllowed(good));
    EXPECT_FALSE(port::ioportAddressAllowed(0x3BC)) << "not a port the program drives";
}

TEST(Ioport, RefusalsExplainTheirOwnCause) {
    for (int err : {EPERM, ENOSYS}) {
        FakeSys sys;
        sys.iopermErrno = err;
        Layer l(withKind(BackendKind::Ioport), sys.api());
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
         [](FakeSys& s) { return (s.root / "dev" / "nonexistent").string(); },
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
             std::ofstream(s.root / "devices") << "Character devices:\n  1 mem\n";
             return (s.root / "dev" / "parport0").string();
         },
         {"VELMORIN_LPT1=", "modprobe ppdev"},
         true},
        {"i2c-dev not loaded",
         [](FakeSys& s) { return (s.root / "dev" / "i2c-1").string() + "@0x27"; },
         {"VELMORIN_LPT1=", "modprobe i2c-dev", "raspi-config"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSys sys;
        const port::PortConfig config = withDevice(c.arrange(sys));
        const std::string said = port::checkDevices(config, sys.api());
        for (const char* m : c.mentions) EXPECT_NE(said.find(m), std::string::npos) << said;
        EXPECT_EQ(said.find("modprobe") != std::string::npos, c.modprobe) << said;
        Layer l(config, sys.api());
        l.layer.Out32(0x378, 1);
        EXPECT_EQ(l.fatal, std::vector<std::string>{said}) << "the opener checks the same way";
        EXPECT_TRUE(sys.calls.empty()) << "nothing was opened";
    }
}

// Each Out32 is one byte to the backpack: RS and D4-D7 in place, E moved to P2, the
// backlight (P3) on, R/W (P1) low.
TEST(I2c, EachOut32IsOneBackpackByteBySmbusOrPlainWrite) {
    for (bool smbus : {true, false}) {
        SCOPED_TRACE(smbus ? "SMBus send byte" : "plain write");
        FakeSys sys;
        sys.i2cFuncs = smbus ? I2C_FUNC_SMBUS_WRITE_BYTE : I2C_FUNC_I2C;
        Layer l(withDevice(sys.node("i2c-1", 89) + "@0x27"), sys.api());
        for (std::int16_t v : {0x00, 0x02, 0x31, 0x33, 0xF1, 0x0C}) l.layer.Out32(0x378, v);
        ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
        EXPECT_EQ(sys.sent, (std::vector<std::uint8_t>{0x08, 0x0C, 0x39, 0x3D, 0xF9, 0x08}));
        EXPECT_EQ(sys.i2cPaths, std::vector<std::string>(6, smbus ? "smbus" : "write"));
        EXPECT_EQ(l.layer.ports()[0].device, sys.root.string() + "/dev/i2c-1 @ 0x27 (PCF8574)");
    }
}

TEST(Gpio, EachOut32SetsTheSixLinesOnce) {
    FakeSys sys;
    Layer l(withDevice(sys.node("gpiochip0", 254) + "@5,4,3,2,1,0"), sys.api());
    for (std::int16_t v : {0x00, 0x12, 0x81}) l.layer.Out32(0x378, v);
    ASSERT_TRUE(l.fatal.empty()) << l.fatal[0];
    EXPECT_EQ(sys.requested, (std::vector<std::uint32_t>{5, 4, 3, 2, 1, 0}));
    // Bit i of a set is the i-th requested line: RS, E, D4, D5, D6, D7.
    EXPECT_EQ(sys.lineSets, (std::vector<std::uint64_t>{0x00, 0x06, 0x21}));
    EXPECT_EQ(l.layer.ports()[0].device, sys.root.string() + "/dev/gpiochip0 (GPIO 5,4,3,2,1,0)");
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
        return [node](FakeSys& s) { s.openErrno[(s.root / "dev" / node).string()] = EACCES; };
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
        const auto config = withDevice(sys.node(c.node, 89) + "@" + c.at);
        c.arrange(sys);
        Layer l(config, sys.api());
        l.layer.Out32(0x378, 1);
        ASSERT_EQ(l.fatal.size(), 1u);
        for (const char* m : c.mentions)
            EXPECT_NE(l.fatal[0].find(m), std::string::npos) << l.fatal[0];
        EXPECT_TRUE(sys.sent.empty() && sys.lineSets.empty());
    }
}

TEST(Ioport, WritesGoOutThroughOutb) {
    FakeSys sys;
    Layer l(withKind(BackendKind::Ioport), sys.api());
    l.layer.Out32(0x278, 0x1A5);
    ASSERT_TRUE(l.fatal.empty());
    ASSERT_EQ(sys.outbs.size(), 1u);
    EXPECT_EQ(sys.outbs[0], (std::pair<std::uint8_t, std::uint16_t>{0xA5, 0x278}));
}

}  // namespace
