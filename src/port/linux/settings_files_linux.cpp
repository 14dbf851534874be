// Where the settings files live on Linux, as the XDG base directory convention has it: the
// user's under $XDG_CONFIG_HOME (~/.config when unset), the system's in /etc.
#include "port/settings.h"

namespace port {

std::vector<std::string> settingsFiles(const Getenv& getenv) {
    std::vector<std::string> files;
    const char* config = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    // The convention ignores a relative XDG_CONFIG_HOME.
    if (config && *config == '/')
        files.push_back(std::string(config) + "/velmorin/velmorin.conf");
    else if (home && *home == '/')
        files.push_back(std::string(home) + "/.config/velmorin/velmorin.conf");
    files.push_back("/etc/velmorin.conf");
    return files;
}

}  // namespace port
