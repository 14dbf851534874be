#include "check/sr_reader.h"

#include <zip.h>

#include <bit>
#include <cstdlib>

static_assert(check::kZipNotAnArchive == ZIP_ER_NOZIP && check::kZipInconsistent == ZIP_ER_INCONS);

namespace check {
namespace {

constexpr std::uint64_t kFsPerSecond = 1'000'000'000'000'000;
constexpr std::uint64_t kMaxMetadata = 1 << 20;  // a few hundred bytes in practice
constexpr std::size_t kSessionBuffer = 64 * 1024;
// A sample number times 10^12 overflows 64 bits past 18 million samples: 128 bits.
__extension__ using Wide = unsigned __int128;

std::string sessionTrimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t\r");
    const std::size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

}  // namespace

struct SrReader::Archive {
    zip_t* zip = nullptr;
    zip_file_t* file = nullptr;
    ~Archive() {
        if (file) zip_fclose(file);
        if (zip) zip_discard(zip);  // read only: nothing to write back
    }
};

SrReader::SrReader(const std::string& path)
    : m_path(path), m_archive(std::make_unique<Archive>()) {}

SrReader::~SrReader() = default;

bool SrReader::fail(SrProblem what, std::string text) {
    if (!m_error) m_error = SrError{what, std::move(text)};
    return false;
}

bool SrReader::readHeader() {
    int code = 0;
    m_archive->zip = zip_open(m_path.c_str(), ZIP_RDONLY, &code);
    if (!m_archive->zip) {
        fail(SrProblem::NotAnArchive);
        m_error->code = code;
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(m_archive->zip, "metadata", 0, &st) != 0) return fail(SrProblem::NoMetadata);
    if (!(st.valid & ZIP_STAT_SIZE) || st.size > kMaxMetadata)
        return fail(SrProblem::BadMetadata, "metadata");
    std::string text(static_cast<std::size_t>(st.size), '\0');
    zip_file_t* f = zip_fopen(m_archive->zip, "metadata", 0);
    const zip_int64_t n = f ? zip_fread(f, text.data(), text.size()) : -1;
    if (f) zip_fclose(f);
    if (n != static_cast<zip_int64_t>(text.size())) return fail(SrProblem::Unreadable, "metadata");

    // The first device's keys; the channels by number.
    std::size_t probes = 0;
    std::vector<std::string> names;
    std::string section, rate, unit;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = sessionTrimmed(text.substr(at, end - at));
        at = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[') {
            section = line;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) return fail(SrProblem::BadMetadata, line);
        if (section != "[device 1]") continue;
        const std::string key = sessionTrimmed(line.substr(0, eq)),
                          value = sessionTrimmed(line.substr(eq + 1));
        if (key == "capturefile") {
            m_capture = value;
        } else if (key == "total probes") {
            probes = static_cast<std::size_t>(std::strtoul(value.c_str(), nullptr, 10));
            if (probes == 0 || probes > kMaxChannels)
                return fail(SrProblem::TooManyChannels, value);
        } else if (key == "samplerate") {
            rate = value;
        } else if (key == "unitsize") {
            unit = value;
        } else if (key.starts_with("probe")) {
            const unsigned long i = std::strtoul(key.c_str() + 5, nullptr, 10);
            if (i >= 1 && i <= kMaxChannels) {
                if (names.size() < i) names.resize(i);
                names[i - 1] = value;
            }
        }
    }
    if (probes == 0) return fail(SrProblem::BadMetadata, "total probes");
    if (rate.empty()) return fail(SrProblem::BadMetadata, "samplerate");
    if ((m_rate = parseSampleRate(rate)) == 0) return fail(SrProblem::BadSamplerate, rate);
    m_unit = unit.empty() ? (probes + 7) / 8 : std::strtoul(unit.c_str(), nullptr, 10);
    if (m_unit < (probes + 7) / 8 || m_unit > 8) return fail(SrProblem::BadUnitSize, unit);
    for (std::size_t i = 0; i < probes; ++i) {
        // sigrok's own names where the file gives none: D0, D1 ...
        const std::string name =
            i < names.size() && !names[i].empty() ? names[i] : "D" + std::to_string(i);
        m_vars.push_back(VcdVar{{}, name, 1, 0, i});
    }
    // Times in samples where that is exact in nanoseconds, else in picoseconds.
    m_periodFs = kFsPerSecond / m_rate;
    const bool exact =
        kFsPerSecond % m_rate == 0 &&
        (m_periodFs >= 1'000'000 ? m_periodFs % 1'000'000 == 0 : 1'000'000 % m_periodFs == 0);
    m_inSamples = exact;
    m_fsPerUnit = exact ? m_periodFs : 1'000;
    m_buffer.resize(kSessionBuffer - kSessionBuffer % m_unit);
    if (!openChunk()) return m_error ? false : fail(SrProblem::NoSamples);
    return true;
}

bool SrReader::openChunk() {
    if (m_archive->file) {
        zip_fclose(m_archive->file);
        m_archive->file = nullptr;
    }
    const std::string name = m_capture + "-" + std::to_string(++m_chunk);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(m_archive->zip, name.c_str(), 0, &st) != 0) return false;  // the last one
    if ((st.valid & ZIP_STAT_SIZE) && st.size % m_unit != 0)
        return fail(SrProblem::ChunkSize, name);
    m_archive->file = zip_fopen(m_archive->zip, name.c_str(), 0);
    return m_archive->file ? true : fail(SrProblem::Unreadable, name);
}

bool SrReader::nextSample() {
    if (m_at == m_size) {
        m_at = m_size = 0;
        while (m_archive->file && m_size == 0) {
            // A whole buffer where the chunk has it: samples never straddle two reads.
            while (m_size < m_buffer.size()) {
                const zip_int64_t n =
                    zip_fread(m_archive->file, m_buffer.data() + m_size, m_buffer.size() - m_size);
                if (n < 0)
                    return fail(SrProblem::Unreadable, m_capture + "-" + std::to_string(m_chunk));
                if (n == 0) break;
                m_size += static_cast<std::size_t>(n);
            }
            if (m_size % m_unit != 0)
                return fail(SrProblem::ChunkSize, m_capture + "-" + std::to_string(m_chunk));
            if (m_size == 0 && !openChunk()) return false;
        }
        if (m_size == 0) return false;
    }
    std::uint64_t v = 0;
    for (std::size_t b = 0; b < m_unit; ++b)
        v |= static_cast<std::uint64_t>(m_buffer[m_at + b]) << (8 * b);
    m_at += m_unit;
    const std::uint64_t mask =
        m_vars.size() == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << m_vars.size()) - 1;
    if (m_started) {
        ++m_sample;
        m_pending = (v ^ m_value) & mask;
    } else {
        m_started = true;
        m_pending = mask;  // the first sample: every channel's first value
    }
    m_value = v;
    return true;
}

bool SrReader::next(Change& change) {
    while (m_pending == 0) {
        if (m_done || !nextSample()) {
            m_done = true;
            return false;
        }
    }
    const int bit = std::countr_zero(m_pending);
    m_pending &= m_pending - 1;
    change.time =
        m_inSamples
            ? m_sample
            : static_cast<std::uint64_t>(static_cast<Wide>(m_sample) * 1'000'000'000'000 / m_rate);
    change.id = static_cast<std::size_t>(bit);
    change.bits = (m_value >> bit) & 1;
    change.unknown = 0;
    return true;
}

}  // namespace check
