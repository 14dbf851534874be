// velmorin-check: a logic-analyser capture of a module's pins (VCD), decoded by the
// controller model and judged against the datasheet's timing. Status 0: the judged part is
// clean (warnings alone included); 1: timing violations after the wake-up; 2: a capture or
// an option it cannot read, or a capture where nothing executed.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "check/capture.h"
#include "check/sr_reader.h"
#include "check/vcd_reader.h"
#include "hd44780/modules.h"
#include "port/settings/settings.h"
#include "ui/check_texts.h"
#include "ui/timing_texts.h"

namespace {

constexpr int kClean = 0;
constexpr int kViolations = 1;
constexpr int kUnreadable = 2;

void say(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
}

int refuse(const std::string& sentence) {
    std::fflush(stdout);
    std::fprintf(stderr, "velmorin-check : %s\n", sentence.c_str());
    return kUnreadable;
}

// "12.5ms", "0.5 s", "1500000ns", "2" (seconds).
std::optional<std::int64_t> parseTime(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value) || value < 0) return std::nullopt;
    std::string unit(end);
    while (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
    const std::pair<const char*, double> units[] = {{"", 1e9},   {"s", 1e9},  {"ms", 1e6},
                                                    {"us", 1e3}, {"µs", 1e3}, {"ns", 1}};
    // A day is far past any capture; beyond it the nanoseconds would not fit.
    constexpr double kMaxNs = 86'400e9;
    for (const auto& [name, ns] : units)
        if (unit == name) {
            if (value * ns > kMaxNs) return std::nullopt;
            return static_cast<std::int64_t>(value * ns);
        }
    return std::nullopt;
}

struct Arguments {
    std::string file, map, scope;
    hd44780::Geometry module{16, 2};
    hd44780::Options options;
    bool instructions = false;
    std::optional<std::int64_t> at;
    const char* asked = nullptr;  // --help, --version: said on stdout, status 0
};

// The options, or the sentence that refuses them.
std::optional<std::string> parse(int argc, char** argv, Arguments& a) {
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!options || arg == "-" || !arg.starts_with("-")) {
            if (!a.file.empty()) return ui::check::usage();
            a.file = arg;
            continue;
        }
        if (arg == "--") {
            options = false;
            continue;
        }
        if (arg == "-h" || arg == "--help" || arg == "--version") {
            a.asked = arg == "--version" ? "version" : "help";
            return std::nullopt;
        }
        const bool valued = arg == "--map" || arg == "--module" || arg == "--oscillator" ||
                            arg == "--rom" || arg == "--at" || arg == "--scope";
        if (valued && i + 1 >= argc) return ui::check::usage();
        const std::string value = valued ? argv[++i] : "";
        if (arg == "--map") {
            if (value.empty()) return ui::check::mapProblem({}, {check::MapProblem::Empty, {}});
            a.map = value;
        } else if (arg == "--module" || arg == "--rom") {
            if (port::parseModule(value, a.module, a.options))
                return ui::check::badOption(arg, value);
        } else if (arg == "--oscillator") {
            const std::string khz = value.ends_with("khz") ? value : value + "khz";
            if (port::parseModule(khz, a.module, a.options))
                return ui::check::badOption(arg, value);
        } else if (arg == "--at") {
            a.at = parseTime(value);
            if (!a.at) return ui::check::badOption(arg, value);
        } else if (arg == "--scope") {
            a.scope = value;
        } else if (arg == "--instructions") {
            a.instructions = true;
        } else {
            return ui::check::usage();
        }
    }
    if (a.file.empty()) return ui::check::usage();
    return std::nullopt;
}

// A reader over a file opened for it; fclose when done.
check::VcdReader readerOf(std::FILE* f) {
    return check::VcdReader([f](char* buf, std::size_t size) -> long {
        const std::size_t n = std::fread(buf, 1, size, f);
        if (n == 0 && std::ferror(f)) return -EIO;
        return static_cast<long>(n);
    });
}

// Of the scopes that have the pins' names, the one whose E moves most: a trace of two
// ports where only one was driven. A first read of the whole file, counting.
std::string mostActive(const std::string& file,
                       const std::vector<std::pair<std::string, std::size_t>>& scopes) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return scopes.front().first;
    check::VcdReader reader = readerOf(f);
    std::vector<std::uint64_t> changes;
    if (reader.readHeader()) {
        changes.assign(reader.idCount(), 0);
        check::VcdReader::Change c;
        while (reader.next(c)) ++changes[c.id];
    }
    std::fclose(f);
    std::size_t best = 0;
    for (std::size_t i = 1; i < scopes.size() && !changes.empty(); ++i)
        if (changes[scopes[i].second] > changes[scopes[best].second]) best = i;
    return scopes[best].first;
}

// The report of a capture whose header is read, from the pins on. readError: the sentence
// for the reader's failure, if it failed; cut: the file ends mid-line.
template <class Reader, class ReadError>
int report(Reader& reader, Arguments& a, const std::string& scopeLine, ReadError readError,
           bool (*cut)(const Reader&)) {
    check::PinMap map;
    if (auto e = check::mapPins(reader.vars(), a.map, map, a.scope))
        return refuse(ui::check::mapProblem(a.file, *e));
    hd44780::Controller controller(a.options);
    say("velmorin-check : " + a.file);
    if (!scopeLine.empty()) say(scopeLine);
    say(ui::check::pinsChosen(check::describe(reader.vars(), map), map));
    say(ui::check::moduleLine(a.module, controller));
    const check::Judged j = check::judge(reader, map, controller, {a.at, a.instructions});
    if (const std::optional<std::string> failed = readError()) return refuse(*failed);
    say(ui::check::samplePeriod(j));
    if (const std::string s = ui::check::startState(j); !s.empty()) say(s);
    for (const std::string& line : ui::check::beforeWake(j)) say(line);
    for (const check::Executed& e : j.executed) say(ui::check::executed(e, controller.rom()));
    const bool pastTheEnd = a.at && *a.at > j.endNs;
    if (pastTheEnd) say(ui::check::pastTheEnd(*a.at, j.endNs));
    for (const std::string& line : ui::check::display(
             controller, a.module, pastTheEnd ? j.endNs : a.at.value_or(j.endNs), !a.at))
        say(line);
    if (const auto likely = check::likelyModule(j, a.module)) say(ui::check::moduleHint(*likely));
    say(ui::check::violationsHeading(j));
    for (const hd44780::Violation& v : j.violations) say("  " + ui::violationText(v, 0));
    say(ui::check::unresolvedHeading(j));
    for (const hd44780::Violation& v : j.unresolved) say("  " + ui::violationText(v, 0));
    say(ui::check::warningsHeading(j));
    for (const hd44780::Warning& w : j.warnings) say("  " + ui::warningText(w, 0));
    if (const std::string s = ui::check::unknownLevels(j); !s.empty()) say(s);
    if (j.rwHighNs) say(ui::check::readBack(*j.rwHighNs));
    if (cut(reader)) say(ui::check::lastLineCut(a.file));
    say(ui::check::summary(j));
    if (j.instructions + j.data == 0) return refuse(ui::check::nothingJudged(a.file, j));
    return j.violationCount == 0 ? kClean : kViolations;
}

// A zip archive (PulseView's .sr) starts with a local file header.
bool isArchive(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return false;
    char magic[4] = {};
    const bool zip = std::fread(magic, 1, 4, f) == 4 && std::string(magic, 4) == "PK\x03\x04";
    std::fclose(f);
    return zip;
}

int run(int argc, char** argv) {
    Arguments a;
    if (auto refused = parse(argc, argv, a)) return refuse(*refused);
    if (a.asked) {
        say(std::string(a.asked) == "version" ? ui::check::version() : ui::check::usage());
        return kClean;
    }
    // Looked at before it is opened: a FIFO or a device in its place is named, not read.
    std::error_code ec;
    const auto status = std::filesystem::status(a.file, ec);
    if (ec) return refuse(ui::check::unreadable(a.file, ec.value()));
    if (!std::filesystem::is_regular_file(status)) return refuse(ui::check::notAFile(a.file));
    if (isArchive(a.file)) {
        check::SrReader sr(a.file);
        if (!sr.readHeader()) return refuse(ui::check::srProblem(a.file, *sr.error()));
        return report(
            sr, a, {},
            [&]() -> std::optional<std::string> {
                if (!sr.error()) return std::nullopt;
                return ui::check::srProblem(a.file, *sr.error());
            },
            +[](const check::SrReader&) { return false; });
    }
    std::FILE* f = std::fopen(a.file.c_str(), "rb");
    if (!f) return refuse(ui::check::unreadable(a.file, errno));
    check::VcdReader reader = readerOf(f);
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};
    if (!reader.readHeader()) return refuse(ui::check::vcdProblem(a.file, *reader.error()));
    std::string scopeLine;
    if (a.map.empty() && a.scope.empty()) {
        const auto scopes = check::pinScopes(reader.vars());
        if (scopes.size() > 1) {
            a.scope = mostActive(a.file, scopes);
            std::vector<std::string> others;
            for (const auto& s : scopes)
                if (s.first != a.scope) others.push_back(s.first);
            scopeLine = ui::check::scopeChosen(a.scope, others);
        }
    }
    return report(
        reader, a, scopeLine,
        [&]() -> std::optional<std::string> {
            if (!reader.error()) return std::nullopt;
            return ui::check::vcdProblem(a.file, *reader.error());
        },
        +[](const check::VcdReader& r) { return r.lastLineCut(); });
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing thrown ends the program as an abort: a sentence and status 2.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        return refuse(ui::check::outOfMemory());
    } catch (...) {
        return refuse(ui::check::internalError());
    }
}
