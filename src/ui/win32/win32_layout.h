#pragma once
// The shared window layout's values as Win32 takes them.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/window_layout.h"

namespace volnor::ui {

inline COLORREF colorRef(app::layout::Rgb c) { return RGB(c.red(), c.green(), c.blue()); }

// A font of the character height in pixels (the height of 96 dots per inch), Cyrillic set.
// The caller releases it with DeleteObject.
HFONT createFont(const app::layout::Font& font);

// A child control at its place from the layout.
HWND createChild(DWORD exStyle, const wchar_t* windowClass, DWORD style,
                 const app::layout::Rect& place, HWND parent, int id, HINSTANCE instance);

// A multi-line edit control's text: UTF-16 with CR LF between the lines.
std::wstring editText(std::string_view utf8);
std::wstring editText(const std::vector<std::string>& lines);

}  // namespace volnor::ui
