// The port library backend over the fake system: how it loads, what it says when it
// cannot, and that each Out32 reaches the library's Out32 unchanged.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "fake_os.h"
#include "port/cable.h"
#include "port/ports.h"
#include "port/windows/inpout_backend.h"
#include "ui/messages.h"

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
    EXPECT_EQ(ui::panelName(r.backend->description()), "inpoutx64.dll");
    EXPECT_EQ(lib.os.calls, std::vector<std::string>{"load inpoutx64.dll"});
}

// Where the library is missing or unusable, a sentence says which file the program needs
// and what to do; auto without it falls back on the emulator, and says why.
TEST(Inpout, EachFailureSaysWhatToDo) {
    struct Case {
        const char* name;
        bool required;
        void (*arrange)(Library&);
        const char* said;  // the sentence, or with auto the panel's note
    };
    const Case cases[] = {
        {"auto, no library", false, [](Library& l) { l.os.libraries.clear(); },
         "inpoutx64.dll introuvable (cherchée dans : C:\\velmorin; C:\\windows\\system32) : "
         "afficheur émulé seul"},
        {"inpout, no library", true, [](Library& l) { l.os.libraries.clear(); },
         "inpoutx64.dll introuvable (cherchée dans : C:\\velmorin; C:\\windows\\system32) ; "
         "copiez inpoutx64.dll à côté de velmorin.exe"},
        {"only the 32-bit build", false,
         [](Library& l) {
             l.os.libraries.clear();
             l.os.nodes["C:\\velmorin\\inpout32.dll"].regularFile = true;
         },
         "seule inpout32.dll, la version 32 bits, est là : ce programme 64 bits a besoin "
         "d'inpoutx64.dll"},
        {"another bitness", false, [](Library& l) { l.os.libraryErrors["inpoutx64.dll"] = 193; },
         "inpoutx64.dll ne se charge pas (erreur 193 : ce n'est pas une bibliothèque 64 bits)"},
        {"no Out32", false, [](Library& l) { l.os.libraries["inpoutx64.dll"].erase("Out32"); },
         "inpoutx64.dll n'exporte pas Out32"},
        {"driver not installed", false,
         [](Library& l) {
             l.os.libraries["inpoutx64.dll"]["IsInpOutDriverOpen"] =
                 reinterpret_cast<void*>(&driverClosed);
         },
         "son pilote n'est pas installé ; installez-le une fois, en lançant velmorin.exe en "
         "administrateur"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Library lib;
        c.arrange(lib);
        const port::OpenResult r = lib.open(c.required);
        EXPECT_FALSE(r.backend);
        const std::string said = r.error ? ui::sentence(*r.error) : ui::panelNote(r.note);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
}

}  // namespace
