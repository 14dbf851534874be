// Writing one setting into the user's settings file, the way an editor would: the user's
// comments, blank lines and other settings stay byte for byte.
#include <cerrno>

#include "port/settings.h"

namespace port {
namespace {

bool blank(char c) {
    return c == ' ' || c == '\t';
}

// Whether a line sets name: "NAME=...", "  NAME = ...", not "# NAME=..." nor "NAMEX=...".
bool sets(const std::string& line, const std::string& name) {
    std::size_t i = 0;
    while (i < line.size() && blank(line[i])) ++i;
    if (line.compare(i, name.size(), name) != 0) return false;
    i += name.size();
    while (i < line.size() && blank(line[i])) ++i;
    return i < line.size() && line[i] == '=';
}

// The value as the reader takes it back: quoted where a blank, a quote or a '#' would
// change its meaning.
std::string quoted(const std::string& value) {
    if (value.find_first_of(" \t#\"'\\") == std::string::npos) return value;
    std::string q = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + '"';
}

}  // namespace

std::string withSetting(const std::string& text, const std::string& name,
                        const std::string& value) {
    const std::string line = name + "=" + quoted(value);
    // The last line that sets the name: the one that wins.
    std::size_t last = std::string::npos, lastEnd = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string content = text.substr(at, end - at);
        if (!content.empty() && content.back() == '\r') content.pop_back();
        if (sets(content, name)) {
            last = at;
            lastEnd = at + content.size();
        }
        at = end + 1;
    }
    if (last != std::string::npos) return text.substr(0, last) + line + text.substr(lastEnd);
    // A file that does not end its last line gets the end it lacks, in its own style.
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    const bool ended = text.empty() || text.back() == '\n';
    return text + (ended ? "" : eol) + line + eol;
}

int saveSetting(Os& os, const std::string& file, const std::string& name,
                const std::string& value) {
    std::string text;
    const PathInfo st = os.files.stat(file);
    if (st.error == ENOENT) {
        // The folders first, each that is missing: ~/.config, then ~/.config/velmorin. Only
        // the last one's failure matters: the others may be there, or be drives ("C:").
        int rc = 0;
        for (std::size_t slash = file.find_first_of("/\\", 1); slash != std::string::npos;
             slash = file.find_first_of("/\\", slash + 1))
            if (file[slash - 1] != ':') rc = os.files.makeDirectory(file.substr(0, slash));
        if (rc != 0 && rc != -EEXIST) return -rc;
    } else if (st.error != 0) {
        return st.error;
    } else if (!st.regularFile) {
        return EINVAL;
    } else if (const int rc = os.files.readText(file, kMaxSettingsBytes, text); rc != 0) {
        return -rc;
    }
    const std::string updated = withSetting(text, name, value);
    const std::string temporary = file + ".new";
    const int fd = os.files.open(temporary, OpenFor::Whole);
    if (fd < 0) return -fd;
    int err = 0;
    for (std::size_t done = 0; done < updated.size() && err == 0;) {
        const long n = os.files.write(fd, updated.data() + done, updated.size() - done);
        if (n <= 0)
            err = n < 0 ? static_cast<int>(-n) : EIO;
        else
            done += static_cast<std::size_t>(n);
    }
    if (err == 0) err = -os.files.sync(fd);
    os.files.close(fd);
    if (err == 0) err = -os.files.rename(temporary, file);
    if (err != 0) (void)os.files.remove(temporary);
    return err;
}

}  // namespace port
