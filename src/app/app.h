#pragma once
// What every front-end does the same way, whatever its toolkit.
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace volnor::app {

// The window's caption.
inline constexpr char kCaption[] = "ВОЛНОР: установщик для базы данных Eplan";

// The application's title: the executable's file name without its extension, every character
// after the first in lower case ("VOLNOR_Eplan_DB.exe" -> "Volnor_eplan_db").
std::string applicationTitle(const std::filesystem::path& executable);

// The text of the error report: a full stop is appended when the last character's code lies
// above '.', so a text ending in ".", " ", "!", "," or "-" (or nothing at all) is left as it is.
std::string withFullStop(const std::string& text);

// The text an operation's error shows in the error report, full stop included.
std::string errorReportText(const std::exception_ptr& error);

// The instructions panel's text, line by line; blanks at the ends of lines belong to it.
const std::vector<std::string>& instructionLines();

// What the toolbar hands to the shell: the maker's web site, the full archive on its FTP
// server, and an e-mail to support with its subject.
std::string webSiteUrl();
std::string fullArchiveUrl();
std::string supportMailUrl();

}  // namespace volnor::app
