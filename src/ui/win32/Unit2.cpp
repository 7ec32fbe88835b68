#include "ui/win32/Unit2.h"

#include "app/app.h"
#include "app/window_layout.h"
#include "ui/win32/win32_layout.h"

namespace volnor::ui {

namespace layout = app::layout;

namespace {

// Opaque like the window: nothing of what lies beneath shows around the memo.
ATOM registerFrameClass(HINSTANCE instance) {
    static const ATOM atom = [instance] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = CreateSolidBrush(colorRef(layout::kBtnFace));
        wc.lpszClassName = TFrame2::kClassName;
        return RegisterClassExW(&wc);
    }();
    return atom;
}

}  // namespace

TFrame2::TFrame2(HWND parent, HINSTANCE instance) {
    registerFrameClass(instance);
    frame_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                             layout::kFrame2Size.width, layout::kFrame2Size.height, parent, nullptr,
                             instance, nullptr);
    // Editable, no scroll bars, long lines wrap at the field's width. The caret and the wheel
    // scroll it: with the wrapped lines the text is a little taller than the field.
    Memo1 = createChild(WS_EX_CLIENTEDGE, L"EDIT",
                        WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL,
                        layout::kFrame2Memo, frame_, 1, instance);
    font_ = createFont(layout::kInstructionFont);
    SendMessageW(Memo1, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SetWindowTextW(Memo1, editText(app::instructionLines()).c_str());
    // The text is the field's own, not an edit the user could take back.
    SendMessageW(Memo1, EM_EMPTYUNDOBUFFER, 0, 0);
}

TFrame2::~TFrame2() {
    if (frame_) DestroyWindow(frame_);
    if (font_) DeleteObject(font_);
}

}  // namespace volnor::ui
