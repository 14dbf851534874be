// Where the settings file lives on Windows: the user's roaming application data,
// %APPDATA%\velmorin\velmorin.conf. Read in UTF-16: a user name may hold any letter.
#include <windows.h>

#include <cstdlib>

#include "port/settings.h"

namespace port {

std::vector<std::string> settingsFiles(const Getenv&) {
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (!appData || !*appData) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, appData, -1, nullptr, 0, nullptr, nullptr);
    std::string folder(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, appData, -1, folder.data(), n, nullptr, nullptr);
    return {folder + "\\velmorin\\velmorin.conf"};
}

}  // namespace port
