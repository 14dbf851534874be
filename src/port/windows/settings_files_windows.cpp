// Where the settings file lives on Windows: the user's roaming application data,
// %APPDATA%\velmorin\velmorin.conf. Read in UTF-16: a user name may hold any letter.
#include <cstdlib>

#include "port/settings.h"
#include "port/windows/utf16.h"

namespace port {

std::vector<std::string> settingsFiles(const Getenv&) {
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (!appData || !*appData) return {};
    return {narrow(appData) + "\\velmorin\\velmorin.conf"};
}

}  // namespace port
