#include "port/os.h"

#include <algorithm>

namespace port {

std::string firstLine(Os& os, const std::string& path) {
    std::vector<std::string> lines;
    return os.files.readLines(path, lines) == 0 && !lines.empty() ? lines.front() : std::string();
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

}  // namespace port
