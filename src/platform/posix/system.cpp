#include "platform/posix/system.h"

#include <unistd.h>

#include <QLocale>
#include <ctime>

namespace volnor::posix {

std::chrono::year_month_day PosixSystem::today() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::chrono::year_month_day{std::chrono::year(local.tm_year + 1900),
                                       std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
                                       std::chrono::day(static_cast<unsigned>(local.tm_mday))};
}

std::int64_t PosixSystem::processId() const { return static_cast<std::int64_t>(::getpid()); }

std::filesystem::path PosixSystem::executablePath() const {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

ShortDateFormat PosixSystem::shortDateFormat() const {
    // Qt's system locale takes its date formats from LC_TIME (LC_ALL before it, LANG after).
    return ShortDateFormat::fromPicture(
               QLocale::system().dateFormat(QLocale::ShortFormat).toStdString())
        .value_or(ShortDateFormat{});
}

}  // namespace volnor::posix
