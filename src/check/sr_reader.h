// A reader of sigrok's session files (.sr), as PulseView saves them by default: a zip
// archive holding "metadata" (an INI text: the channels' names, the sample rate, the bytes
// a sample) and the logic samples in chunks "logic-1-1", "logic-1-2" ..., each a run of
// samples of unitsize bytes, bit i of a sample being channel i + 1. The archive is read
// through libzip, one chunk at a time, a buffer at a time: never whole.
//
// It gives what VcdReader gives: one variable a channel, and the changes in time order,
// the first sample's values first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check/vcd_reader.h"

namespace check {

enum class SrProblem : std::uint8_t {
    NotAnArchive,     // libzip cannot open it; code: libzip's ZIP_ER_*
    NoMetadata,       // no "metadata" in the archive
    BadMetadata,      // text: the line that does not parse, or the key missing
    TooManyChannels,  // text: the count
    BadUnitSize,      // text: the unitsize given
    BadSamplerate,    // text: the rate given
    NoSamples,        // no logic chunk
    ChunkSize,        // text: the chunk whose size is not a whole number of samples
    Unreadable,       // text: the chunk that could not be read
};

struct SrError {
    SrProblem what{};
    std::string text;
    int code = 0;
};
// libzip's codes the sentences tell apart.
inline constexpr int kZipNotAnArchive = 19;  // ZIP_ER_NOZIP
inline constexpr int kZipInconsistent = 21;  // ZIP_ER_INCONS

class SrReader {
public:
    using Change = VcdReader::Change;
    static constexpr std::size_t kMaxChannels = 64;

    explicit SrReader(const std::string& path);
    ~SrReader();
    SrReader(const SrReader&) = delete;
    SrReader& operator=(const SrReader&) = delete;

    // Opens the archive and reads its metadata. False: error() says why.
    bool readHeader();
    const std::vector<VcdVar>& vars() const noexcept { return m_vars; }
    std::size_t idCount() const noexcept { return m_vars.size(); }
    std::uint64_t femtosecondsPerUnit() const noexcept { return m_fsPerUnit; }
    // The sample period the metadata gives, in femtoseconds.
    std::uint64_t periodFs() const noexcept { return m_periodFs; }
    std::uint64_t sampleRate() const noexcept { return m_rate; }
    bool next(Change& change);
    const std::optional<SrError>& error() const noexcept { return m_error; }

private:
    bool fail(SrProblem what, std::string text = {});
    bool openChunk();
    bool nextSample();

    std::string m_path;
    struct Archive;
    std::unique_ptr<Archive> m_archive;
    std::vector<VcdVar> m_vars;
    std::string m_capture = "logic-1";
    std::uint64_t m_rate = 0;
    std::size_t m_unit = 1;
    std::uint64_t m_fsPerUnit = 1'000;  // 1 ps, where the rate does not divide a second
    bool m_inSamples = false;           // times are sample numbers (the rate divides)
    std::uint64_t m_periodFs = 0;
    std::optional<SrError> m_error;
    // Streaming: the chunk being read, its buffer, the sample and what changed in it.
    int m_chunk = 0;
    std::vector<unsigned char> m_buffer;
    std::size_t m_at = 0, m_size = 0;
    std::uint64_t m_sample = 0;  // the number of the sample in m_value
    std::uint64_t m_value = 0, m_pending = 0;
    bool m_started = false, m_done = false;
};

}  // namespace check
