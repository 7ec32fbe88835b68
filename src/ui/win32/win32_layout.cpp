#include "ui/win32/win32_layout.h"

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace volnor::ui {

using win32::wide;

HFONT createFont(const app::layout::Font& font) {
    const std::wstring family = wide(font.family);
    return CreateFontW(-font.pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, family.c_str());
}

HWND createChild(DWORD exStyle, const wchar_t* windowClass, DWORD style,
                 const app::layout::Rect& place, HWND parent, int id, HINSTANCE instance) {
    return CreateWindowExW(exStyle, windowClass, L"", WS_CHILD | style, place.left, place.top,
                           place.width, place.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

std::wstring editText(std::string_view utf8) {
    std::wstring text;
    for (wchar_t c : wide(utf8)) {
        if (c == L'\n' && (text.empty() || text.back() != L'\r')) text += L'\r';
        text += c;
    }
    return text;
}

std::wstring editText(const std::vector<std::string>& lines) { return editText(join(lines, "\n")); }

}  // namespace volnor::ui
