#include "port/vcd_trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

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

}  // namespace
