#pragma once
#include "platform/system.h"

namespace volnor::posix {

// The local clock, this process, /proc/self/exe, and the short date format of the locale that
// LC_TIME names (LC_ALL before it, LANG after it).
class PosixSystem : public System {
public:
    std::chrono::year_month_day today() const override;
    std::int64_t processId() const override;
    std::filesystem::path executablePath() const override;
    // Where the locale does not write the date as three numbers (the C locale spells the month),
    // the users' Russian dd.MM.yyyy.
    ShortDateFormat shortDateFormat() const override;
};

}  // namespace volnor::posix
