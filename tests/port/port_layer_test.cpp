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
#include "port/gpio/linux/gpio_backend.h"
#include "port/i2c/expander.h"
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

std::string problemName(port::Problem p) {
    switch (p) {
        case port::Problem::SettingsLineMalformed:
            return "SettingsLineMalformed";
        case port::Problem::SettingsUnknownName:
            return "SettingsUnknownName";
        case port::Problem::BadDelay:
            return "BadDelay";
        default:
            return "other";
    }
}

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
    Env marks{{{"VELMORIN_MODULE",
                "\xEF\xBB\xBF"
                "20x4\xE2\x80\x8B"}}};
    EXPECT_NE(said(marks.config()).find("« \\xEF\\xBB\\xBF20x4\\xE2\\x80\\x8B »"),
              std::string::npos)
        << "a BOM and a zero-width space are shown, escaped";
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
            EXPECT_EQ(r.error->what, port::Problem::UnknownBackend);
            EXPECT_EQ(r.error->setting, "VELMORIN_LPT");
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

// Every other setting in one table: a good value and what it gives, or a bad one and its
// problem, with the variable, its value and the offending part. Device texts have their own
// table (BackendTable).
TEST(PortConfig, LINUX_TABLE(SettingsParseOrNameTheVariable)) {
    using Check = std::function<void(const port::PortConfig&)>;
    struct Case {
        const char* var;
        const char* value;
        std::optional<port::Problem> refusal;  // none: accepted
        Check check;
        const char* detail = "";
    };
    using P = port::Problem;
    const std::vector<Case> cases = {
        {"VELMORIN_DELAY", "1", {}, [](auto& c) { EXPECT_EQ(c.delay, 1); }},
        {"VELMORIN_DELAY", "16", {}, [](auto& c) { EXPECT_EQ(c.delay, 16); }},
        {"VELMORIN_DELAY", "0", P::BadDelay, {}},
        {"VELMORIN_DELAY", "17", P::BadDelay, {}},
        {"VELMORIN_DELAY", "-1", P::BadDelay, {}},
        {"VELMORIN_DELAY", "2.5", P::BadDelay, {}},
        {"VELMORIN_DELAY", "x", P::BadDelay, {}},
        {"VELMORIN_DELAY", "", {}, [](auto& c) { EXPECT_EQ(c.delay, 1); }},  // as unset
        {"VELMORIN_MODULE",
         "",
         {},
         [](auto& c) {
             EXPECT_EQ(c.module, (hd44780::Geometry{20, 2}));
         }},
        {"VELMORIN_LPT1", "", {}, [](auto& c) { EXPECT_EQ(c.devices[0].row, nullptr); }},
        {"VELMORIN_MODULE",
         "20x4",
         {},
         [](auto& c) {
             EXPECT_EQ(c.module, (hd44780::Geometry{20, 4}));
         }},
        {"VELMORIN_MODULE",
         "190KHZ,A02,16x2",
         {},
         [](auto& c) {
             EXPECT_EQ(c.module, (hd44780::Geometry{16, 2}));
             EXPECT_EQ(c.emulator.rom, hd44780::Rom::A02);
             EXPECT_EQ(c.emulator.oscillator, hd44780::Oscillator::k190kHz);
         }},
        {"VELMORIN_MODULE", "20x5", P::ModuleUnknownPart, {}, "20x5"},
        {"VELMORIN_MODULE", "16x2,20x4", P::ModuleTwoSizes, {}, "20x4"},
        {"VELMORIN_MODULE", "a00,20x4,a02", P::ModuleTwoRoms, {}, "a02"},
        {"VELMORIN_MODULE", "270khz,190KHZ", P::ModuleTwoOscillators, {}, "190khz"},
        {"VELMORIN_MODULE", "16x2,a01", P::ModuleUnknownPart, {}, "a01"},
        {"VELMORIN_LPT1",
         "/dev/i2c-1@0x27",
         {},
         [](auto& c) {
             EXPECT_STREQ(c.devices[0].row->key, "pcf8574");
             EXPECT_EQ(c.devices[0].path, "/dev/i2c-1");
             EXPECT_EQ(c.devices[0].template as<port::i2c::Options>().address, 0x27);
         }},
        {"VELMORIN_LPT2",
         "/dev/gpiochip0@25,24,23,17,18,22",
         {},
         [](auto& c) {
             EXPECT_STREQ(c.devices[1].row->key, "gpio");
             EXPECT_EQ(c.devices[1].template as<port::gpio::Options>().lines,
                       (std::vector<std::uint32_t>{25, 24, 23, 17, 18, 22}));
         }},
        {"VELMORIN_LPT1", "/dev/i2c-1@27", P::Backend, {}, "27"},
        {"VELMORIN_LPT2", "@0x27", P::DevicePathMissing, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.var) + "=" + c.value);
        Env env{{{c.var, c.value}}};
        const auto r = env.config();
        if (!c.refusal) {
            EXPECT_FALSE(r.error);
            c.check(r.config);
            continue;
        }
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->what, *c.refusal);
        EXPECT_EQ(r.error->setting, c.var);
        EXPECT_EQ(r.error->value, c.value);
        EXPECT_EQ(r.error->detail, c.detail);
    }
}

struct LayerRig {
    port::SimulatedClock clock;
    std::vector<port::Error> fatal;
    port::Fatal fatalPath{[this](const port::Error& e) { fatal.push_back(e); }};
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
        std::string outcome;  // the tooltip's text, or the problem, its file and line
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
         "SettingsLineMalformed " + user + ":2"},
        {"unknown name", {}, {"VELMORIN_LCD=1"}, {}, "SettingsUnknownName " + etc + ":1"},
        {"a bad value the environment overrides",
         {},
         {"VELMORIN_DELAY=0"},
         {{"VELMORIN_DELAY", "2"}},
         "BadDelay " + etc + ":1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::FakeOs os;
        if (!c.userLines.empty()) os.files[user] = c.userLines;
        if (!c.etcLines.empty()) os.files[etc] = c.etcLines;
        Env env{c.env};
        const auto r = port::readConfig(env.fn(), os, {user, etc});
        const std::string got = r.error ? problemName(r.error->what) + " " + r.error->file + ":" +
                                              std::to_string(r.error->line)
                                        : ui::settingOrigins(r.config.origins);
        EXPECT_EQ(got, c.outcome);
    }
    testsupport::FakeOs os;
    os.files[user] = {};
    os.openErrno[user] = EACCES;
    const auto unreadable = port::readConfig(Env{}.fn(), os, {user, etc});
    ASSERT_TRUE(unreadable.error);
    EXPECT_EQ(unreadable.error->what, port::Problem::SettingsFileUnreadable);
    EXPECT_EQ(unreadable.error->file, user);
    EXPECT_EQ(unreadable.error->err, EACCES);
    Env home{{{"HOME", "/home/u"}}}, xdg{{{"HOME", "/home/u"}, {"XDG_CONFIG_HOME", "/cfg"}}};
    EXPECT_EQ(port::settingsFiles(home.fn()), (std::vector<std::string>{user, etc}));
    EXPECT_EQ(port::settingsFiles(xdg.fn()),
              (std::vector<std::string>{"/cfg/velmorin/velmorin.conf", etc}));
    EXPECT_EQ(port::stateFile(xdg.fn()), "/cfg/velmorin/state.ini");
    EXPECT_EQ(port::stateFile(Env{}.fn()), "");
}

// A device saved in a settings file that will not open starts its port on the emulator,
// with the sentence in the panel; one typed in the environment ends the run; a line that
// does not parse stays fatal, with its file and line.
TEST(PortLayer, LINUX_TABLE(ASavedDeviceThatIsGoneStartsOnTheEmulator)) {
    using P = port::Problem;
    const struct {
        const char* line;  // in the settings file
        const char* env;   // VELMORIN_LPT1, or null
        bool fatal;
        P what;
    } cases[] = {
        {"VELMORIN_LPT1=/dev/ttyACM0@lcdserializer", nullptr, false, P::DeviceUnusable},
        {"VELMORIN_LPT1=/dev/ttyUSB0@lcdserializer", nullptr, false, P::OpenFailed},  // busy
        {"", "/dev/ttyACM0@lcdserializer", true, P::DeviceUnusable},
        {"VELMORIN_LPT1=/dev/ttyACM0@nosuchproto", nullptr, true, P::Backend},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        testsupport::FakeOs os;
        os.serialErrno[os.node("ttyUSB0", 188)] = EBUSY;
        os.files["/u/velmorin.conf"] = {c.line};
        Env env;
        if (c.env) env.vars["VELMORIN_LPT1"] = c.env;
        const auto r = port::readConfig(env.fn(), os, {"/u/velmorin.conf"});
        // As the program starts: the settings, the devices looked at, the first write.
        std::optional<port::Error> e = r.error ? r.error : port::checkDevices(r.config, os);
        LayerRig rig(r.config, port::hardwareOpener(os));
        if (!e) rig.layer.Out32(0x378, 0);
        if (!e && !rig.fatal.empty()) e = rig.fatal[0];
        EXPECT_EQ(e.has_value(), c.fatal);
        if (!e) {
            EXPECT_FALSE(rig.layer.ports().at(0).device);  // the emulator alone, saying why
            e = rig.layer.ports().at(0).choiceFailed;
        }
        ASSERT_TRUE(e);
        EXPECT_EQ(e->what, c.what);
    }
}

// What is in the settings file's place, and what its bytes are: each fault is named, with
// its file and line, before anything waits on it or reads too much.
TEST(PortConfig, SettingsFileKindsAndBytes) {
    const std::string conf = "/home/u/.config/velmorin/velmorin.conf";
    struct Case {
        const char* name;
        std::function<void(testsupport::FakeOs&)> arrange;
        std::optional<port::Problem> refusal;
        int line = 0;
        int err = 0;
        const char* trace = "";  // VELMORIN_TRACE, where it parses
    };
    using P = port::Problem;
    const auto text = [&](std::string t) {
        return [&conf, t](testsupport::FakeOs& os) { os.texts[conf] = t; };
    };
    const auto node = [&](bool chr, bool dir, int error) {
        return [&conf, chr, dir, error](testsupport::FakeOs& os) {
            port::PathInfo i;
            i.characterDevice = chr;
            i.directory = dir;
            i.error = error;
            os.nodes[conf] = i;
        };
    };
    const Case cases[] = {
        {"a FIFO", node(false, false, 0), P::SettingsFileNotRegular},
        {"/dev/zero", node(true, false, 0), P::SettingsFileNotRegular},
        {"a folder", node(false, true, 0), P::SettingsFileIsFolder},
        {"a symlink loop", node(false, false, ELOOP), P::SettingsFileUnreadable, 0, ELOOP},
        {"over 64 KiB", text(std::string(64 * 1024, '#') + "\n"), P::SettingsFileTooLarge},
        {"64 KiB exactly",
         text("VELMORIN_TRACE=/t.vcd\n" + std::string(64 * 1024 - 22, '#')),
         {},
         0,
         0,
         "/t.vcd"},
        {"a BOM", text("\xEF\xBB\xBFVELMORIN_TRACE=/t.vcd\n"), {}, 0, 0, "/t.vcd"},
        {"# in double quotes",
         text("VELMORIN_TRACE=\"trace #1.vcd\"  # why\n"),
         {},
         0,
         0,
         "trace #1.vcd"},
        {"# in single quotes", text("VELMORIN_TRACE='/tmp/x #y.vcd'\n"), {}, 0, 0, "/tmp/x #y.vcd"},
        {"escapes in double quotes", text("VELMORIN_TRACE=\"a\\\"b\\\\c\"\n"), {}, 0, 0, "a\"b\\c"},
        {"# after a word", text("VELMORIN_TRACE=/t.vcd # why\n"), {}, 0, 0, "/t.vcd"},
        {"# inside a word", text("VELMORIN_TRACE=/t#1.vcd\n"), {}, 0, 0, "/t#1.vcd"},
        {"an unmatched quote", text("\nVELMORIN_TRACE=\"/t.vcd\n"), P::SettingsQuoteUnclosed, 2},
        {"text after the quotes", text("VELMORIN_TRACE=\"/t.vcd\"x\n"), P::SettingsLineMalformed,
         1},
        {"Latin-1, not UTF-8", text("# ok\nVELMORIN_TRACE=/t\xE9.vcd\n"), P::SettingsNotUtf8, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::FakeOs os;
        c.arrange(os);
        const auto r = port::readConfig(Env{}.fn(), os, {conf});
        if (!c.refusal) {
            ASSERT_FALSE(r.error);
            EXPECT_EQ(r.config.tracePath, c.trace);
            continue;
        }
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->what, *c.refusal);
        EXPECT_EQ(r.error->file, conf);
        EXPECT_EQ(r.error->line, c.line);
        EXPECT_EQ(r.error->err, c.err);
    }
}

#ifdef _WIN32
// %APPDATA%, read as UTF-16: an account name with accents gives its path in UTF-8.
TEST(PortConfig, TheWindowsSettingsFileIsTheUsersRoamingOne) {
    ASSERT_EQ(_wputenv_s(L"APPDATA", L"C:\\Users\\H\u00e9l\u00e8ne\\AppData\\Roaming"), 0);
    EXPECT_EQ(port::settingsFiles(port::systemEnvironment()),
              std::vector<std::string>{
                  "C:\\Users\\H\xc3\xa9l\xc3\xa8ne\\AppData\\Roaming\\velmorin\\velmorin.conf"});
    ASSERT_EQ(_wputenv_s(L"APPDATA", L""), 0);
    EXPECT_TRUE(port::settingsFiles(port::systemEnvironment()).empty());
}
#endif

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
    };
    const Case cases[] = {
        {"emulator", 0x3F8},
        {"auto", 0x123},
        {"ioport", 0x379},  // never a status register, even as root
    };
    for (const Case& c : cases) {
        LayerRig rig(testsupport::withBackend(c.backend));
        rig.layer.Out32(c.port, 1);
        rig.layer.Out32(c.port, 2);
        ASSERT_EQ(rig.fatal.size(), 1u) << "said once, then the port stays shut";
        EXPECT_EQ(rig.fatal[0].what, port::Problem::UnsupportedAddress);
        EXPECT_EQ(rig.fatal[0].address, c.port);
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
    EXPECT_EQ(rig.fatal[0].what, port::Problem::PrepareFailed);
    EXPECT_EQ(rig.fatal[0].address, port::kLpt1);
    EXPECT_NE(rig.fatal[0].detail.find("directory_iterator"), std::string::npos);
    EXPECT_EQ(rig.layer.Inp32(port::kLpt1), 0) << "nothing went out";
}

TEST(PortLayer, AFailedWriteIsFatalAndNamesTheDeviceAndError) {
    LayerRig rig({}, [](std::int16_t, const port::PortConfig&) {
        return port::OpenResult{std::make_unique<FailingBackend>(), {}, {}};
    });
    for (int i = 0; i < 5; ++i) rig.layer.Out32(port::kLpt1, static_cast<std::int16_t>(i + 1));
    ASSERT_EQ(rig.fatal.size(), 1u);
    EXPECT_EQ(rig.fatal[0].what, port::Problem::WriteFailed);
    EXPECT_EQ(rig.fatal[0].description.device, "/dev/parport9");
    EXPECT_EQ(rig.fatal[0].err, ENODEV);
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
        port::Problem what;
        int err;
    };
    const Case cases[] = {
        {"/nonexistent-dir/trace.vcd", port::Problem::TraceOpenFailed, ENOENT},
        {held, port::Problem::TraceLocked, 0},
#ifndef _WIN32
        {"/dev/full", port::Problem::TraceWriteFailed, ENOSPC},
        {fifo, port::Problem::TraceNoReader, ENXIO},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        port::PortConfig config = testsupport::emulatorConfig();
        config.tracePath = c.path;
        LayerRig rig(config);
        ASSERT_EQ(rig.fatal.size(), 1u);
        EXPECT_EQ(rig.fatal[0].what, c.what);
        EXPECT_EQ(rig.fatal[0].err, c.err);
        EXPECT_EQ(rig.fatal[0].device, c.path);
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

#ifndef _WIN32
// A trace named through a link to the settings file would overwrite it: refused, the file
// untouched.
TEST(PortLayer, TheTraceIsNeverOneOfTheProgramsOwnFiles) {
    const std::string conf = testsupport::scratchPath("own_conf");
    const std::string link = conf + ".vcd";
    std::ofstream(conf) << "VELMORIN_DELAY=2\n";
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink(conf.c_str(), link.c_str()), 0);
    port::PortConfig config = testsupport::emulatorConfig();
    config.ownFiles = {"/nonexistent/velmorin.conf", conf};
    config.tracePath = link;
    LayerRig rig(config);
    ASSERT_EQ(rig.fatal.size(), 1u);
    EXPECT_EQ(rig.fatal[0].what, port::Problem::TraceIsOwnFile);
    EXPECT_EQ(rig.fatal[0].detail, conf);
    EXPECT_EQ(slurp(conf), "VELMORIN_DELAY=2\n");
    ::unlink(link.c_str());
    std::remove(conf.c_str());
}
#endif

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

}  // namespace
