#pragma once
// The clock, the program's own process, and the user's short date format.
#include <chrono>
#include <cstdint>
#include <filesystem>

#include "platform/date_format.h"

namespace volnor {

class System {
public:
    virtual ~System() = default;
    virtual std::chrono::year_month_day today() const = 0;
    virtual std::int64_t processId() const = 0;
    // Empty when it cannot be told.
    virtual std::filesystem::path executablePath() const = 0;
    // The user's regional short date format (StrToDate, DateToStr).
    virtual ShortDateFormat shortDateFormat() const = 0;
};

}  // namespace volnor
