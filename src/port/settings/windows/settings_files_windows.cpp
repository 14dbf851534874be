// Where the settings file lives on Windows: the user's roaming application data,
// %APPDATA%\velmorin\velmorin.conf. The environment is read in UTF-16: a user name may
// hold any letter.
#include <cstdlib>
#include <map>

#include "port/settings/settings.h"
#include "port/windows/utf16.h"

namespace port {

Getenv systemEnvironment() {
    return [](const char* name) -> const char* {
        // Each value read once, kept for the program's life: the pointer stays good.
        static std::map<std::string, std::string> values;
        const wchar_t* value = _wgetenv(wide(name).c_str());
        if (!value) return nullptr;
        return values.insert_or_assign(name, narrow(value)).first->second.c_str();
    };
}

std::vector<std::string> settingsFiles(const Getenv& getenv) {
    const char* appData = getenv("APPDATA");
    if (!appData || !*appData) return {};
    return {std::string(appData) + "\\velmorin\\velmorin.conf"};
}

std::string userSettingsFile(const Getenv& getenv) {
    const auto files = settingsFiles(getenv);
    return files.empty() ? std::string() : files.front();
}

std::string stateFile(const Getenv& getenv) {
    const std::string user = userSettingsFile(getenv);
    if (user.empty()) return {};
    return user.substr(0, user.find_last_of('\\')) + "\\state.ini";
}

}  // namespace port
