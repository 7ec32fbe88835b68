#pragma once
#include "platform/system.h"

namespace volnor::win32 {

// The local date, this process, its module's file, and the user's short date format from the
// regional settings.
class WinSystem : public System {
public:
    std::chrono::year_month_day today() const override;
    std::int64_t processId() const override;
    std::filesystem::path executablePath() const override;
    // Where the setting is no date of three numbers, the users' Russian dd.MM.yyyy.
    ShortDateFormat shortDateFormat() const override;
};

}  // namespace volnor::win32
