// Writing one setting into the user's settings file: the new text made whole beside the
// old file, then renamed over it.
#include <cerrno>

#include "port/settings/settings.h"

namespace port {
namespace {

// The folder a file is in: what to name where the new text could not be made.
std::string folderOf(const std::string& file) {
    const std::size_t slash = file.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

}  // namespace

std::optional<SaveFailure> saveSetting(Os& os, const std::string& file, const std::string& name,
                                       const std::string& value) {
    // Dotfiles are often links into a repository: the file replaced is the one linked to.
    std::string target;
    if (const int rc = os.replacing.resolveLinks(file, target); rc != 0)
        return SaveFailure{-rc, file};
    std::string text;
    const PathInfo st = os.files.stat(target);
    if (st.error == ENOENT) {
        // The folders first, each that is missing: ~/.config, then ~/.config/velmorin. Only
        // the last one's failure matters: the others may be there, or be drives ("C:").
        int rc = 0;
        for (std::size_t slash = target.find_first_of("/\\", 1); slash != std::string::npos;
             slash = target.find_first_of("/\\", slash + 1))
            if (target[slash - 1] != ':') rc = os.replacing.makeDirectory(target.substr(0, slash));
        if (rc != 0 && rc != -EEXIST) return SaveFailure{-rc, folderOf(target)};
    } else if (st.error != 0) {
        return SaveFailure{st.error, target};
    } else if (!st.regularFile) {
        return SaveFailure{EINVAL, target};
    } else if (const int rc = os.replacing.mayWrite(target); rc != 0) {
        // A file the user made read-only stays as it is, though its folder would let a
        // rename replace it.
        return SaveFailure{-rc, target};
    } else if (const int rc2 = os.texts.readText(target, kMaxSettingsBytes, text); rc2 != 0) {
        return SaveFailure{-rc2, target};
    }
    const std::string updated = withSetting(text, name, value);
    std::string temporary;
    const int fd = os.replacing.createBeside(target, temporary);
    if (fd < 0) return SaveFailure{-fd, folderOf(target)};
    int err = st.error == 0 ? -os.replacing.keepMode(fd, st) : 0;
    for (std::size_t done = 0; done < updated.size() && err == 0;) {
        const long n = os.files.write(fd, updated.data() + done, updated.size() - done);
        if (n <= 0)
            err = n < 0 ? static_cast<int>(-n) : EIO;
        else
            done += static_cast<std::size_t>(n);
    }
    if (err == 0) err = -os.replacing.sync(fd);
    os.files.close(fd);
    if (err == 0) err = -os.replacing.rename(temporary, target);
    if (err == 0) return std::nullopt;
    (void)os.replacing.remove(temporary);
    return SaveFailure{err, target};
}

}  // namespace port
