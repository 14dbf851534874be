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
        // commented-out line stay, and so do the line's indentation and its comment.
        {"VELMORIN_LPT1=/dev/parport0\r\n# VELMORIN_LPT1=x\r\n  VELMORIN_LPT1 = COM3@picanlcd  # "
         "old\r\n",
         "COM3@lcdserializer",
         "VELMORIN_LPT1=/dev/parport0\r\n# "
         "VELMORIN_LPT1=x\r\n  VELMORIN_LPT1=COM3@lcdserializer  # old\r\n"},
        {"VELMORIN_LPT1 = \"emulator\"\t# second wins\n", "/dev/ttyACM0@lcdserializer",
         "VELMORIN_LPT1=/dev/ttyACM0@lcdserializer\t# second wins\n"},
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
// save goes through beside the leftover.
TEST(SettingsFile, AKillBeforeTheRenameLeavesTheOldFileWhole) {
    struct Killed {};
    testsupport::FakeOs os;
    const std::string file = "/home/u/.config/velmorin/velmorin.conf";
    os.texts[file] = "# mine\nVELMORIN_LPT1=/dev/parport0\n";
    os.onRename = [](const std::string&, const std::string&) { throw Killed{}; };
    EXPECT_THROW(port::saveSetting(os, file, "VELMORIN_LPT1", "/dev/i2c-1@0x27"), Killed);
    EXPECT_EQ(os.texts[file], "# mine\nVELMORIN_LPT1=/dev/parport0\n");

    os.onRename = nullptr;
    EXPECT_FALSE(port::saveSetting(os, file, "VELMORIN_LPT1", "/dev/i2c-1@0x27"));
    EXPECT_EQ(os.texts[file], "# mine\nVELMORIN_LPT1=/dev/i2c-1@0x27\n");
}

// A link is written through; the mode stays; a file the user may not write, or a folder in
// its place, is not replaced and is named; a stale temporary is no obstacle.
TEST(SettingsFile, TheFileIsReplacedAsTheUserKeepsIt) {
    const std::string file = "/u/velmorin.conf", dotfiles = "/u/dotfiles/velmorin.conf";
    const std::string before = "VELMORIN_LPT2=emulator  # kept\n";
    const struct {
        std::uint32_t mode;
        bool link, folder;
        int err;  // 0: saved
    } cases[] = {{0600, false, false, 0},
                 {0640, true, false, 0},
                 {0444, false, false, EACCES},
                 {0755, false, true, EINVAL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        testsupport::FakeOs os;
        const std::string real = c.link ? dotfiles : file;
        if (c.link) os.links[file] = dotfiles;
        os.texts[real] = before;
        os.texts[real + ".new"] = "a leftover";
        os.modes[real] = c.mode;
        if (c.folder) os.nodes[real].directory = true;
        const auto failed = port::saveSetting(os, file, "VELMORIN_LPT1", "x");
        EXPECT_EQ(failed ? failed->err : 0, c.err);
        EXPECT_EQ(failed ? failed->file : real, real);
        EXPECT_EQ(os.texts[real], c.err ? before : before + "VELMORIN_LPT1=x\n");
        EXPECT_EQ(os.modes[real], c.mode);
        EXPECT_EQ(os.texts.count(file) + os.links.count(file), 1u);  // a link stays a link
        EXPECT_EQ(os.texts[real + ".new"], "a leftover");
    }
}

TEST(SettingsFile, WhatCannotBeWrittenIsSaid) {
    testsupport::FakeOs os;
    const std::string file = "/home/u/.config/velmorin/velmorin.conf";
    // No file, no folder: the folder is made.
    EXPECT_FALSE(port::saveSetting(os, file, "VELMORIN_LPT2", "emulator"));
    EXPECT_EQ(os.texts[file], "VELMORIN_LPT2=emulator\n");
    EXPECT_EQ(std::vector<std::string>(os.calls.begin(), os.calls.begin() + 3),
              (std::vector<std::string>{"mkdir /home", "mkdir /home/u", "mkdir /home/u/.config"}));
    EXPECT_EQ(os.calls[3], "mkdir /home/u/.config/velmorin");
    // A temporary that cannot be made: the folder is named.
    os.openErrno[file + ".new"] = EACCES;
    const auto failed = port::saveSetting(os, file, "VELMORIN_LPT2", "x");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->err, EACCES);
    EXPECT_EQ(failed->file, "/home/u/.config/velmorin");
    EXPECT_EQ(os.texts[file], "VELMORIN_LPT2=emulator\n");
}

}  // namespace
