#pragma once
// The local files of a start that finds nothing to update, for window tests that are not about
// start-up: the configuration copy and the local state file with the same date, written in the
// short date format the window reads them with (the user's by default). Without withNews the
// configuration has no MESS key at all. Throws std::runtime_error when a file cannot be written.
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/ansi_codec.h"
#include "platform/posix/system.h"
#include "support/files.h"
#include "update/dates.h"

namespace volnor::test {

inline void writeCurrentConfiguration(
    const std::filesystem::path& exeDir,
    const ShortDateFormat& format = posix::PosixSystem().shortDateFormat(), bool withNews = true) {
    using namespace std::chrono;
    const std::string date = DateToStr(year_month_day{year(2026), month(12), day(1)}, format);
    const struct {
        const char* file;
        std::string text;
    } files[] = {
        {"eplan-config.ini", "[EPLAN]\r\nDATE=" + date + "\r\n" + (withNews ? "MESS=\r\n" : "")},
        {"eplan-config_local.ini", "[Eplan]\r\nDATEUPDATE=" + date + "\r\n"},
    };
    for (const auto& f : files) {
        // In the users' code page, as the window's INI reader reads it.
        const auto bytes = utf8ToAnsi(f.text);
        if (!bytes) throw std::runtime_error("the date " + date + " has no ANSI form");
        writeFile(exeDir / f.file, *bytes);
    }
}

}  // namespace volnor::test
