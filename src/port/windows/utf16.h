// Windows names files and variables in UTF-16; the port layer speaks UTF-8.
#pragma once

#include <string>

namespace port {

std::wstring wide(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

}  // namespace port
