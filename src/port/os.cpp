#include "port/os.h"

namespace port {

std::string firstLine(Os& os, const std::string& path) {
    const auto lines = os.readLines(path);
    return lines && !lines->empty() ? lines->front() : std::string();
}

}  // namespace port
