// The Linux system: the locale's short date format and the executable's path.
#include "platform/posix/system.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace volnor {
namespace {

TEST(PosixSystem, FallsBackToTheRussianFormatAndFindsItsOwnFile) {
    // The locale is read once a process: this is its first use here. The C locale spells the
    // month, which is no date of three numbers: the users' Russian format stands in.
    ::setenv("LC_ALL", "C", 1);
    const posix::PosixSystem system;
    EXPECT_EQ(system.shortDateFormat(), ShortDateFormat{});

    EXPECT_EQ(system.executablePath().filename(), "update_system_test");
    EXPECT_TRUE(system.executablePath().is_absolute());
}

}  // namespace
}  // namespace volnor
