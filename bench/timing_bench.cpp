// Bus timing and handler wall time on the real clock, over the emulator backend.
//
// Prints a markdown table: the enable pulse against the datasheet, timing-checker
// violations over 100 transmissions, the wall and CPU time of LCD_Init, one transmission
// and one timer tick against their floors, and the peak memory after a minute of ticking.
#include <sys/resource.h>
#include <sys/utsname.h>
#include <time.h>

#include <QApplication>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "lcd/lcd_driver.h"
#include "port/opener.h"
#include "port/port_layer.h"
#include "recorder.h"
#include "ui/form1.h"
#include "ui/messages.h"

namespace {

struct Stats {
    double min = 0, median = 0, max = 0;
};

Stats stats(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

double cpuNowMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

std::string machineLine() {
    utsname u{};
    uname(&u);
    std::string cpu = "unknown CPU";
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    char buf[512];
    std::snprintf(buf, sizeof buf, "%s, %ld cores, Linux %s", cpu.c_str(),
                  sysconf(_SC_NPROCESSORS_ONLN), u.release);
    return buf;
}

long peakRssKb() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

struct Rig {
    explicit Rig(hd44780::Oscillator osc = hd44780::Oscillator::k270kHz, int delay = 1)
        : layer(config(osc, delay), clock, clock, fatalPath, port::hardwareOpener()) {}
    static port::PortConfig config(hd44780::Oscillator osc, int delay) {
        port::PortConfig c;
        c.mode = port::Mode::Emulator;
        c.emulator.oscillator = osc;
        c.delay = delay;
        return c;
    }
    static void fatal(const port::Error& e) {
        std::fprintf(stderr, "bench: %s\n", ui::sentence(e).c_str());
        std::exit(1);
    }
    // Form1 over the recorder, on the layer's (stretched) time.
    std::unique_ptr<Form1> form() {
        auto f = std::make_unique<Form1>(rec, rec, layer, fatalPath);
        f->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
        return f;
    }
    port::SteadyClock clock;
    port::Fatal fatalPath{fatal};
    port::PortLayer layer;
    port::testing::Recorder rec{clock, layer, &layer};
};

struct Timed {
    double wallMs, cpuMs;
};

template <typename F>
std::vector<Timed> timeRuns(int n, F&& f) {
    port::SteadyClock clock;
    std::vector<Timed> out;
    for (int i = 0; i < n; ++i) {
        const double c0 = cpuNowMs();
        const auto t0 = clock.nowNs();
        f();
        out.push_back({static_cast<double>(clock.nowNs() - t0) / 1e6, cpuNowMs() - c0});
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool slackReduced = port::systemOs().time.reduceTimerSlack();
    const int soakSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    std::string out;
    auto line = [&out](const std::string& s) {
        out += s + "\n";
        std::printf("%s\n", s.c_str());
        std::fflush(stdout);
    };
    char buf[512];

    line("# Velmorin timing benchmark");
    line("");
    line("Machine: " + machineLine() +
         ". Real clock, emulator backend, Release build, timer slack " +
         (slackReduced ? "1 us" : "default") + ".");
    line("");

    // --- enable pulse and latch spacing, over 100 transmissions through Form1.
    Rig rig;
    const auto formPtr = rig.form();
    Form1& form = *formPtr;
    auto* text = form.findChild<QTextEdit*>(QStringLiteral("Text1"));
    rig.rec.clear();
    std::vector<Timed> sends;
    for (int i = 0; i < 100; ++i) {
        text->setPlainText(QStringLiteral("Bonjour à tous, été 2026 ! %1").arg(i));
        auto t = timeRuns(1, [&] { form.Command2_Click(); });
        sends.push_back(t[0]);
    }
    std::vector<double> high, cycle, low, latch;
    std::int64_t lastRise = -1, lastFall = -1;
    std::uint8_t prev = 0;
    for (const auto& e : rig.rec.events()) {
        if (e.kind != port::testing::Event::Kind::Write) continue;
        const auto v = static_cast<std::uint8_t>(e.value);
        const bool rise = !(prev & 2) && (v & 2), fall = (prev & 2) && !(v & 2);
        if (rise) {
            if (lastRise >= 0) cycle.push_back(static_cast<double>(e.atNs - lastRise) / 1e3);
            if (lastFall >= 0) low.push_back(static_cast<double>(e.atNs - lastFall) / 1e3);
            lastRise = e.atNs;
        }
        if (fall) {
            high.push_back(static_cast<double>(e.atNs - lastRise));
            if (lastFall >= 0) latch.push_back(static_cast<double>(e.atNs - lastFall) / 1e3);
            lastFall = e.atNs;
        }
        prev = v;
    }
    const Stats h = stats(high), c = stats(cycle), l = stats(low), la = stats(latch);
    line("## Enable pulse (100 transmissions, " + std::to_string(high.size()) + " pulses)");
    line("");
    line("| Measure | Min | Median | Max | Datasheet / target |");
    line("|---|---|---|---|---|");
    std::snprintf(buf, sizeof buf,
                  "| E high | %.0f ns | %.0f ns | %.0f ns | >= 230 ns (5 V), >= 450 ns (2.7 V); "
                  "target 2500 ns |",
                  h.min, h.median, h.max);
    line(buf);
    std::snprintf(buf, sizeof buf,
                  "| E cycle (rise to rise) | %.2f us | %.2f us | %.0f us | >= 0.5 us |", c.min,
                  c.median, c.max);
    line(buf);
    std::snprintf(buf, sizeof buf,
                  "| E low phase (fall to rise) | %.2f us | %.2f us | %.0f us | target 50 us |",
                  l.min, l.median, l.max);
    line(buf);
    std::snprintf(buf, sizeof buf,
                  "| Latch to latch (fall to fall) | %.2f us | %.2f us | %.0f us | >= 41 us after "
                  "a data write, 1.52 ms after clear/home (270 kHz) |",
                  la.min, la.median, la.max);
    line(buf);
    line("");

    // --- timing checker over the same 100 transmissions; a slow clone at VELMORIN_DELAY 1
    // and 2. A latch while busy is lost, as on the part.
    line("## Timing-checker violations (start-up + 100 transmissions)");
    line("");
    line("| Module | VELMORIN_DELAY | Violations | Of which: latches while busy | Line 1 shown |");
    line("|---|---|---|---|---|");
    auto violationRow = [&](const char* name, int delay, const hd44780::Controller& lcd) {
        std::string shown;
        for (int col = 0; col < 20; ++col) {
            const auto code = lcd.cell(0, col, {20, 2}).code;
            shown += code >= 0x20 && code < 0x7F ? static_cast<char>(code) : '.';
        }
        std::snprintf(buf, sizeof buf, "| %s | %d | %llu | %llu | `%s` |", name, delay,
                      static_cast<unsigned long long>(lcd.timing().count()),
                      static_cast<unsigned long long>(
                          lcd.timing().count(hd44780::ViolationKind::LatchWhileBusy)),
                      shown.c_str());
        line(buf);
    };
    violationRow("270 kHz", 1, *rig.layer.display(888));
    for (int delay : {1, 2}) {
        Rig slow(hd44780::Oscillator::k190kHz, delay);
        const auto slowForm = slow.form();
        auto* t2 = slowForm->findChild<QTextEdit*>(QStringLiteral("Text1"));
        for (int i = 0; i < 100; ++i) {
            t2->setPlainText(QStringLiteral("Bonjour à tous, été 2026 ! %1").arg(i));
            slowForm->Command2_Click();
        }
        violationRow("190 kHz (slow clone)", delay, *slow.layer.display(888));
    }
    line("");

    // --- handler wall time against the floors.
    // One half-byte: E high plus E low.
    const double pulseMs = static_cast<double>(lcd::kStrobeHighNs + lcd::kStrobeLowNs) / 1e6;
    const double initFloor = 16 + 7 * 2 + 14 * pulseMs;
    const double sendFloor = initFloor + 2 + (2 + 64) * pulseMs;
    const double tickFloor = 3 * sendFloor;
    auto initRuns = timeRuns(50, [&] { form.LCD_Init(); });
    text->setPlainText(QStringLiteral("x"));
    auto tickRuns = timeRuns(20, [&] { form.Timer1_Timer(); });
    line("## Handler time (wall and CPU)");
    line("");
    line(
        "| Operation | Runs | Floor | Wall min | Wall median | Wall max | Median / floor | CPU "
        "median |");
    line("|---|---|---|---|---|---|---|---|");
    auto row = [&](const char* name, const std::vector<Timed>& runs, double floor) {
        std::vector<double> w, cp;
        for (const auto& r : runs) w.push_back(r.wallMs), cp.push_back(r.cpuMs);
        const Stats ws = stats(w), cs = stats(cp);
        std::snprintf(buf, sizeof buf,
                      "| %s | %zu | %.1f ms | %.2f ms | %.2f ms | %.2f ms | %.3f | %.2f ms |", name,
                      runs.size(), floor, ws.min, ws.median, ws.max, ws.median / floor, cs.median);
        line(buf);
    };
    row("`LCD_Init`", initRuns, initFloor);
    row("`Command2_Click` (32 characters)", sends, sendFloor);
    row("`Timer1_Timer` (three transmissions)", tickRuns, tickFloor);
    for (int delay : {1, 2, 4}) {
        Rig stretched(hd44780::Oscillator::k270kHz, delay);
        const auto f = stretched.form();
        f->findChild<QTextEdit*>(QStringLiteral("Text1"))->setPlainText(QStringLiteral("x"));
        const std::string name = "`Command2_Click`, VELMORIN_DELAY=" + std::to_string(delay) +
                                 " (floor x " + std::to_string(delay) + ")";
        row(name.c_str(), timeRuns(20, [&] { f->Command2_Click(); }), sendFloor * delay);
    }
    line("");
    line(
        "The floor is the specified sleeps plus 52.5 us per half-byte (2.5 us E high + 50 us low). "
        "CPU time is "
        "what the busy-waits spend: the pulses spin by design.");
    line("");

    // --- peak memory after ticking with the real timer.
    if (soakSeconds > 0) {
        Rig tickRig;
        Form1 ticking(tickRig.layer, tickRig.layer, tickRig.layer, tickRig.fatalPath);
        QTimer::singleShot(soakSeconds * 1000, &app, &QCoreApplication::quit);
        app.exec();
        std::snprintf(
            buf, sizeof buf,
            "## Memory\n\nPeak RSS after %d s of ticking with the real 1 s timer: %ld KiB.",
            soakSeconds, peakRssKb());
        line(buf);
        line("");
    }

    const char* path = std::getenv("VELMORIN_BENCH_OUT");
    if (path) std::ofstream(path) << out;
    return 0;
}
