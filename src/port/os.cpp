#include "port/os.h"

namespace port {

std::string firstLine(Os& os, const std::string& path) {
    std::vector<std::string> lines;
    return os.readLines(path, lines) == 0 && !lines.empty() ? lines.front() : std::string();
}

}  // namespace port
