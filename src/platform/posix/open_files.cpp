#include "platform/posix/open_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace volnor::posix {

FileHolders openHolders(const std::filesystem::path& path) {
    FileHolders out;
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) return out;
    const pid_t self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc) return out;
    while (const dirent* p = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(p->d_name, &end, 10);
        if (pid <= 0 || *end) continue;
        const std::string fdDir = "/proc/" + std::string(p->d_name) + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;  // gone, or another user's
        int count = 0;
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.') continue;
            struct stat st {};
            if (::fstatat(::dirfd(fds), f->d_name, &st, 0) == 0 && st.st_dev == target.st_dev &&
                st.st_ino == target.st_ino)
                ++count;
        }
        ::closedir(fds);
        if (count == 0) continue;
        out.pids.push_back(pid);
        if (pid == self) out.ownHandles = count;
    }
    ::closedir(proc);
    return out;
}

}  // namespace volnor::posix
