#pragma once
#include <stdexcept>
#include <string>

namespace volnor {

// Every failure of the program carries a message text meant for the user (UTF-8).
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}
    std::string text() const { return what(); }
};

}  // namespace volnor
