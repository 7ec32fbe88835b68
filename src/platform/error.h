#pragma once
#include <QString>
#include <stdexcept>

namespace volnor {

// Every failure of the program carries a message text meant for the user.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text);
    QString text() const { return text_; }

private:
    QString text_;
};

}  // namespace volnor
