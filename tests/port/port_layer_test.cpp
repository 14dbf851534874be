#include "port/port_layer.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "driver_rig.h"
#include "fake_os.h"
#include "port/i2c/expander.h"
#include "port/linux/gpio_backend.h"
#include "port/opener.h"
#include "recorder.h"
#include "scratch.h"
#include "ui/messages.h"
#include "vcd_reader.h"

using port::PortLayer;

// Cases of the Linux backend table and file places; Windows has its own (inpout_test).
#ifdef _WIN32
#define LINUX_TABLE(name) DISABLED_##name
#else
#define LINUX_TABLE(name) name
#endif

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Env {
    std::map<std::string, std::string> vars;
    std::function<const char*(const char*)> fn() const {
        return [this](const char* name) -> const char* {
            auto it = vars.find(name);
            return it == vars.end() ? nullptr : it->second.c_str();
        };
    }
    // The settings these variables give, with no settings file.
    port::ConfigResult config() const { return port::readConfig(fn(), port::systemOs(), {}); }
};

// The sentence for a config's error, empty when it parsed.
std::string said(const port::ConfigResult& r) {
    return r.error ? ui::sentence(*r.error) : std::string();
}

// A value is quoted at most 80 characters long, its unprintable bytes escaped.
TEST(PortConfig, SentencesQuoteValuesCutAndEscaped) {
    const std::string raw = "\xff\x1b[2J" + std::string(100'000, 'x');
    Env env{{{"VELMORIN_DELAY", raw}}};
    const std::string s = said(env.config());
    EXPECT_NE(s.find("VELMORIN_DELAY=\"\\xFF\\x1B[2Jxxx"), std::string::npos) << s;
    EXPECT_EQ(s.find('\x1b'), std::string::npos);
    EXPECT_NE(s.find("x…\""), std::string::npos) << s;
    EXPECT_LT(s.size(), 400u);
    Env accents{{{"VELMORIN_MODULE", "é20x4"}}};
    EXPECT_NE(said(accents.config()).find("« é20x4 »"), std::string::npos)
        << "well-formed UTF-8 stays as it is";
}

TEST(PortConfig, LINUX_TABLE(BackendChoiceFromTheEnvironment)) {
    struct Case {
        const char* value;
        port::Mode mode;
        const char* backend;  // the row chosen, for Mode::Backend
        bool error;
    };
    using port::Mode;
    const Case cases[] = {
        {nullptr, Mode::Auto, nullptr, false},        {"auto", Mode::Auto, nullptr, false},
        {"emulator", Mode::Emulator, nullptr, false}, {"ppdev", Mode::Backend, "ppdev", false},
        {"ioport", Mode::Backend, "ioport", false},   {"parport", Mode::Auto, nullptr, true},
        {"EMULATOR", Mode::Auto, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        Env env;
        if (c.value) env.vars["VELMORIN_LPT"] = c.value;
        const auto r = env.config();
        EXPECT_EQ(r.error.has_value(), c.error);
        if (c.error) {
            EXPECT_NE(said(r).find("VELMORIN_LPT"), std::string::npos);
            EXPECT_NE(said(r).find("auto, emulator, ppdev, ioport"), std::string::npos);
        } else {
            EXPECT_EQ(r.config.mode, c.mode);
            if (c.backend) {
                EXPECT_STREQ(r.config.backend->name, c.backend);
            }
        }
    }
    Env env{{{"VELMORIN_TRACE", "/tmp/x.vcd"}, {"VELMORIN_LPT1", "/dev/parport3"}}};
    const auto r = env.config();
    EXPECT_EQ(r.config.tracePath, "/tmp/x.vcd");
    EXPECT_EQ(r.config.devices[0].path, "/dev/parport3");
}

// Every other setting in one table: a good value and what it gives, or a bad one and the
// words its sentence must hold (the variable's name always among them).
TEST(PortConfig, LINUX_TABLE(SettingsParseOrNameTheVariable)) {
    using Check = std::function<void(const port::PortConfig&)>;
    struct Case {
        const char* var;
        const char* value;
        const char* mentions;  // null: accepted
        Check check;
    };
    const std::vector<Case> cases = {
        {"VELMORIN_DELAY", "1", nullptr, [](auto& c) { EXPECT_EQ(c.delay, 1); }},
        {"VELMORIN_DELAY", "16", nullptr, [](auto& c) { EXPECT_EQ(c.delay, 16); }},
        {"VELMORIN_DELAY", "0", "1 à 16", {}},
        {"VELMORIN_DELAY", "17", "1 à 16", {}},
        {"VELMORIN_DELAY", "-1", "1 à 16", {}},
        {"VELMORIN_DELAY", "2.5", "1 à 16", {}},
        {"VELMORIN_DELAY", "x", "1 à 16", {}},
        {"VELMORIN_DELAY", "", nullptr, [](auto& c) { EXPECT_EQ(c.delay, 1); }},  // as unset
        {"VELMORIN_MODULE", "", nullptr,
         [](auto& c) {
             EXPECT_EQ(c.module, (hd44780::Geometry{20, 2}));
         }},
        {"VELMORIN_LPT1", "", nullptr, [](auto& c) { EXPECT_EQ(c.devices[0].row, nullptr); }},
        {"VELMORIN_MODULE", "20x4", nullptr,
         [](auto& c) {
             EXPECT_EQ(c.module, (hd44780::Geometry{20, 4}));
         }},
        {"VELMORIN_MODULE", "190KHZ,A02,16x2", nullptr,
         [](auto& c) {
             EXPECT_EQ(c.module, (hd44780::Geometry{16, 2}));
             EXPECT_EQ(c.emulator.rom, hd44780::Rom::A02);
             EXPECT_EQ(c.emulator.oscillator, hd44780::Oscillator::k190kHz);
         }},
        {"VELMORIN_MODULE", "20x5", "20x5", {}},
        {"VELMORIN_MODULE", "16x2,20x4", "deux tailles : « 20x4 » vient après une autre", {}},
        {"VELMORIN_MODULE", "a00,20x4,a02", "deux ROM : « a02 »", {}},
        {"VELMORIN_MODULE", "16x2,a01", "a01", {}},
        {"VELMORIN_LPT1", "/dev/i2c-1@0x27", nullptr,
         [](auto& c) {
             EXPECT_STREQ(c.devices[0].row->key, "pcf8574");
             EXPECT_EQ(c.devices[0].path, "/dev/i2c-1");
             EXPECT_EQ(c.devices[0].template as<port::i2c::Options>().address, 0x27);
         }},
        {"VELMORIN_LPT2", "/dev/gpiochip0@25,24,23,17,18,22", nullptr,
         [](auto& c) {
             EXPECT_STREQ(c.devices[1].row->key, "gpio");
             EXPECT_EQ(c.devices[1].template as<port::gpio::Options>().lines,
                       (std::vector<std::uint32_t>{25, 24, 23, 17, 18, 22}));
         }},
        {"VELMORIN_LPT1", "/dev/i2c-1@0x78", "0x03 à 0x77", {}},
        {"VELMORIN_LPT1", "/dev/i2c-1@27", "0x03 à 0x77", {}},
        {"VELMORIN_LPT2", "/dev/gpiochip0@1,2,3,4,5", "six", {}},
        {"VELMORIN_LPT2", "/dev/gpiochip0@1,2,3,4,5,1", "deux fois", {}},
        {"VELMORIN_LPT2", "/dev/gpiochip0@1,2,3,4,5,x", "« x »", {}},
        {"VELMORIN_LPT1", "@0x27", "chemin", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.var) + "=" + c.value);
        Env env{{{c.var, c.value}}};
        const auto r = env.config();
        if (!c.mentions) {
            EXPECT_EQ(said(r), "");
            c.check(r.config);
            continue;
        }
        EXPECT_NE(said(r).find(c.var), std::string::npos) << said(r);
        EXPECT_NE(said(r).find(c.mentions), std::string::npos) << said(r);
    }
}

struct LayerRig {
    port::SimulatedClock clock;
    std::vector<std::string> fatal;
    port::Fatal fatalPath{[this](const port::Error& e) { fatal.push_back(ui::sentence(e)); }};
    PortLayer layer;
    explicit LayerRig(port::PortConfig config = testsupport::emulatorConfig(),
                      port::BackendOpener opener = port::hardwareOpener())
        : layer(std::move(config), clock, clock, fatalPath, std::move(opener)) {}
};

// The environment wins over the user's file, the user's file over the system's; an empty
// value unsets. Every line of every file is judged, and a fault names its file and line.
TEST(PortConfig, LINUX_TABLE(SettingsFilesUnderTheEnvironment)) {
    const std::string user = "/home/u/.config/velmorin/velmorin.conf", etc = "/etc/velmorin.conf";
    struct Case {
        const char* name;
        std::vector<std::string> userLines, etcLines;
        std::map<std::string, std::string> env;
        const char* outcome;  // the tooltip's text, or words of the sentence
    };
    const Case cases[] = {
        {"user over system",
         {"VELMORIN_DELAY=3"},
         {"VELMORIN_DELAY=2", "VELMORIN_LPT=emulator"},
         {},
         "VELMORIN_LPT=emulator (/etc/velmorin.conf, ligne 2)\n"
         "VELMORIN_DELAY=3 (/home/u/.config/velmorin/velmorin.conf, ligne 1)"},
        {"environment over both",
         {"VELMORIN_DELAY=3"},
         {},
         {{"VELMORIN_DELAY", "4"}},
         "VELMORIN_DELAY=4 (environnement)"},
        {"an empty value unsets",
         {"VELMORIN_DELAY=3"},
         {},
         {{"VELMORIN_DELAY", ""}},
         "aucun réglage : tout par défaut"},
        {"comments, blanks, quotes",
         {"# my module", "", "  VELMORIN_TRACE = \"/tmp/a b#1.vcd\"  # why",
          "\tVELMORIN_LPT1=/dev/i2c-1@0x27\r"},
         {},
         {},
         "VELMORIN_TRACE=/tmp/a b#1.vcd (/home/u/.config/velmorin/velmorin.conf, ligne 3)\n"
         "VELMORIN_LPT1=/dev/i2c-1@0x27 (/home/u/.config/velmorin/velmorin.conf, ligne 4)"},
        {"malformed line",
         {"# ok", "VELMORIN_DELAY 2"},
         {},
         {},
         "/home/u/.config/velmorin/velmorin.conf, ligne 2 : « VELMORIN_DELAY 2 » n'est pas de la "
         "forme NOM=valeur"},
        {"unknown name",
         {},
         {"VELMORIN_LCD=1"},
         {},
         "/etc/velmorin.conf, ligne 1 : réglage « VELMORIN_LCD » inconnu (réglages : VELMORIN_LPT, "
         "VELMORIN_TRACE, VELMORIN_DELAY, VELMORIN_MODULE, VELMORIN_LPT1, VELMORIN_LPT2)"},
        {"a bad value the environment overrides",
         {},
         {"VELMORIN_DELAY=0"},
         {{"VELMORIN_DELAY", "2"}},
         "/etc/velmorin.conf, ligne 1 : VELMORIN_DELAY=\"0\" : valeur invalide"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::FakeOs os;
        if (!c.userLines.empty()) os.files[user] = c.userLines;
        if (!c.etcLines.empty()) os.files[etc] = c.etcLines;
        Env env{c.env};
        const auto r = port::readConfig(env.fn(), os, {user, etc});
        const std::string got = r.error ? said(r) : ui::settingOrigins(r.config.origins);
        EXPECT_EQ(got.rfind(c.outcome, 0), 0u) << got;
    }
    testsupport::FakeOs os;
    os.openErrno[user] = EACCES;
    const std::string s = said(port::readConfig(Env{}.fn(), os, {user, etc}));
    EXPECT_EQ(s, "impossible de lire le fichier de réglages " + user +
                     " : permission refusée ; rendez-le lisible (chmod 644) ou retirez-le");
    Env home{{{"HOME", "/home/u"}}}, xdg{{{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "/cfg"}}};
    EXPECT_EQ(port::settingsFiles(home.fn()), (std::vector<std::string>{user, etc}));
    EXPECT_EQ(port::settingsFiles(xdg.fn()),
              (std::vector<std::string>{"/cfg/velmorin/velmorin.conf", etc}));
}

TEST(PortLayer, EachAddressHasItsOwnEmulatedDisplay) {
    LayerRig rig;
    EXPECT_EQ(rig.layer.display(port::kLpt1), nullptr) << "opened on first write only";
    rig.layer.Out32(port::kLpt1, 0x1A2);  // only the low byte reaches the port
    rig.layer.Out32(port::kLpt2, 0x30);
    ASSERT_NE(rig.layer.display(port::kLpt1), nullptr);
    ASSERT_NE(rig.layer.display(port::kLpt2), nullptr);
    EXPECT_NE(rig.layer.display(port::kLpt1), rig.layer.display(port::kLpt2));
    EXPECT_EQ(rig.layer.display(port::kLpt1)->lastPins(), (hd44780::Pins{false, true, 0xA}));
    EXPECT_EQ(rig.layer.Inp32(port::kLpt1), 0xA2);
    EXPECT_EQ(rig.layer.Inp32(port::kLpt2), 0x30);
    ASSERT_EQ(rig.layer.ports().size(), 2u);
    EXPECT_EQ(rig.layer.ports()[0].address, port::kLpt1);
    EXPECT_TRUE(rig.fatal.empty());
}

TEST(PortLayer, LINUX_TABLE(BadAddressesAndBackendsAreFatalWithAMessage)) {
    struct Case {
        const char* backend;
        std::int16_t port;
        const char* mentions;
    };
    const Case cases[] = {
        {"emulator", 0x3F8, "0x3f8"},
        {"auto", 0x123, "0x123"},
        {"ioport", 0x379, "0x378, 0x278"},  // never a status register, even as root
    };
    for (const Case& c : cases) {
        LayerRig rig(testsupport::withBackend(c.backend));
        rig.layer.Out32(c.port, 1);
        rig.layer.Out32(c.port, 2);
        ASSERT_EQ(rig.fatal.size(), 1u) << "said once, then the port stays shut";
        EXPECT_NE(rig.fatal[0].find(c.mentions), std::string::npos) << rig.fatal[0];
    }
}

class FailingBackend final : public port::PortBackend {
public:
    int write(hd44780::Pins) noexcept override { return ++m_writes > 2 ? ENODEV : 0; }
    port::Description description() const override {
        return {"ppdev", "/dev/parport9", {}, {}, false};
    }

private:
    int m_writes = 0;
};

TEST(PortLayer, AThrowingOpenOnTheFirstOut32TakesTheFatalPath) {
    LayerRig rig({}, [](std::int16_t, const port::PortConfig&) -> port::OpenResult {
        throw std::filesystem::filesystem_error("directory_iterator",
                                                std::error_code(EIO, std::generic_category()));
    });
    rig.layer.Out32(port::kLpt1, 1);  // noexcept: must not reach std::terminate
    rig.layer.Out32(port::kLpt1, 2);
    ASSERT_EQ(rig.fatal.size(), 1u);
    EXPECT_NE(rig.fatal[0].find("0x378"), std::string::npos) << rig.fatal[0];
    EXPECT_NE(rig.fatal[0].find("directory_iterator"), std::string::npos) << rig.fatal[0];
    EXPECT_EQ(rig.layer.Inp32(port::kLpt1), 0) << "nothing went out";
}

TEST(PortLayer, AFailedWriteIsFatalAndNamesTheDeviceAndError) {
    LayerRig rig({}, [](std::int16_t, const port::PortConfig&) {
        return port::OpenResult{std::make_unique<FailingBackend>(), {}, {}};
    });
    for (int i = 0; i < 5; ++i) rig.layer.Out32(port::kLpt1, static_cast<std::int16_t>(i + 1));
    ASSERT_EQ(rig.fatal.size(), 1u);
    EXPECT_NE(rig.fatal[0].find("/dev/parport9"), std::string::npos);
    EXPECT_NE(rig.fatal[0].find("aucun périphérique de ce type"), std::string::npos);
    EXPECT_EQ(rig.layer.display(port::kLpt1)->lastPins(), (hd44780::Pins{false, true, 0}))
        << "the mirror saw only what got out";
}

TEST(PortLayer, ATraceThatCannotBeWrittenIsFatalBeforeTheFirstPortWrite) {
    const std::string held = testsupport::scratchPath("velmorin_held") + ".vcd";
#ifndef _WIN32
    const std::string fifo = testsupport::scratchPath("velmorin_fifo");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
#endif
    port::PortConfig first = testsupport::emulatorConfig();
    first.tracePath = held;
    LayerRig holder(first);  // another program already writes this trace
    ASSERT_TRUE(holder.fatal.empty());
    struct Case {
        std::string path;
        std::string mentions;
    };
    const Case cases[] = {
        {"/nonexistent-dir/trace.vcd", "/nonexistent-dir/trace.vcd"},
        {held, "déjà utilisé"},
#ifndef _WIN32
        {"/dev/full", "plus de place sur le périphérique"},
        {fifo, "personne ne lit"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        port::PortConfig config = testsupport::emulatorConfig();
        config.tracePath = c.path;
        LayerRig rig(config);
        ASSERT_EQ(rig.fatal.size(), 1u);
        EXPECT_NE(rig.fatal[0].find(c.mentions), std::string::npos) << rig.fatal[0];
        EXPECT_NE(rig.fatal[0].find("VELMORIN_TRACE"), std::string::npos) << rig.fatal[0];
    }
#ifndef _WIN32
    ::unlink(fifo.c_str());
#endif
    holder.layer.Out32(port::kLpt1, 0x21);
    holder.layer.flush();
    EXPECT_NE(slurp(held).find("b00100001"), std::string::npos)
        << "the second program did not truncate the first one's trace";
    std::remove(held.c_str());
}

TEST(PortLayer, TraceRecordsEveryWriteAndIsFlushedAtSleep) {
    const std::string path = testsupport::scratchPath("layer_trace") + ".vcd";
    port::PortConfig config = testsupport::emulatorConfig();
    config.tracePath = path;
    LayerRig rig(config);
    rig.clock.advance(1000);
    rig.layer.Out32(port::kLpt1, 0x21);
    rig.layer.Out32(port::kLpt1, 0x23);
    rig.layer.Out32(port::kLpt1, 0x23);  // unchanged value: the write counter still moves
    rig.layer.Out32(port::kLpt2, 0xF0);
    EXPECT_EQ(slurp(path).find("#1000"), std::string::npos) << "only whole flushes reach the file";
    rig.layer.Sleep(2);
    EXPECT_EQ(slurp(path).back(), '\n');
    const auto vcd = testsupport::parseVcd(slurp(path));
    ASSERT_TRUE(vcd.ok);
    EXPECT_EQ(vcd.timescale, "1 ns");
    EXPECT_TRUE(vcd.timesIncrease);
    const auto& data = vcd.of("lpt_0x378", "data");
    ASSERT_EQ(data.size(), 4u);  // x at #0, then three writes
    EXPECT_EQ(data[1].value, "00100001");
    EXPECT_EQ(data[1].t, 1000);
    EXPECT_EQ(vcd.of("lpt_0x378", "writes").back().value, "11");
    EXPECT_EQ(vcd.of("lpt_0x378", "E").back().value, "1");
    EXPECT_EQ(vcd.of("lpt_0x278", "D7").back().value, "1");
    EXPECT_EQ(vcd.of("lpt_0x278", "RS").back().value, "0");
    EXPECT_TRUE(rig.fatal.empty());
    std::remove(path.c_str());
}

// Out32 returns at once on the emulator, yet a set-up write and the E edge after it must be
// a port write apart, as on the real bus: without that every nibble breaks tAS.
TEST(PortLayer, TheEmulatedPortTakesARealPortWriteTime) {
    LayerRig rig(testsupport::withBackend("emulator"));
    testsupport::TestDriver driver(rig.layer, rig.layer, rig.clock);
    driver.PortLPT = port::kLpt1;
    driver.LCD_Init();
    driver.EcrireCCRAM(0xC0, 't');
    const hd44780::Controller& lcd = *rig.layer.display(port::kLpt1);
    EXPECT_EQ(lcd.timing().count(), 0u);
    EXPECT_EQ(lcd.cell(1, 0, {20, 2}).code, 't');
}

TEST(Recorder, KeepsWritesAndSleepsInOrderWithTimes) {
    port::SimulatedClock clock(0);
    port::testing::Recorder rec(clock, clock);
    rec.Out32(0x378, 0x20);
    clock.spinFor(2500);
    rec.Out32(0x378, 0x122);
    rec.Sleep(2);
    rec.Out32(0x278, 0x01);
    ASSERT_EQ(rec.events().size(), 4u);
    EXPECT_EQ(rec.events()[1].atNs, 2500);
    EXPECT_EQ(rec.events()[1].value, 0x122);
    EXPECT_EQ(rec.events()[3].atNs, 2'002'500);
    EXPECT_EQ(rec.bytes(0x378), (std::vector<std::uint8_t>{0x20, 0x22}));
    EXPECT_EQ(rec.sleeps(), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(rec.Inp32(0x378), 0x22);
}

}  // namespace
