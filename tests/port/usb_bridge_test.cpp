// The USB-I2C bridges spoken to in their own HID reports: the reports each receives, byte
// for byte as their datasheets frame them, and the bridge found by name, end to end.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <numeric>

#include "fake_hid.h"
#include "fake_os.h"
#include "port/i2c/bridges.h"
#include "port/i2c/expander.h"
#include "port/i2c/hid_bridges.h"
#include "port/opener.h"
#include "port/port_layer.h"

namespace {

using testsupport::FakeHidDevice;
using testsupport::HidModel;
using testsupport::Report;
namespace i2c = port::i2c;

// An MCP2221A: busy for its first busy write reports; an address other than 0x27
// unacknowledged until the transfer is cancelled.
void mcp2221(HidModel& m, int busy = 0) {
    auto nacked = std::make_shared<bool>(false);
    m.answer = [nacked, busy](const Report& r) mutable -> std::vector<Report> {
        const std::uint8_t command = r.at(1);  // after the report ID 0
        if (command == 0x90 || command == 0x91) {
            *nacked = r.size() > 4 && r[4] >> 1 != 0x27;
            return {{command, static_cast<std::uint8_t>(busy-- > 0 ? 0x01 : 0x00)}};
        }
        if (command == 0x40)  // the byte read: 0xA5
            return {{0x40, 0x00, static_cast<std::uint8_t>(*nacked ? 0x25 : 0x55), 1, 0xA5}};
        Report a(64);
        a[0] = 0x10;
        a[3] = r.size() > 4 && r[4] == 0x20 ? 0x20 : 0x00;
        a[8] = *nacked ? 0x25 : 0x00;  // the engine's state
        a[20] = *nacked ? 0x40 : 0x00;
        if (r.size() > 3 && r[3] == 0x10) *nacked = false;  // cancelled
        return {a};
    };
}

// A CP2112: busy for its first busy status requests; only 0x27 acknowledges.
void cp2112(HidModel& m, int busy = 0) {
    auto acked = std::make_shared<bool>(false);
    m.answer = [acked, busy](const Report& r) mutable -> std::vector<Report> {
        if (r[0] == 0x14 || r[0] == 0x10) *acked = r[1] == 0x4E;
        if (r[0] == 0x12) return {{0x13, 0x02, 1, 0xA5}};  // the byte read
        if (r[0] != 0x15) return {};
        if (busy-- > 0) return {{0x16, 0x01, 0x03}};
        return {{0x16, static_cast<std::uint8_t>(*acked ? 0x02 : 0x03),
                 static_cast<std::uint8_t>(*acked ? 0x05 : 0x00)}};
    };
}

Report counting(std::uint8_t first, std::size_t n) {
    Report r(n);
    std::iota(r.begin(), r.end(), first);
    return r;
}
Report cat(Report a, const Report& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Mcp2221, AWriteIsOneTransactionInReportsOfSixtyBytesCheckedOnce) {
    HidModel m;
    mcp2221(m);
    int err = -1;
    auto bus = i2c::mcp2221Bus(std::make_unique<FakeHidDevice>(m), err);
    ASSERT_TRUE(bus);
    EXPECT_EQ(err, 0);
    EXPECT_EQ(bus->write(0x27, counting(1, 70)), 0);
    const std::vector<Report> expected{
        {0x00, 0x10, 0x00, 0x00, 0x20, 117},  // 100 kHz: 12 MHz / 100 kHz - 3
        cat({0x00, 0x90, 70, 0x00, 0x4E}, counting(1, 60)),
        cat({0x00, 0x90, 70, 0x00, 0x4E}, counting(61, 10)),
        {0x00, 0x10},
    };
    EXPECT_EQ(m.sent, expected);
}

TEST(Mcp2221, BusyNackAndUnplugEachEndAsTheirErrno) {
    struct Case {
        const char* name;
        int busy;
        std::uint8_t address;
        bool unplug;
        int err;
        std::vector<Report> tail;  // what follows the set-up
    };
    const std::vector<Case> cases{
        {"busy once",
         1,
         0x27,
         false,
         0,
         {{0x00, 0x90, 1, 0, 0x4E, 0x39}, {0x00, 0x90, 1, 0, 0x4E, 0x39}, {0x00, 0x10}}},
        {"NACK, then cancelled",
         0,
         0x3F,
         false,
         ENXIO,
         {{0x00, 0x90, 1, 0, 0x7E, 0x39}, {0x00, 0x10}, {0x00, 0x10, 0x00, 0x10}}},
        {"unplugged", 0, 0x27, true, ENODEV, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HidModel m;
        mcp2221(m, c.busy);
        int err = -1;
        auto bus = i2c::mcp2221Bus(std::make_unique<FakeHidDevice>(m), err);
        ASSERT_TRUE(bus);
        m.sent.clear();
        if (c.unplug) m.writeErrno = ENODEV;
        EXPECT_EQ(bus->write(c.address, Report{0x39}), c.err);
        EXPECT_EQ(m.sent, c.tail);
    }
}

TEST(Mcp2221, AnEngineThatStaysBusyIsBusyAndCancelled) {
    HidModel m;
    mcp2221(m, 1000);
    int err = -1;
    auto bus = i2c::mcp2221Bus(std::make_unique<FakeHidDevice>(m), err);
    ASSERT_TRUE(bus);
    EXPECT_EQ(bus->write(0x27, Report{0x39}), EBUSY);
    EXPECT_EQ(m.sent.back(), (Report{0x00, 0x10, 0x00, 0x10}));
}

TEST(Cp2112, SetUpThenOneWriteRequestOfAtMost61BytesThenItsStatus) {
    HidModel m;
    cp2112(m, 1);
    int err = -1;
    auto bus = i2c::cp2112Bus(std::make_unique<FakeHidDevice>(m), err);
    ASSERT_TRUE(bus);
    // 100 kHz, own address 0x02, no auto send, 25 ms timeouts, SCL low timeout, 1 retry.
    EXPECT_EQ(m.features, (std::vector<Report>{{0x06, 0x00, 0x01, 0x86, 0xA0, 0x02, 0x00, 0x00, 25,
                                                0x00, 25, 0x01, 0x00, 0x01}}));
    EXPECT_EQ(bus->maxWrite(), 61u);
    EXPECT_EQ(bus->write(0x27, counting(1, 61)), 0);
    EXPECT_EQ(bus->write(0x27, counting(1, 62)), EINVAL);
    EXPECT_EQ(bus->write(0x3F, Report{0x39}), ENXIO);
    const std::vector<Report> expected{
        cat({0x14, 0x4E, 61}, counting(1, 61)),
        {0x15, 0x01},  // busy
        {0x15, 0x01},  // complete
        {0x14, 0x7E, 1, 0x39},
        {0x15, 0x01},  // error: NACK
        {0x17, 0x01},  // cancelled
    };
    EXPECT_EQ(m.sent, expected);
    m.writeErrno = ENODEV;
    EXPECT_EQ(bus->write(0x27, Report{0x39}), ENODEV);
}

// A one-byte read, in each bridge's own reports: the request, the bytes fetched, the
// outcome; a NACK is the address's errno.
TEST(UsbBridges, AReadIsItsRequestThenItsBytes) {
    HidModel m;
    mcp2221(m);
    int err = -1;
    auto mcp = i2c::mcp2221Bus(std::make_unique<FakeHidDevice>(m), err);
    ASSERT_TRUE(mcp);
    m.sent.clear();
    Report got(1);
    EXPECT_EQ(mcp->read(0x27, got), 0);
    EXPECT_EQ(got, Report{0xA5});
    EXPECT_EQ(m.sent, (std::vector<Report>{{0x00, 0x91, 1, 0, 0x4F}, {0x00, 0x40}, {0x00, 0x10}}));
    EXPECT_EQ(mcp->read(0x3F, got), ENXIO);

    HidModel c;
    cp2112(c);
    auto cp = i2c::cp2112Bus(std::make_unique<FakeHidDevice>(c), err);
    ASSERT_TRUE(cp);
    got = {0};
    EXPECT_EQ(cp->read(0x27, got), 0);
    EXPECT_EQ(got, Report{0xA5});
    EXPECT_EQ(c.sent, (std::vector<Report>{{0x10, 0x4E, 0, 1}, {0x15, 0x01}, {0x12, 0, 1}}));
    EXPECT_EQ(cp->read(0x3F, got), ENXIO);
}

// The bridges found by their names through the system's HID devices, the writes between
// two pauses reaching the backpack, and each failure named.
struct Rig {
    testsupport::FakeOs os;
    testsupport::FakeHid hid;
    HidModel mcp;
    port::SimulatedClock clock;
    std::vector<port::Error> fatal;
    port::Fatal fatalPath{[this](const port::Error& e) { fatal.push_back(e); }};
    std::optional<port::PortLayer> layer;

    Rig(const char* text, int bridges) {
        mcp2221(mcp);
        for (int i = 1; i <= bridges; ++i)
            hid.attached.push_back(
                {{"/dev/hidraw" + std::to_string(i - 1), 0x04D8, 0x00DD, "000" + std::to_string(i)},
                 &mcp});
        os.hid = &hid;
        port::PortConfig config;
        EXPECT_FALSE(port::parseDevice(text, config.devices[0]));
        layer.emplace(std::move(config), clock, clock, fatalPath, port::hardwareOpener(os), os);
    }
};

TEST(UsbBridges, FoundByNameThroughHidAndDrivenThere) {
    Rig r("mcp2221@0x27", 1);
    r.layer->Out32(0x378, 0x31);
    r.layer->Out32(0x378, 0x33);
    r.layer->Sleep(1);
    ASSERT_TRUE(r.fatal.empty());
    const port::Description d = *r.layer->ports()[0].device;
    EXPECT_EQ(d.device, "MCP2221A 0001");
    EXPECT_EQ(d.via, "/dev/hidraw0");
    ASSERT_GE(r.mcp.sent.size(), 2u);
    EXPECT_EQ(r.mcp.sent[r.mcp.sent.size() - 2], (Report{0x00, 0x90, 2, 0, 0x4E, 0x39, 0x3D}));
    EXPECT_EQ(r.mcp.sent.back(), (Report{0x00, 0x10}));
}

TEST(UsbBridges, EachFailureBeforeTheFirstWrite) {
    struct Case {
        const char* text;
        int bridges;
        const char* startFailure;
        int openErrno;
        port::Problem what;
        std::optional<i2c::BridgeProblem> code;
        i2c::BridgeHint hint;
        const char* detail;
    };
    const Case cases[] = {
        {"cp2112@0x27", 1, "", 0, port::Problem::Backend, i2c::BridgeProblem::NoBridge,
         i2c::BridgeHint::None, "MCP2221A 0001"},
        {"mcp2221@0x27", 2, "", 0, port::Problem::Backend, i2c::BridgeProblem::ManyBridges,
         i2c::BridgeHint::None, "MCP2221A 0001, MCP2221A 0002"},
        {"mcp2221@0x27", 0, "CM_Get_Device_Interface_PropertyW", 0, port::Problem::Backend,
         i2c::BridgeProblem::NoHid, i2c::BridgeHint::None, "CM_Get_Device_Interface_PropertyW"},
        {"mcp2221@0x27",
         1,
         "",
         EACCES,
         port::Problem::OpenFailed,
         {},
         i2c::BridgeHint::HidrawUdevRule,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Rig r(c.text, c.bridges);
        r.hid.startFailure = c.startFailure;
        if (c.openErrno) r.hid.openErrno["/dev/hidraw0"] = c.openErrno;
        r.layer->Out32(0x378, 0x31);
        ASSERT_EQ(r.fatal.size(), 1u);
        EXPECT_EQ(r.fatal[0].what, c.what);
        if (c.code) {
            EXPECT_EQ(r.fatal[0].code, port::codeOf(*c.code));
        }
        EXPECT_EQ(r.fatal[0].hint, port::codeOf(c.hint));
        EXPECT_STREQ(r.fatal[0].backend, "usb-i2c");
        EXPECT_EQ(r.fatal[0].detail, c.detail);
    }
}

}  // namespace
