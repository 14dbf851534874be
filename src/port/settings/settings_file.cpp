// Writing one setting into the user's settings file: the new text made whole beside the
// old file, then renamed over it.
#include <cerrno>

#include "port/settings/settings.h"

namespace port {

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
            if (file[slash - 1] != ':') rc = os.replacing.makeDirectory(file.substr(0, slash));
        if (rc != 0 && rc != -EEXIST) return -rc;
    } else if (st.error != 0) {
        return st.error;
    } else if (!st.regularFile) {
        return EINVAL;
    } else if (const int rc = os.texts.readText(file, kMaxSettingsBytes, text); rc != 0) {
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
    if (err == 0) err = -os.replacing.sync(fd);
    os.files.close(fd);
    if (err == 0) err = -os.replacing.rename(temporary, file);
    if (err != 0) (void)os.replacing.remove(temporary);
    return err;
}

}  // namespace port
