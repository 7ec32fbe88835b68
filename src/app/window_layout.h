#pragma once
// What every window shows, whatever its toolkit: the stored form's places and sizes, fonts,
// colours, captions and tooltips, in pixels at 96 dots per inch and UTF-8. Each front-end reads
// them from here and converts at its edge.
#include <array>
#include <cstdint>
#include <string>

namespace volnor::app::layout {

struct Rect {
    int left;
    int top;
    int width;
    int height;
};

struct Size {
    int width;
    int height;
};

// A plain colour, 0xRRGGBB.
struct Rgb {
    std::uint32_t value;
    constexpr int red() const { return static_cast<int>((value >> 16) & 0xFF); }
    constexpr int green() const { return static_cast<int>((value >> 8) & 0xFF); }
    constexpr int blue() const { return static_cast<int>(value & 0xFF); }
};

// A font by family and character height in pixels; the Cyrillic character set throughout.
struct Font {
    const char* family;
    int pixels;
};

// clBtnFace, clWindowText, clWindowFrame and clWindow of a default Windows desktop: the window
// does not follow the desktop's colour scheme, so that it looks the same everywhere.
inline constexpr Rgb kBtnFace{0xF0F0F0};
inline constexpr Rgb kWindowText{0x000000};
inline constexpr Rgb kWindowFrame{0x646464};
inline constexpr Rgb kWindow{0xFFFFFF};
inline constexpr Rgb kWhite{0xFFFFFF};
inline constexpr Rgb kBlack{0x000000};

// The program's style: the two marked buttons' faces and borders, at rest and pressed down while
// their panel is open.
inline constexpr Rgb kMarkedButtonFace{0xE8EEFA};
inline constexpr Rgb kMarkedButtonBorder{0xB7C9E8};
inline constexpr Rgb kPressedButtonFace{0xBCD1F1};
inline constexpr Rgb kPressedButtonBorder{0x2F5EA8};

// The window: the stored form's client area, and the outer size that the window keeps. The
// frame around the client area is 8 pixels at each side and a 31-pixel caption on Windows.
inline constexpr Size kClientSize{893, 684};
inline constexpr Size kOuterSize{909, 723};
inline constexpr Font kWindowFont{"Tahoma", 11};

// The components, in the stored form's z-order (later lies above earlier).
inline constexpr Rect kImage1{736, 10, 145, 44};
inline constexpr Rect kTreeView1{16, 70, 865, 587};
inline constexpr Font kTreeFont{"Times New Roman", 15};
inline constexpr int kTreeIndent = 19;
inline constexpr Rect kToolBar1{16, 8, 713, 56};
inline constexpr Font kToolBarFont{"Times New Roman", 15};
inline constexpr Rect kProgressBar1{16, 663, 649, 17};
// Where start-up puts the bar inside the status bar: this top, left 0.
inline constexpr int kProgressBarTop = 2;
inline constexpr Rect kMemo1{251, 229, 422, 267};
inline constexpr Font kMemoFont{"Tahoma", 16};
inline constexpr char kMemoStoredText[] = "Memo1";
inline constexpr Rect kStatusBar1{0, 665, 893, 19};
inline constexpr std::array<int, 2> kStatusPanelWidths{645, 300};
inline constexpr Rect kFrame21{88, 128, 709, 467};

// The instructions panel (TFrame2): its size, its memo's place in the frame, and where the
// window's instance moves the memo.
inline constexpr Size kFrame2Size{709, 467};
inline constexpr Rect kFrame2Memo{3, 3, 694, 454};
inline constexpr int kFrame21MemoLeft = 3;
inline constexpr int kFrame21MemoTop = 10;
inline constexpr Font kInstructionFont{"Times New Roman", 15};

// The tree's three looks: at start, while a panel is open over it, after a panel was closed.
struct TreeLook {
    Rgb background;
    Rgb text;
    bool takesInput;
};
inline constexpr TreeLook kStartLook{kBtnFace, kWindowText, true};
inline constexpr TreeLook kShadedLook{kWindowFrame, kWhite, false};
inline constexpr TreeLook kPlainLook{kWindow, kBlack, true};

// The toolbar's buttons: 56 high, a 32 x 32 image above the caption; all but one as wide as
// their caption needs, that one of a fixed width.
inline constexpr int kButtonHeight = 56;
inline constexpr int kFixedButtonWidth = 131;
inline constexpr int kImageSide = 32;
inline constexpr int kImageCount = 7;

struct ToolButton {
    int number;  // N of ToolButtonN
    int image;   // index in ImageList1
    std::string caption;
    std::string tooltip;  // empty: none
    bool autoSize;        // false: kFixedButtonWidth
    bool marked;          // drawn highlighted; pressed while its panel is open
};

// The seven buttons from left to right.
const std::array<ToolButton, 7>& toolButtons();
// The button of ToolButtonN; throws std::out_of_range for another N.
const ToolButton& toolButton(int number);

// The context menu's one item.
inline constexpr char kGroupRemovalItem[] = "Удаление группы";

}  // namespace volnor::app::layout
