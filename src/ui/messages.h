// Every sentence the program says, in French: the port layer's facts, the notes, the
// backends' names in the panel, and the program's own fatal cases. A backend's own
// sentences are in its file under backends/. Plain C++: the Qt-free tests render facts
// through it too.
#pragma once

#include <string>

#include "port/errors.h"
#include "port/settings/settings.h"

namespace ui {

// The sentence for a failure, without the program's prefix.
std::string sentence(const port::Error& error);
// Every setting given and where it came from, one a line, for the panel's tooltip.
std::string settingOrigins(const std::vector<port::SettingOrigin>& origins);
// How an open backend appears in the panel: "/dev/i2c-1 @ 0x27 (PCF8574)".
std::string panelName(const port::Description& description);
// What the panel says under that name; empty: nothing.
std::string panelLook(const port::Description& description);
// A note as the panel shows it, and as it is said once on stderr.
std::string panelNote(const port::Note& note);
std::string toldNote(const port::Note& note);

// The program's own cases, found before the port layer exists.
std::string noDisplayServer();
std::string displayServerUnreachable(const std::string& display);
std::string displayServerLost(const std::string& display);
std::string platformUnavailable(const std::string& platform, const std::string& available);
std::string windowsPlatformUnavailable(const std::string& available);
std::string waylandPluginMissing();
std::string qtFatal(const std::string& firstLine);
// The display window's remembered module could not be written to its state file, or
// read back from it, or the file is not one the program may touch.
std::string moduleNotSaved(const std::string& file);
std::string moduleNotRead(const std::string& file);
std::string moduleNotRemembered(const std::string& file);
// The hardware line: the choice kept nowhere (no user's folder, or the file would not be
// written), and why the line cannot change the port's device.
// The window's choice not written to the settings file: no file at all (empty), or the
// file that failed and why.
std::string deviceChoiceNotSaved(const std::string& file, int err = 0);
std::string deviceFixedByEnvironment(const std::string& setting, const std::string& value);
std::string devicesIgnored(const std::string& mode);
// Start-up itself failed: no memory, or what threw; or the system asked the program to end
// before its windows were up.
std::string outOfMemoryAtStartup();
std::string startupFailed(const std::string& what);
std::string stoppedDuringStartup();

// "velmorin : <sentence>", the one way any line reaches stderr.
std::string prefixed(const std::string& sentence);
void tell(const std::string& sentence) noexcept;

}  // namespace ui
