#include "port/os.h"

#include <algorithm>
#include <cctype>

namespace port {
namespace {

class DescriptorPort final : public SerialPort {
public:
    DescriptorPort(Files& files, int fd) noexcept : m_files(files), m_fd(fd) {}
    ~DescriptorPort() override { m_files.close(m_fd); }
    long write(std::span<const std::uint8_t> bytes) noexcept override {
        return m_files.write(m_fd, bytes.data(), bytes.size());
    }

private:
    Files& m_files;
    int m_fd;
};

}  // namespace

std::unique_ptr<SerialPort> serialPortOn(Files& files, int fd, int& error) {
    error = fd < 0 ? -fd : 0;
    return fd < 0 ? nullptr : std::make_unique<DescriptorPort>(files, fd);
}

int readLines(Os& os, const std::string& path, std::vector<std::string>& lines) {
    // A kernel table is a few kilobytes at most.
    constexpr std::size_t kMaxTable = 1 << 20;
    std::string text;
    const int rc = os.texts.readText(path, kMaxTable, text);
    lines = rc == 0 ? splitLines(text) : std::vector<std::string>{};
    return rc;
}

std::string firstLine(Os& os, const std::string& path) {
    std::vector<std::string> lines;
    return readLines(os, path, lines) == 0 && !lines.empty() ? lines.front() : std::string();
}

bool sameFile(Os& os, const std::string& a, const std::string& b) {
    const PathInfo x = os.files.stat(a);
    const PathInfo y = os.files.stat(b);
    if (x.error == 0 && y.error == 0 && x.inode != 0)
        return x.device == y.device && x.inode == y.inode;
    auto folded = [](std::string s) {
        for (char& c : s)
            c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    return folded(a) == folded(b);
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
