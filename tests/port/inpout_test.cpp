// The port library backend over the fake system: how it loads, what it says when it
// cannot, and that each Out32 reaches the library's Out32 unchanged.
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "fake_os.h"
#include "port/cable.h"
#include "port/parport/windows/inpout_backend.h"
#include "port/ports.h"

namespace {

std::vector<std::pair<short, short>> g_written;
void recordOut32(short port, short data) {
    g_written.emplace_back(port, data);
}
int driverOpen() {
    return 1;
}
int driverClosed() {
    return 0;
}

struct Library {
    testsupport::FakeOs os;
    Library() {
        os.libraries["inpoutx64.dll"] = {
            {"Out32", reinterpret_cast<void*>(&recordOut32)},
            {"IsInpOutDriverOpen", reinterpret_cast<void*>(&driverOpen)}};
    }
    port::OpenResult open(bool required = false) {
        port::OpenResult r = port::inpout::kInpout.openAt(port::kSupportedPorts[1], required, os);
        port::own(port::inpout::kInpout, r);
        return r;
    }
};

TEST(Inpout, EachOut32GoesToTheLibraryUnchanged) {
    g_written.clear();
    Library lib;
    port::OpenResult r = lib.open();
    ASSERT_TRUE(r.backend && !r.error);
    for (std::uint8_t b : {0x00, 0x31, 0x33, 0xF2}) r.backend->write(port::kParallelCable.pins(b));
    const std::vector<std::pair<short, short>> expected{
        {0x278, 0x00}, {0x278, 0x31}, {0x278, 0x33}, {0x278, 0xF2}};
    EXPECT_EQ(g_written, expected);
    EXPECT_EQ(r.backend->description().device, "inpoutx64.dll");
    EXPECT_EQ(lib.os.calls, std::vector<std::string>{"load inpoutx64.dll"});
}

// Where the library is missing or unusable, the error says which and what fits; auto
// without it falls back on the emulator, with a note of where it looked.
TEST(Inpout, EachFailureIsNamed) {
    using P = port::inpout::Problem;
    struct Case {
        const char* name;
        bool required;
        void (*arrange)(Library&);
        std::optional<P> problem;  // none: the emulator, with a note
        port::inpout::Hint hint = port::inpout::Hint::None;
        long number = 0;
    };
    const Case cases[] = {
        {"auto, no library", false, [](Library& l) { l.os.libraries.clear(); }, {}},
        {"inpout, no library", true, [](Library& l) { l.os.libraries.clear(); }, P::LibraryMissing},
        {"only the 32-bit build", false,
         [](Library& l) {
             l.os.libraries.clear();
             l.os.nodes["C:\\velmorin\\inpout32.dll"].regularFile = true;
         },
         P::LibraryMissing, port::inpout::Hint::Library32Only},
        {"another bitness", false, [](Library& l) { l.os.libraryErrors["inpoutx64.dll"] = 193; },
         P::WrongBits, port::inpout::Hint::None, 193},
        {"no Out32", false, [](Library& l) { l.os.libraries["inpoutx64.dll"].erase("Out32"); },
         P::NoOut32},
        {"driver not installed", false,
         [](Library& l) {
             l.os.libraries["inpoutx64.dll"]["IsInpOutDriverOpen"] =
                 reinterpret_cast<void*>(&driverClosed);
         },
         P::DriverClosed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Library lib;
        c.arrange(lib);
        const port::OpenResult r = lib.open(c.required);
        EXPECT_FALSE(r.backend);
        if (!c.problem) {
            ASSERT_FALSE(r.error);
            EXPECT_STREQ(r.note.backend, "inpout");
            EXPECT_EQ(r.note.detail, "inpoutx64.dll");
            EXPECT_EQ(r.note.searched, "C:\\velmorin; C:\\windows\\system32");
            continue;
        }
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->what, port::Problem::Backend);
        EXPECT_STREQ(r.error->backend, "inpout");
        EXPECT_EQ(r.error->code, port::codeOf(*c.problem));
        EXPECT_EQ(r.error->hint, port::codeOf(c.hint));
        EXPECT_EQ(r.error->number, c.number);
        EXPECT_EQ(r.error->device, "inpoutx64.dll");
    }
}

}  // namespace
