#include "port/trace/vcd_trace.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

#include "fake_os.h"
#include "scratch.h"
#include "vcd_reader.h"

namespace {

std::string traceOf(const std::function<void(port::VcdTrace&)>& body) {
    const std::string path = testsupport::scratchPath("vcd_trace_test") + ".vcd";
    std::optional<port::Error> error;
    const int fd = port::VcdTrace::openFile(port::systemOs(), path, error);
    EXPECT_GE(fd, 0);
    {
        port::VcdTrace trace(port::systemOs(), fd, {0x378, 0x278}, 5000, "test");
        body(trace);
    }
    std::ifstream in(path);
    std::string text(std::istreambuf_iterator<char>(in), {});
    std::remove(path.c_str());
    return text;
}

TEST(VcdTrace, DeclaresScopesAndWiresForEveryPort) {
    const auto vcd = testsupport::parseVcd(traceOf([](port::VcdTrace&) {}));
    ASSERT_TRUE(vcd.ok);
    EXPECT_EQ(vcd.timescale, "1 ns");
    std::map<std::string, int> seen;
    for (const auto& [id, v] : vcd.vars) seen[v.scope + "." + v.name + "/" + v.type] = v.width;
    for (const char* scope : {"lpt_0x378", "lpt_0x278"}) {
        const std::string s(scope);
        EXPECT_EQ(seen[s + ".data/wire"], 8);
        EXPECT_EQ(seen[s + ".writes/integer"], 32);
        for (const char* w : {"RS", "E", "D4", "D5", "D6", "D7"})
            EXPECT_EQ(seen[s + "." + w + "/wire"], 1) << w;
    }
}

TEST(VcdTrace, WritesParseBackWithTimesBitsAndCounts) {
    const auto vcd = testsupport::parseVcd(traceOf([](port::VcdTrace& t) {
        t.record(0x378, 0x93, 6000);
        t.record(0x378, 0x91, 6000);  // same nanosecond: placed 1 ns later
        t.record(0x278, 0x02, 9000);
        t.record(0x3BC, 0xFF, 9500);  // not declared: ignored
    }));
    ASSERT_TRUE(vcd.ok);
    EXPECT_TRUE(vcd.timesIncrease);
    const auto& data = vcd.of("lpt_0x378", "data");
    ASSERT_EQ(data.size(), 3u);
    EXPECT_EQ(data[0].value, "xxxxxxxx");
    EXPECT_EQ(data[1].t, 1000);
    EXPECT_EQ(data[1].value, "10010011");
    EXPECT_EQ(data[2].t, 1001);
    const auto& e = vcd.of("lpt_0x378", "E");
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[1].value, "1");
    EXPECT_EQ(e[2].value, "0");
    EXPECT_EQ(vcd.of("lpt_0x378", "D4").size(), 2u) << "unchanged wires are not repeated";
    EXPECT_EQ(vcd.of("lpt_0x278", "writes").back().value, "1");
    EXPECT_EQ(vcd.of("lpt_0x278", "E").back().t, 4000);
}

// Times are spelt from parts kept between records: the digits below the millisecond keep
// their zeros, those above change when the millisecond does.
TEST(VcdTrace, TimesPastAMillisecondKeepEveryDigit) {
    const auto vcd = testsupport::parseVcd(traceOf([](port::VcdTrace& t) {
        for (std::int64_t at : {999'999LL, 1'000'000LL, 1'000'007LL, 2'030'405LL, 12'345'678'901LL})
            t.record(0x378, static_cast<std::uint8_t>(at & 0xFF), 5'000 + at);
    }));
    ASSERT_TRUE(vcd.ok);
    const auto& writes = vcd.of("lpt_0x378", "writes");
    ASSERT_EQ(writes.size(), 6u);
    const std::int64_t expected[] = {999'999, 1'000'000, 1'000'007, 2'030'405, 12'345'678'901};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(writes[i + 1].t, expected[i]);
}

}  // namespace

namespace {

// Writes that fail part-way: a pipe that stops taking bytes, a full disk, a size limit.
// The trace gives up within its patience and never leaves a file ending inside a record.
TEST(VcdTrace, FailedWritesEndOnAWholeRecordAndPipesDoNotHang) {
    struct Case {
        const char* name;
        long accepted;  // bytes taken before the failure
        int failure;    // errno; EAGAIN: the pipe takes nothing more, for ever
        bool regular;
        int reported;
    };
    const Case cases[] = {
        {"stalled pipe", 700, EAGAIN, false, ETIMEDOUT},
        {"full disk", 700, ENOSPC, true, ENOSPC},
        {"size limit", 1, EFBIG, true, EFBIG},
        {"nothing at all", 0, ENOSPC, true, ENOSPC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::FakeOs os;
        os.regularFiles = c.regular;
        std::string offered, taken;
        bool header = true;  // the header goes out whole, as the layer flushes it at once
        std::size_t headerSize = 0;
        os.onWrite = [&](int, const void* data, std::size_t size) -> long {
            if (header) {
                headerSize += size;
                return static_cast<long>(size);
            }
            const std::string chunk(static_cast<const char*>(data), size);
            if (offered.empty()) offered = chunk;
            const long room = c.accepted - static_cast<long>(taken.size());
            if (room <= 0) return -c.failure;
            const long n = std::min(room, static_cast<long>(size));
            taken += chunk.substr(0, static_cast<std::size_t>(n));
            return n;
        };
        port::VcdTrace trace(os, 100, {0x378}, 0, "test");
        ASSERT_EQ(trace.flush(), 0);
        header = false;
        for (int i = 0; i < 40; ++i) trace.record(0x378, static_cast<std::uint8_t>(i), 1000 * i);
        const std::int64_t before = os.now;
        EXPECT_EQ(trace.flush(), c.reported);
        EXPECT_EQ(trace.flush(), c.reported) << "a trace with a hole is not written again";
        EXPECT_LE(os.now - before, 2'100'000'000) << "patience is about 2 s";
        if (!c.regular) {
            EXPECT_TRUE(os.truncatedTo.empty());
            continue;
        }
        ASSERT_EQ(os.truncatedTo.size(), 1u);
        const auto cut = static_cast<std::size_t>(os.truncatedTo[0]) - headerSize;
        EXPECT_LE(cut, taken.size());
        if (cut > 0) {
            EXPECT_EQ(offered[cut - 1], '\n');
        }
        EXPECT_EQ(offered[cut], '#') << "the next record, whole, is what was cut";
    }
}

// A caller that goes on recording after a write error never overruns the buffer (run under
// AddressSanitizer), and nothing more reaches the file.
TEST(VcdTrace, RecordsAfterAFailedWriteGoNowhere) {
    testsupport::FakeOs os;
    int writes = 0;
    os.onWrite = [&](int, const void*, std::size_t size) -> long {
        return ++writes == 1 ? static_cast<long>(size) : -ENOSPC;
    };
    port::VcdTrace trace(os, 100, {0x378}, 0, "test");
    ASSERT_EQ(trace.flush(), 0);
    trace.record(0x378, 1, 1);
    ASSERT_EQ(trace.flush(), ENOSPC);
    for (int i = 0; i < 20'000; ++i) trace.record(0x378, static_cast<std::uint8_t>(i), 10 + i);
    EXPECT_EQ(trace.flush(), ENOSPC);
    EXPECT_EQ(writes, 2);
}

#ifndef _WIN32
// Another program's POSIX record lock (lockf, fcntl) keeps the trace as firmly as a flock.
TEST(VcdTrace, APosixLockHeldElsewhereRefusesTheTrace) {
    const std::string path = testsupport::scratchPath("vcd_posix_lock") + ".vcd";
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(done[1]);  // so that the parent's close is an end of file here
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
        const bool locked = fd >= 0 && ::lockf(fd, F_LOCK, 0) == 0;
        char byte = locked ? 1 : 0;
        [[maybe_unused]] auto n = ::write(ready[1], &byte, 1);
        n = ::read(done[0], &byte, 1);  // until the parent has looked
        ::_exit(0);
    }
    ::close(done[0]);
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ASSERT_EQ(locked, 1);
    std::optional<port::Error> error;
    EXPECT_LT(port::VcdTrace::openFile(port::systemOs(), path, error), 0);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->what, port::Problem::TraceLocked);
    ::close(done[1]);
    ::waitpid(child, nullptr, 0);
    std::remove(path.c_str());
}

#endif

}  // namespace
