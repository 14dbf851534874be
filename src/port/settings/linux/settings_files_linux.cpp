// Where the settings files live on Linux, as the XDG base directory convention has it: the
// user's under $XDG_CONFIG_HOME (~/.config when unset), the system's in /etc.
#include <cstdlib>

#include "port/settings/settings.h"

namespace port {

Getenv systemEnvironment() {
    return [](const char* name) -> const char* { return std::getenv(name); };
}

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

std::string userSettingsFile(const Getenv& getenv) {
    const std::string user = settingsFiles(getenv).front();
    return user.front() != '/' || user.starts_with("/etc/") ? std::string() : user;
}

std::string stateFile(const Getenv& getenv) {
    const std::string user = userSettingsFile(getenv);
    if (user.empty()) return {};
    return user.substr(0, user.find_last_of('/')) + "/state.ini";
}

}  // namespace port
