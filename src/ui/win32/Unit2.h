#pragma once
// The instructions panel: one editable memo with the user's workflow. What the user types into
// it lasts until the program ends.
#include <windows.h>

namespace volnor::ui {

class TFrame2 {
public:
    static constexpr wchar_t kClassName[] = L"TFrame2";
    // A hidden panel of the layout's size at the parent's (0, 0).
    TFrame2(HWND parent, HINSTANCE instance);
    ~TFrame2();
    TFrame2(const TFrame2&) = delete;
    TFrame2& operator=(const TFrame2&) = delete;

    HWND handle() const { return frame_; }
    HWND Memo1 = nullptr;

private:
    HWND frame_ = nullptr;
    HFONT font_ = nullptr;
};

}  // namespace volnor::ui
