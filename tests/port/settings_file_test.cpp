#include <gtest/gtest.h>

#include <cerrno>

#include "fake_os.h"
#include "port/settings/settings.h"

namespace {

// One line changed, every other byte kept.
TEST(SettingsFile, TheSettingsLineIsRewrittenInPlace) {
    struct Case {
        const char* before;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        {"", "/dev/i2c-1@0x27", "VELMORIN_LPT1=/dev/i2c-1@0x27\n"},
        {"# mine\nVELMORIN_DELAY=2", "emulator",
         "# mine\nVELMORIN_DELAY=2\nVELMORIN_LPT1=emulator\n"},
        // The last line wins when read: it is the one changed; the comment and the
        // commented-out line stay.
        {"VELMORIN_LPT1=/dev/parport0\r\n# VELMORIN_LPT1=x\r\n  VELMORIN_LPT1 = COM3@picanlcd  # "
         "old\r\n",
         "COM3@lcdserializer",
         "VELMORIN_LPT1=/dev/parport0\r\n# "
         "VELMORIN_LPT1=x\r\nVELMORIN_LPT1=COM3@lcdserializer\r\n"},
        {"VELMORIN_LPT12=a\nVELMORIN_LPT2=b\n", "/dev/gpiochip0@0,1,2,3,4,5",
         "VELMORIN_LPT12=a\nVELMORIN_LPT2=b\nVELMORIN_LPT1=/dev/gpiochip0@0,1,2,3,4,5\n"},
        {"", "a #b", "VELMORIN_LPT1=\"a #b\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        EXPECT_EQ(port::withSetting(c.before, "VELMORIN_LPT1", c.value), c.after);
    }
}

// Killed between the write and the rename, the program leaves the old file whole; the next
// save goes through over the leftover.
TEST(SettingsFile, AKillBeforeTheRenameLeavesTheOldFileWhole) {
    struct Killed {};
    testsupport::FakeOs os;
    const std::string file = "/home/u/.config/velmorin/velmorin.conf";
    os.texts[file] = "# mine\nVELMORIN_LPT1=/dev/parport0\n";
    os.onRename = [](const std::string&, const std::string&) { throw Killed{}; };
    EXPECT_THROW(port::saveSetting(os, file, "VELMORIN_LPT1", "/dev/i2c-1@0x27"), Killed);
    EXPECT_EQ(os.texts[file], "# mine\nVELMORIN_LPT1=/dev/parport0\n");
    EXPECT_EQ(os.texts[file + ".new"], "# mine\nVELMORIN_LPT1=/dev/i2c-1@0x27\n");

    os.onRename = nullptr;
    EXPECT_EQ(port::saveSetting(os, file, "VELMORIN_LPT1", "/dev/i2c-1@0x27"), 0);
    EXPECT_EQ(os.texts[file], "# mine\nVELMORIN_LPT1=/dev/i2c-1@0x27\n");
    EXPECT_EQ(os.texts.count(file + ".new"), 0u);
}

TEST(SettingsFile, WhatCannotBeWrittenIsSaid) {
    testsupport::FakeOs os;
    const std::string file = "/home/u/.config/velmorin/velmorin.conf";
    // No file, no folder: the folder is made.
    EXPECT_EQ(port::saveSetting(os, file, "VELMORIN_LPT2", "emulator"), 0);
    EXPECT_EQ(os.texts[file], "VELMORIN_LPT2=emulator\n");
    EXPECT_EQ(std::vector<std::string>(os.calls.begin(), os.calls.begin() + 3),
              (std::vector<std::string>{"mkdir /home", "mkdir /home/u", "mkdir /home/u/.config"}));
    EXPECT_EQ(os.calls[3], "mkdir /home/u/.config/velmorin");
    // A folder in its place; a temporary that will not open.
    os.nodes[file].directory = true;
    EXPECT_EQ(port::saveSetting(os, file, "VELMORIN_LPT2", "emulator"), EINVAL);
    os.nodes.erase(file);
    os.openErrno[file + ".new"] = EACCES;
    EXPECT_EQ(port::saveSetting(os, file, "VELMORIN_LPT2", "x"), EACCES);
    EXPECT_EQ(os.texts[file], "VELMORIN_LPT2=emulator\n");
}

}  // namespace
