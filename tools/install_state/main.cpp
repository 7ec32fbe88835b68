// volnor-install-state PROGRAM_DIR YYYY-MM-DD: the install step's date of the last applied
// update. Writes DATEUPDATE of the program directory's local state file in the installing
// user's short date format (the locale's, as the program reads it): the release date, or the
// date already there when that one is later, so that a reinstall never takes the program back
// to an older published update. Every other line of the file keeps its bytes. The Windows
// installer runs it with the program directory as current directory and "." as PROGRAM_DIR: a
// path in the command line's ANSI text could not hold every user name.
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/ini_file.h"
#include "update/dates.h"
#include "update/self_update.h"
#ifdef _WIN32
#include "platform/win32/ini_files.h"
#include "platform/win32/system.h"
#else
#include "platform/posix/ini_files.h"
#include "platform/posix/system.h"
#endif

namespace {

#ifdef _WIN32
using PlatformSystem = volnor::win32::WinSystem;
using PlatformIniFiles = volnor::win32::WinIniFiles;
#else
using PlatformSystem = volnor::posix::PosixSystem;
using PlatformIniFiles = volnor::posix::PosixIniFiles;
#endif

// "yyyy-mm-dd", a real calendar date.
bool parseIso(const std::string& text, std::chrono::year_month_day& out) {
    int y = 0;
    unsigned m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &tail) != 3)
        return false;
    out = std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d};
    return out.ok();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace volnor;
    std::chrono::year_month_day release{};
    if (argc != 3 || !parseIso(argv[2], release)) {
        std::fputs("usage: volnor-install-state PROGRAM_DIR YYYY-MM-DD\n", stderr);
        return 2;
    }
    try {
        const PlatformSystem system;
        const ShortDateFormat format = system.shortDateFormat();
        const int year = static_cast<int>(system.today().year());
        PlatformIniFiles files;
        IniFile local(files, std::filesystem::path(argv[1]) / update::kLocalFile);
        // A date the user's format does not read (none yet, another format) is replaced.
        const auto present =
            parseDate(local.ReadString(update::kSection, update::kLocalKey), format, year);
        const auto date = present && std::chrono::sys_days(*present) > std::chrono::sys_days(release)
                              ? *present
                              : release;
        local.WriteString(update::kWriteSection, update::kLocalKey, DateToStr(date, format));
        std::printf("%s=%s\n", update::kLocalKey, DateToStr(date, format).c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "volnor-install-state: %s\n", e.what());
        return 1;
    }
}
