#pragma once
#include <filesystem>

namespace volnor::posix {

// The folder that stands for drive C: on a user's desktop, for WinPaths:
// <the user's data folder>/VOLNOR/drive_c ($XDG_DATA_HOME, by default ~/.local/share).
std::filesystem::path userDriveFolder();

}  // namespace volnor::posix
