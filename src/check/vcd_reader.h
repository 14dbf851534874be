// A streaming reader of value change dumps (IEEE 1364 VCD) as logic analysers and trace
// writers make them: Velmorin's own traces, sigrok-cli's and PulseView's exports, and
// simulators'. It holds one buffer of the file at a time, never the whole.
//
// What it takes: any $timescale (1 ns, 10ps, 1 us ...); identifiers of any length; $scope
// nested to any depth; $dumpvars/$dumpall blocks; scalar changes (0! 1! x! z!) and vector
// ones (b1010 #, as many digits as the vector is wide or fewer, left-extended); real
// changes, skipped; $comment anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace check {

struct VcdVar {
    std::string scope;  // "libsigrok", "velmorin.lpt_0x378": the scopes, outermost first
    std::string name;   // "RS", "data"
    int width = 1;
    int lsb = 0;         // of a declared range data[7:0]: bit 0 of the value is data[lsb]
    std::size_t id = 0;  // index of its identifier: vars may share one
};

enum class VcdProblem : std::uint8_t {
    Unreadable,      // the source failed; err
    NoDefinitions,   // ended before $enddefinitions: not a VCD, or cut short
    UnclosedBlock,   // a $keyword without its $end; text: the keyword
    BadTimescale,    // text: what it said
    BadVar,          // a $var line that does not parse; text
    BadTime,         // a #time that is not a number; text
    TimeGoesBack,    // text: the time
    BadValue,        // a change that is neither scalar, vector nor real; text
    UnknownId,       // a change to an identifier no $var declared; text
    ValueWithoutId,  // a vector or real value at the end of the file
    TooLong,         // a word of more than kMaxToken bytes; text: its start
};

struct VcdError {
    VcdProblem what{};
    std::uint64_t line = 0;  // 1-based
    std::string text;
    int err = 0;
};

// "1 MHz", "200 kHz", "24000000": samples a second, or 0 where it is not a rate.
std::uint64_t parseSampleRate(const std::string& text);

class VcdReader {
public:
    // Fills buf with up to size bytes: the count, 0 at the end, or -errno.
    using Source = std::function<long(char* buf, std::size_t size)>;

    explicit VcdReader(Source source);

    // Reads up to $enddefinitions. False: error() says why.
    bool readHeader();
    const std::vector<VcdVar>& vars() const noexcept { return m_vars; }
    std::size_t idCount() const noexcept { return m_idCount; }
    // One unit of the file's times, in femtoseconds.
    std::uint64_t femtosecondsPerUnit() const noexcept { return m_fsPerUnit; }
    // The sample period a $comment states ("Acquisition with 6/6 channels at 1 MHz", as
    // sigrok writes it), in femtoseconds; 0 where none does.
    std::uint64_t periodFs() const noexcept { return m_periodFs; }

    struct Change {
        std::uint64_t time = 0;  // in the file's units
        std::size_t id = 0;
        std::uint64_t bits = 0;     // bit 0: the vector's last digit
        std::uint64_t unknown = 0;  // the digits that were x or z
    };
    // The next change. False at the end of the file, or on an error (error() set).
    bool next(Change& change);
    const std::optional<VcdError>& error() const noexcept { return m_error; }
    // At the end: the file's last line has no end, as a file cut short in the middle.
    bool lastLineCut() const noexcept { return m_eof && m_lastByte != '\n' && m_lastByte != 0; }
    static constexpr std::size_t kMaxToken = 1 << 20;
    std::uint64_t line() const noexcept { return m_line; }

private:
    bool token(std::string& out);
    bool skipBlock(const std::string& keyword);
    bool readUntilEnd(std::vector<std::string>& words, const std::string& keyword);
    bool fail(VcdProblem what, std::string text = {});
    bool fill();

    Source m_source;
    std::vector<char> m_buffer;
    std::size_t m_at = 0;
    std::size_t m_size = 0;
    bool m_eof = false;
    char m_lastByte = 0;
    std::uint64_t m_line = 1;
    std::uint64_t m_tokenLine = 1;
    std::vector<VcdVar> m_vars;
    std::unordered_map<std::string, std::size_t> m_ids;
    std::size_t m_idCount = 0;
    std::uint64_t m_fsPerUnit = 1'000'000;  // 1 ns, VCD's default
    std::uint64_t m_periodFs = 0;
    std::uint64_t m_time = 0;
    bool m_timeSeen = false;
    std::optional<VcdError> m_error;
    std::string m_token;
    std::string m_idToken;
};

}  // namespace check
