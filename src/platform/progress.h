#pragma once
#include <cstdint>
#include <functional>

namespace volnor {

// The one progress bar: range 0 to 40000, a written value outside the range is held at the
// nearer end. The window's bar in the product; HeldProgress where there is no window.
class Progress {
public:
    static constexpr int kMin = 0;
    static constexpr int kMax = 40000;
    virtual ~Progress() = default;
    virtual int position() const = 0;
    virtual void setPosition(std::int64_t value) = 0;
    // What the HTTP client's work reports do: add the count to the position.
    void advance(std::int64_t count) { setPosition(std::int64_t{position()} + count); }
    static int held(std::int64_t value) {
        return static_cast<int>(value < kMin ? kMin : value > kMax ? kMax : value);
    }
};

class HeldProgress : public Progress {
public:
    int position() const override { return position_; }
    void setPosition(std::int64_t value) override { position_ = held(value); }

private:
    int position_ = 0;
};

// Called again and again while the program blocks on a transfer or a script, so that the
// window can repaint without taking input. Empty where there is no window.
using Pump = std::function<void()>;

}  // namespace volnor
