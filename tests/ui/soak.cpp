// Soak run, opt-in (./scripts/soak [minutes], default 10): Form1 offscreen with the real
// clock and the real 1 s timer. Checks that every tick sent three transmissions, that the
// emulated display shows the current time, and that memory does not grow.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "port/opener.h"
#include "port/port_layer.h"
#include "ui/clock_texts.h"
#include "ui/form1.h"
#include "ui/messages.h"

namespace {

// Counts writes on their way to the layer, without keeping them.
class CountingPort final : public port::PortWriter {
public:
    explicit CountingPort(port::PortWriter& next) : m_next(next) {}
    void Out32(std::int16_t p, std::int16_t v) noexcept override {
        ++count;
        m_next.Out32(p, v);
    }
    std::int16_t Inp32(std::int16_t p) noexcept override { return m_next.Inp32(p); }
    long count = 0;

private:
    port::PortWriter& m_next;
};

long rssKb() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    port::systemOs().time.reduceTimerSlack();
    port::SteadyClock clock;
    port::PortConfig config;
    config.mode = port::Mode::Emulator;
    port::Fatal fatal([](const port::Error& e) {
        std::fprintf(stderr, "soak: %s\n", ui::sentence(e).c_str());
        std::exit(1);
    });
    port::PortLayer layer(config, clock, clock, fatal, port::hardwareOpener());
    CountingPort counter(layer);
    Form1 form(counter, layer, clock, fatal);
    const QLocale locale = QLocale::system();

    // One transmission: init (43 writes), line change (6), 32 characters (6 each).
    constexpr long kWritesPerTick = 3 * (43 + 6 + 32 * 6);
    long ticks = 0, badTicks = 0, staleDisplay = 0, last = counter.count;
    long rssAfterWarmUp = 0, rssMax = 0;
    auto* timer = form.findChild<QTimer*>(QStringLiteral("Timer1"));
    QObject::connect(timer, &QTimer::timeout, &app, [&] {
        // Connected after Form1's own handler: the tick's transmissions are done.
        ++ticks;
        if (counter.count - last != kWritesPerTick) ++badTicks;
        last = counter.count;
        std::string shown;
        for (int c = 0; c < 20; ++c)
            shown += static_cast<char>(layer.display(888)->cell(0, c, {20, 2}).code);
        const QDateTime now = QDateTime::currentDateTime();
        const std::string a = ui::dateTimeText(now, locale).toStdString();
        const std::string b = ui::dateTimeText(now.addSecs(-1), locale).toStdString();
        if (shown.compare(0, a.size(), a) != 0 && shown.compare(0, b.size(), b) != 0)
            ++staleDisplay;
        const long rss = rssKb();
        if (ticks == 30) rssAfterWarmUp = rss;
        rssMax = std::max(rssMax, rss);
    });
    QTimer::singleShot(static_cast<int>(minutes * 60'000), &app, &QCoreApplication::quit);
    app.exec();

    const long growth = rssMax - rssAfterWarmUp;
    std::printf(
        "soak: %.1f min, %ld ticks, %ld ticks without three transmissions, %ld with a stale "
        "display, "
        "RSS after 30 ticks %ld KiB, max %ld KiB (growth %ld KiB), %llu timing violations\n",
        minutes, ticks, badTicks, staleDisplay, rssAfterWarmUp, rssMax, growth,
        static_cast<unsigned long long>(layer.display(888)->timing().count()));
    const bool ok = ticks >= static_cast<long>(minutes * 60 * 0.9) && badTicks == 0 &&
                    staleDisplay == 0 && growth < 1024 && layer.display(888)->timing().count() == 0;
    std::printf("%s\n", ok ? "soak: PASS" : "soak: FAIL");
    return ok ? 0 : 1;
}
