#include "port/hardware.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "port/port_layer.h"

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

    FakeSys() {
        root = fs::path(::testing::TempDir()) /
               ("fakesys_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
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

    port::SysApi api() {
        port::SysApi s;
        s.procRoot = (root / "proc").string();
        s.devRoot = (root / "dev").string();
        s.procDevices = (root / "devices").string();
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
    port::PortLayer layer;
    Layer(port::PortConfig config, port::SysApi sys)
        : layer(
              std::move(config), clock, clock, [this](const std::string& m) { fatal.push_back(m); },
              port::hardwareOpener(std::move(sys))) {}
};

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
        EXPECT_EQ(l.layer.display(0x378)->lastPins(), 0x22) << "the emulator mirrors the hardware";
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
         {"parport0", "modprobe ppdev"}},
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
    port::PortConfig config;
    config.lpt1Device = sys.dev(3);
    Layer l(config, sys.api());
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
    for (std::int16_t good : {0x378, 0x278, 0x3BC}) EXPECT_TRUE(port::ioportAddressAllowed(good));
}

TEST(Ioport, PermissionFailureExplainsRootAndLockdown) {
    FakeSys sys;
    sys.iopermErrno = EPERM;
    Layer l(withKind(BackendKind::Ioport), sys.api());
    l.layer.Out32(0x378, 1);
    ASSERT_EQ(l.fatal.size(), 1u);
    EXPECT_NE(l.fatal[0].find("CAP_SYS_RAWIO"), std::string::npos);
    EXPECT_NE(l.fatal[0].find("Secure Boot"), std::string::npos);
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
