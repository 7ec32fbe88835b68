// The Win32 window, created in this process as the program creates it and read through its
// controls: the tree, the toolbar with its images, the status bar with the progress bar in it,
// the hidden panels and their toggles, the context menu, and what is drawn on the screen.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/window_layout.h"
#include "catalogue/catalogue.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "support/window_doubles.h"
#include "ui/win32/Unit1.h"
#include "update/self_update.h"

namespace volnor::test {
namespace {

namespace fs = std::filesystem;
namespace layout = app::layout;
using ui::TForm1;
using win32::narrow;
using win32::wide;

const std::string kDate = "01.12.2026";
const std::string kNews = "Новые серии в каталоге.";

// A folder of its own for one test, made the current directory as the program's is.
class ProgramDir {
public:
    ProgramDir() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = fs::path(temp) / ("volnor-window-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(counter_++));
        fs::create_directories(path_ / "drive");
        before_ = fs::current_path();
        fs::current_path(path_);
    }
    ~ProgramDir() {
        fs::current_path(before_);
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }

private:
    static inline int counter_ = 0;
    fs::path path_;
    fs::path before_;
};

std::string windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

std::string configuration(const std::string& date) {
    return "[EPLAN]\r\nDATE=" + date + "\r\nMESS=" + kNews + "\r\n";
}

class Window : public ::testing::Test {
protected:
    // A start that finds the published date already applied: nothing to update.
    std::unique_ptr<TForm1> open(bool serverAnswers = true) {
        if (serverAnswers) {
            http.body = configuration(kDate);
            dir.write("eplan-config_local.ini", "[Eplan]\r\nDATEUPDATE=" + kDate + "\r\n");
        }
        return std::make_unique<TForm1>(
            GetModuleHandleW(nullptr),
            ui::Services{dialogs, shell, http, ftp, scripts, ini, files, engine, signatures, system,
                         WinPaths(dir.path() / "drive"), dir.path()});
    }

    static std::string panelText(const TForm1& form, int panel) {
        std::wstring text(512, L'\0');
        const auto length = LOWORD(SendMessageW(form.StatusBar1, SB_GETTEXTW, panel,
                                                reinterpret_cast<LPARAM>(text.data())));
        text.resize(length);
        return narrow(text);
    }

    static LOGFONTW fontOf(HWND control) {
        LOGFONTW font{};
        const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        GetObjectW(handle, sizeof font, &font);
        return font;
    }

    static RECT placeIn(HWND control, HWND parent) {
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    ProgramDir dir;
    WindowDialogs dialogs;
    WindowShell shell;
    ServingHttp http;
    UnreachableFtp ftp;
    NoScripts scripts;
    PlainIniFiles ini;
    PlainFileSearch files;
    MissingEngine engine;
    RefusingSignatures signatures;
    FixedSystem system;
};

bool sameRect(const RECT& r, const layout::Rect& want) {
    return r.left == want.left && r.top == want.top && r.right - r.left == want.width &&
           r.bottom - r.top == want.height;
}

std::string describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

TEST_F(Window, StartUpShowsTheDateAndTheNewsAndEmptiesTheProgressBarInTheStatusBar) {
    auto form = open();
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text;
    EXPECT_EQ(http.requested, std::vector<std::string>{update::configUrl()});
    EXPECT_EQ(http.userAgent(), HttpClient::kUserAgent);
    EXPECT_TRUE(http.handleRedirects());
    EXPECT_TRUE(
        fs::is_directory(dir.path() / pathOf("drive/Users/Public/EPLAN/Data/Элементы/VOLNOR")));

    EXPECT_EQ(windowText(form->Form1), app::kCaption);
    EXPECT_EQ(panelText(*form, 1), "Дата последнего обновления: " + kDate);
    EXPECT_EQ(panelText(*form, 0), "");
    EXPECT_EQ(windowText(form->Memo1), kNews);

    // Two panels, 645 and 300 wide.
    int edges[3] = {};
    ASSERT_EQ(SendMessageW(form->StatusBar1, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(edges[0], 645);
    EXPECT_EQ(edges[1] - edges[0], 300);

    // The bar lies in the status bar over panel 0: left 0, top 2, as high as the bar less 2.
    EXPECT_EQ(GetParent(form->ProgressBar1), form->StatusBar1);
    RECT status{};
    GetClientRect(form->StatusBar1, &status);
    const RECT bar = placeIn(form->ProgressBar1, form->StatusBar1);
    EXPECT_TRUE(sameRect(bar, {0, 2, 645, static_cast<int>(status.bottom) - 2})) << describe(bar);
    PBRANGE range{};
    SendMessageW(form->ProgressBar1, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 40000);
    EXPECT_EQ(SendMessageW(form->ProgressBar1, PBM_GETPOS, 0, 0), 0);

    // Hidden at start, the window itself too until the message loop shows it.
    EXPECT_FALSE(IsWindowVisible(form->Form1));
    EXPECT_FALSE(GetWindowLongW(form->Memo1, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongW(form->Frame21->handle(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(form->terminateRequested());
}

TEST_F(Window, AStartWithoutServerOrConfigurationReportsTheMissingDateAndGoesOn) {
    auto form = open(false);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, WindowBox::Kind::ErrorReport);
    EXPECT_EQ(dialogs.shown[0].title, app::applicationTitle(system.executablePath()));
    EXPECT_EQ(dialogs.shown[0].text.back(), '.');
    EXPECT_EQ(panelText(*form, 1), "Дата последнего обновления: ");
    // Start-up stopped before it emptied the bar.
    EXPECT_EQ(SendMessageW(form->ProgressBar1, PBM_GETPOS, 0, 0), 100);
}

TEST_F(Window, WorkReportsAddUpAndAreHeldAtTheEndsOfTheRange) {
    auto form = open();
    const struct {
        std::int64_t count;
        int position;
    } steps[] = {
        {100, 100}, {39950, 40000}, {1, 40000}, {-50000, 0}, {std::int64_t{1} << 40, 40000}};
    for (const auto& s : steps) {
        form->IdHTTP1Work(http, HttpClient::WorkMode::Read, s.count);
        EXPECT_EQ(SendMessageW(form->ProgressBar1, PBM_GETPOS, 0, 0), s.position)
            << "after adding " << s.count;
    }
}

// The catalogue's nodes under `parent`, compared with the tree's items level by level.
void expectNodes(HWND tree, HTREEITEM parent, const std::vector<catalogue::Node>& nodes,
                 int& checked) {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(
        tree, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    for (const catalogue::Node& node : nodes) {
        ASSERT_NE(item, nullptr) << "missing: " << node.text;
        wchar_t text[512] = {};
        TVITEMW query{};
        query.mask = TVIF_TEXT | TVIF_STATE;
        query.stateMask = TVIS_EXPANDED;
        query.hItem = item;
        query.pszText = text;
        query.cchTextMax = 512;
        ASSERT_TRUE(SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)));
        EXPECT_EQ(narrow(text), node.text);
        EXPECT_FALSE(query.state & TVIS_EXPANDED) << node.text;
        ++checked;
        expectNodes(tree, item, node.children, checked);
        item = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    EXPECT_EQ(item, nullptr) << "more items than nodes";
}

TEST_F(Window, TheTreeShowsTheWholeCatalogueCollapsedInItsFontAndLook) {
    auto form = open();
    int checked = 0;
    expectNodes(form->TreeView1, nullptr, catalogue::tree(), checked);
    EXPECT_EQ(static_cast<int>(SendMessageW(form->TreeView1, TVM_GETCOUNT, 0, 0)), checked);
    EXPECT_GT(checked, 0);

    EXPECT_EQ(SendMessageW(form->TreeView1, TVM_GETINDENT, 0, 0), layout::kTreeIndent);
    const LONG style = GetWindowLongW(form->TreeView1, GWL_STYLE);
    EXPECT_FALSE(style & TVS_HASLINES);
    EXPECT_FALSE(style & TVS_EDITLABELS);
    EXPECT_TRUE(style & TVS_NOTOOLTIPS);
    EXPECT_TRUE(sameRect(placeIn(form->TreeView1, form->Form1), layout::kTreeView1));
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(form->TreeView1, TVM_GETBKCOLOR, 0, 0)),
              RGB(0xF0, 0xF0, 0xF0));
    EXPECT_TRUE(IsWindowEnabled(form->TreeView1));

    struct FontCase {
        HWND control;
        const char* family;
        int pixels;
    };
    const FontCase fonts[] = {
        {form->StatusBar1, "Tahoma", 11},
        {form->TreeView1, "Times New Roman", 15},
        {form->ToolBar1, "Times New Roman", 15},
        {form->Memo1, "Tahoma", 16},
        {form->Frame21->Memo1, "Times New Roman", 15},
    };
    for (const auto& f : fonts) {
        const LOGFONTW font = fontOf(f.control);
        EXPECT_EQ(narrow(font.lfFaceName), f.family);
        EXPECT_EQ(font.lfHeight, -f.pixels) << f.family;
        EXPECT_EQ(font.lfCharSet, RUSSIAN_CHARSET) << f.family;
    }

    EXPECT_FALSE(form->currentNodeText().has_value());
    const auto first =
        reinterpret_cast<HTREEITEM>(SendMessageW(form->TreeView1, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageW(form->TreeView1, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(form->currentNodeText(), catalogue::tree().front().text);
}

TEST_F(Window, TheToolbarHasSevenButtonsWithCaptionsTooltipsAndImages) {
    auto form = open();
    HWND bar = form->ToolBar1;
    ASSERT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 7);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(bar, TB_GETIMAGELIST, 0, 0)),
              form->ImageList1);
    EXPECT_EQ(ImageList_GetImageCount(form->ImageList1), 7);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(form->ImageList1, &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(cy, 32);
    // At its place, sized to its buttons within its edges, beside the logo and above the tree.
    const RECT place = placeIn(bar, form->Form1);
    EXPECT_EQ(place.left, layout::kToolBar1.left);
    EXPECT_EQ(place.top, layout::kToolBar1.top);
    EXPECT_LT(place.bottom, layout::kTreeView1.top);
    RECT inside{};
    GetClientRect(bar, &inside);
    EXPECT_EQ(inside.bottom, 56);

    const struct {
        int number;
        int image;
        std::string caption;
        std::string tooltip;
        bool marked;
    } want[] = {
        {2, 0, "vn.test", "Перейти на сайт vn.test", false},
        {3, 1, "инструкция", "Посмотреть инструкцию", true},
        {1, 2, "скачать всю базу", "Загрузить всё сразу", false},
        {4, 3, "удалить всю базу", "Если у вас возникли вопросы пишите.", false},
        {5, 4, "написать письмо", "", false},
        {6, 5, "новости обновлений", "", true},
        {7, 6, "путь к базе", "", false},
    };
    int left = -1;
    for (int i = 0; i < 7; ++i) {
        const auto& w = want[i];
        TBBUTTON button{};
        ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        EXPECT_EQ(button.idCommand, TForm1::kToolButtonId + w.number) << w.caption;
        EXPECT_EQ(button.iBitmap, w.image) << w.caption;
        wchar_t caption[128] = {};
        SendMessageW(bar, TB_GETBUTTONTEXTW, button.idCommand, reinterpret_cast<LPARAM>(caption));
        EXPECT_EQ(narrow(caption), w.caption);
        const auto state = SendMessageW(bar, TB_GETSTATE, button.idCommand, 0);
        EXPECT_EQ((state & TBSTATE_MARKED) != 0, w.marked) << w.caption;
        EXPECT_FALSE(state & TBSTATE_CHECKED) << w.caption;

        // The tooltip the window gives the toolbar when the mouse rests on the button.
        wchar_t tip[256] = L"-";
        NMTBGETINFOTIPW ask{};
        ask.hdr = {bar, static_cast<UINT_PTR>(GetDlgCtrlID(bar)), TBN_GETINFOTIPW};
        ask.pszText = tip;
        ask.cchTextMax = 256;
        ask.iItem = button.idCommand;
        SendMessageW(form->Form1, WM_NOTIFY, ask.hdr.idFrom, reinterpret_cast<LPARAM>(&ask));
        EXPECT_EQ(narrow(tip), w.tooltip) << w.caption;

        RECT rect{};
        SendMessageW(bar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rect));
        EXPECT_EQ(rect.bottom - rect.top, 56) << w.caption;
        EXPECT_GT(rect.left, left) << w.caption;
        EXPECT_LE(rect.right, inside.right) << w.caption;
        left = rect.left;
        if (w.number == 6) {
            EXPECT_EQ(rect.right - rect.left, 131);
        } else {
            // As wide as its caption needs.
            HDC dc = GetDC(bar);
            const auto old =
                SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0)));
            SIZE extent{};
            const std::wstring text = wide(w.caption);
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            SelectObject(dc, old);
            ReleaseDC(bar, dc);
            EXPECT_GE(rect.right - rect.left, extent.cx) << w.caption;
        }
    }

    // A hand over the toolbar, the arrow elsewhere.
    const auto cursorOver = [&](HWND control) {
        SendMessageW(form->Form1, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    EXPECT_EQ(cursorOver(bar), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(cursorOver(form->Form1), LoadCursorW(nullptr, IDC_ARROW));

    // Flat discs: transparent corners, an opaque coloured rim.
    IMAGEINFO info{};
    ASSERT_TRUE(ImageList_GetImageInfo(form->ImageList1, 0, &info));
    BITMAP strip{};
    ASSERT_TRUE(GetObjectW(info.hbmImage, sizeof strip, &strip));
    ASSERT_EQ(strip.bmBitsPixel, 32);
    for (int image = 0; image < 7; ++image) {
        ASSERT_TRUE(ImageList_GetImageInfo(form->ImageList1, image, &info));
        BITMAPINFO header{};
        header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header.bmiHeader.biWidth = strip.bmWidth;
        header.bmiHeader.biHeight = -strip.bmHeight;
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        std::vector<DWORD> pixels(static_cast<std::size_t>(strip.bmWidth) * strip.bmHeight);
        HDC dc = GetDC(nullptr);
        ASSERT_EQ(
            GetDIBits(dc, info.hbmImage, 0, strip.bmHeight, pixels.data(), &header, DIB_RGB_COLORS),
            strip.bmHeight);
        ReleaseDC(nullptr, dc);
        const auto at = [&](int x, int y) {
            return pixels[static_cast<std::size_t>(info.rcImage.top + y) * strip.bmWidth +
                          info.rcImage.left + x];
        };
        EXPECT_EQ(at(0, 0) >> 24, 0u) << "image " << image;
        EXPECT_EQ(at(2, 16) >> 24, 255u) << "image " << image;
        EXPECT_NE(at(2, 16) & 0xFFFFFF, 0xFFFFFFu) << "image " << image;
    }
}

TEST_F(Window, TheUrlButtonsHandTheirAddressesToTheShell) {
    auto form = open();
    for (int number : {2, 1, 5})
        SendMessageW(form->Form1, WM_COMMAND,
                     MAKEWPARAM(TForm1::kToolButtonId + number, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form->ToolBar1));
    EXPECT_EQ(shell.opened, (std::vector<std::string>{app::webSiteUrl(), app::fullArchiveUrl(),
                                                      app::supportMailUrl()}));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Window, ThePanelTogglesShowAndHideTheirPanelAndGiveTheTreeItsLooks) {
    auto form = open();
    const auto click = [&](int number) {
        SendMessageW(form->Form1, WM_COMMAND,
                     MAKEWPARAM(TForm1::kToolButtonId + number, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form->ToolBar1));
    };
    const auto visible = [](HWND w) { return (GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0; };
    const auto checked = [&](int number) {
        return SendMessageW(form->ToolBar1, TB_ISBUTTONCHECKED, TForm1::kToolButtonId + number,
                            0) != 0;
    };
    const auto expectLook = [&](const layout::TreeLook& look, const char* when) {
        EXPECT_EQ(static_cast<COLORREF>(SendMessageW(form->TreeView1, TVM_GETBKCOLOR, 0, 0)),
                  RGB(look.background.red(), look.background.green(), look.background.blue()))
            << when;
        EXPECT_EQ(static_cast<COLORREF>(SendMessageW(form->TreeView1, TVM_GETTEXTCOLOR, 0, 0)),
                  RGB(look.text.red(), look.text.green(), look.text.blue()))
            << when;
        EXPECT_EQ(IsWindowEnabled(form->TreeView1) != 0, look.takesInput) << when;
    };
    HWND instructions = form->Frame21->handle();

    click(3);
    EXPECT_TRUE(visible(instructions));
    EXPECT_TRUE(checked(3));
    expectLook(layout::kShadedLook, "instructions shown");
    EXPECT_TRUE(sameRect(placeIn(instructions, form->Form1), layout::kFrame21));
    EXPECT_TRUE(sameRect(placeIn(form->Frame21->Memo1, instructions), {3, 10, 694, 454}));
    EXPECT_EQ(windowText(form->Frame21->Memo1), join(app::instructionLines(), "\r\n"));

    click(6);
    EXPECT_TRUE(visible(form->Memo1));
    EXPECT_TRUE(checked(6));
    EXPECT_TRUE(sameRect(placeIn(form->Memo1, form->Form1), layout::kMemo1));

    // Closing the instructions leaves the news open, yet the tree takes input again.
    click(3);
    EXPECT_FALSE(visible(instructions));
    EXPECT_FALSE(checked(3));
    EXPECT_TRUE(visible(form->Memo1));
    EXPECT_TRUE(checked(6));
    expectLook(layout::kPlainLook, "instructions hidden, news shown");

    click(6);
    EXPECT_FALSE(visible(form->Memo1));
    EXPECT_FALSE(checked(6));
    expectLook(layout::kPlainLook, "both hidden");

    // The instructions lie above the news: nearer the top among the window's children.
    int place = 0, newsPlace = -1, framePlace = -1, treePlace = -1;
    for (HWND w = GetWindow(form->Form1, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT), ++place) {
        if (w == form->Memo1) newsPlace = place;
        if (w == instructions) framePlace = place;
        if (w == form->TreeView1) treePlace = place;
    }
    EXPECT_LT(framePlace, newsPlace);
    EXPECT_LT(newsPlace, treePlace);
}

// The tree's item with this text, searched depth first; null when there is none.
HTREEITEM findItem(HWND tree, HTREEITEM item, const std::string& text) {
    for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                 reinterpret_cast<LPARAM>(item)))) {
        wchar_t label[512] = {};
        TVITEMW query{};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = label;
        query.cchTextMax = 512;
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
        if (narrow(label) == text) return item;
        const auto child = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        if (HTREEITEM found = findItem(tree, child, text)) return found;
    }
    return nullptr;
}

// A double-click on a group runs the download command for the current node: each archive of
// the group is asked for in turn, and the failures are reported once at the end.
TEST_F(Window, ADoubleClickOnAGroupDownloadsItsArchivesAndReportsTheFailures) {
    auto form = open();
    http.body.reset();
    http.requested.clear();
    const catalogue::GroupRow& group = catalogue::grouplist().front();
    const auto root =
        reinterpret_cast<HTREEITEM>(SendMessageW(form->TreeView1, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    HTREEITEM item = findItem(form->TreeView1, root, group.key);
    ASSERT_NE(item, nullptr) << group.key;
    SendMessageW(form->TreeView1, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));

    NMHDR click{form->TreeView1, static_cast<UINT_PTR>(GetDlgCtrlID(form->TreeView1)),
                static_cast<UINT>(NM_DBLCLK)};
    SendMessageW(form->Form1, WM_NOTIFY, click.idFrom, reinterpret_cast<LPARAM>(&click));

    EXPECT_EQ(http.requested, group.urls);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.rfind("Загрузка завершена с ошибками", 0), 0u)
        << dialogs.shown[0].text;
    EXPECT_EQ(SendMessageW(form->ProgressBar1, PBM_GETPOS, 0, 0), 0);
}

// Closes the context menu that the window opens, from within the menu's own loop.
void CALLBACK closeMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
}

TEST_F(Window, TheContextMenuOffersTheGroupRemovalOnceANodeIsCurrent) {
    auto form = open();
    const auto request = [&] {
        SetTimer(nullptr, 0, 10, closeMenu);
        SendMessageW(form->Form1, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form->TreeView1),
                     MAKELPARAM(100, 100));
    };
    request();
    EXPECT_EQ(GetMenuItemCount(form->PopupMenu1), 0);

    const auto first =
        reinterpret_cast<HTREEITEM>(SendMessageW(form->TreeView1, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageW(form->TreeView1, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
    ShowWindow(form->Form1, SW_SHOWNOACTIVATE);
    request();
    ASSERT_EQ(GetMenuItemCount(form->PopupMenu1), 1);
    EXPECT_EQ(GetMenuItemID(form->PopupMenu1, 0), static_cast<UINT>(TForm1::kN1Id));
    wchar_t text[64] = {};
    GetMenuStringW(form->PopupMenu1, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(narrow(text), layout::kGroupRemovalItem);

    // Its command is the group removal: without a database the engine's error is reported.
    dialogs.shown.clear();
    SendMessageW(form->Form1, WM_COMMAND, MAKEWPARAM(TForm1::kN1Id, 0), 0);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, WindowBox::Kind::ErrorReport);
}

TEST_F(Window, KeepsItsOuterSizeWhateverIsAskedOfIt) {
    auto form = open();
    ShowWindow(form->Form1, SW_SHOWNOACTIVATE);
    const auto size = [&] {
        RECT r{};
        GetWindowRect(form->Form1, &r);
        return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
    };
    EXPECT_EQ(size(), "909x723");
    SetWindowPos(form->Form1, nullptr, 0, 0, 1200, 900, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(size(), "909x723");
    ShowWindow(form->Form1, SW_MAXIMIZE);
    EXPECT_EQ(size(), "909x723");
    int minW = 1, minH = 2, maxW = 30000, maxH = -4;
    TForm1::FormConstrainedResize(minW, minH, maxW, maxH);
    EXPECT_EQ(std::to_string(minW) + "x" + std::to_string(minH), "909x723");
    EXPECT_EQ(std::to_string(maxW) + "x" + std::to_string(maxH), "909x723");
}

TEST_F(Window, AnErrorEndsTheOperationWithOneReportAndTheProgramGoesOn) {
    auto form = open();
    bool after = false;
    EXPECT_FALSE(form->guard([&] {
        throw Error("'' is not a valid date");
        after = true;
    }));
    EXPECT_TRUE(form->guard([&] { after = true; }));
    EXPECT_TRUE(after);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, app::applicationTitle(system.executablePath()));
    EXPECT_EQ(dialogs.shown[0].text, "'' is not a valid date.");
}

// The pump repaints while the program blocks.
TEST_F(Window, ThePumpRepaintsWhileTheProgramBlocks) {
    auto form = open();
    ShowWindow(form->Form1, SW_SHOWNOACTIVATE);
    TForm1::pumpEvents();
    EXPECT_FALSE(GetUpdateRect(form->Form1, nullptr, FALSE));
    InvalidateRect(form->Form1, nullptr, TRUE);
    ASSERT_TRUE(GetUpdateRect(form->Form1, nullptr, FALSE));
    TForm1::pumpEvents();
    EXPECT_FALSE(GetUpdateRect(form->Form1, nullptr, FALSE));
}

// The window's client area as drawn on the screen: read back with BitBlt from the window's
// device context after every pending repaint, and saved as a picture beside the test program.
class Screenshot {
public:
    Screenshot(HWND window, const std::string& name) {
        for (int i = 0; i < 20; ++i) {
            TForm1::pumpEvents();
            RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        RECT client{};
        GetClientRect(window, &client);
        width = client.right;
        height = client.bottom;
        HDC screen = GetDC(window);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO header{};
        header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header.bmiHeader.biWidth = width;
        header.bmiHeader.biHeight = -height;
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP shot = CreateDIBSection(screen, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
        const auto old = SelectObject(memory, shot);
        copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        const auto* first = static_cast<const DWORD*>(bits);
        pixels.assign(first, first + static_cast<std::size_t>(width) * height);
        SelectObject(memory, old);
        DeleteObject(shot);
        DeleteDC(memory);
        ReleaseDC(window, screen);

        std::ofstream out(FixedSystem().executablePath().parent_path() / (name + ".bmp"),
                          std::ios::binary);
        const DWORD size = static_cast<DWORD>(pixels.size() * 4);
        BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
        file.bfSize = file.bfOffBits + size;
        out.write(reinterpret_cast<const char*>(&file), sizeof file);
        out.write(reinterpret_cast<const char*>(&header.bmiHeader), sizeof header.bmiHeader);
        out.write(reinterpret_cast<const char*>(pixels.data()), size);
    }
    // 0xRRGGBB
    DWORD at(int x, int y) const {
        return pixels.at(static_cast<std::size_t>(y) * width + x) & 0xFFFFFF;
    }

    int width = 0;
    int height = 0;
    bool copied = false;
    std::vector<DWORD> pixels;
};

// The first tree row's place in the window's client area.
RECT firstRow(const TForm1& form) {
    RECT row{};
    *reinterpret_cast<HTREEITEM*>(&row) =
        reinterpret_cast<HTREEITEM>(SendMessageW(form.TreeView1, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageW(form.TreeView1, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&row));
    MapWindowPoints(form.TreeView1, form.Form1, reinterpret_cast<POINT*>(&row), 2);
    return row;
}

TEST_F(Window, TheScreenShowsTheLogoAndTheFirstTreeRow) {
    auto form = open();
    ShowWindow(form->Form1, SW_SHOWNOACTIVATE);
    const Screenshot shot(form->Form1, "window_screenshot");
    ASSERT_TRUE(shot.copied);
    ASSERT_GE(shot.width, layout::kClientSize.width - 40);
    ASSERT_GE(shot.height, layout::kClientSize.height - 60);
    const auto at = [&](int x, int y) { return shot.at(x, y); };

    const DWORD face = 0xF0F0F0;
    // The logo: the sapphire of its letters and bar inside its place, the window's face around
    // the letters.
    const layout::Rect logo = layout::kImage1;
    int sapphire = 0, faceAround = 0;
    for (int y = logo.top; y < logo.top + logo.height; ++y)
        for (int x = logo.left; x < logo.left + logo.width; ++x) {
            const DWORD c = at(x, y);
            const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
            if (b > 0x80 && r < 0x50 && g < 0x70) ++sapphire;
            if (c == face) ++faceAround;
        }
    EXPECT_GT(sapphire, 300) << "no logo drawn at " << logo.left << "," << logo.top;
    EXPECT_GT(faceAround, 1000);

    // The first tree row: its label's dark ink on the window's face.
    const RECT row = firstRow(*form);
    ASSERT_GT(row.bottom, row.top);
    int ink = 0, background = 0;
    for (int y = row.top; y < row.bottom; ++y)
        for (int x = row.left; x < row.right; ++x) {
            const DWORD c = at(x, y);
            if (((c >> 16) & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && (c & 0xFF) < 0x60) ++ink;
            if (c == face) ++background;
        }
    EXPECT_GT(ink, 20) << "no label drawn in the first row " << describe(row);
    EXPECT_GT(background, ink);
    // Right of the label, the tree's own background: the window's face.
    EXPECT_EQ(at(layout::kTreeView1.left + layout::kTreeView1.width - 10, row.top + 2), face);
}

// With a panel open the tree is shaded: its background in the window frame's colour, the panel
// drawn over it, its button pressed down; the instructions panel covers the news.
TEST_F(Window, TheScreenShowsTheShadedTreeUnderAnOpenPanel) {
    auto form = open();
    ShowWindow(form->Form1, SW_SHOWNOACTIVATE);
    const auto click = [&](int number) {
        SendMessageW(form->Form1, WM_COMMAND,
                     MAKEWPARAM(TForm1::kToolButtonId + number, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form->ToolBar1));
    };
    const RECT row = firstRow(*form);
    const int treeRight = layout::kTreeView1.left + layout::kTreeView1.width - 10;
    const layout::Rect news = layout::kMemo1;
    const layout::Rect frame = layout::kFrame21;

    // A point on the face of a toolbar button, left of its image and above its caption.
    const auto onFace = [&](int number) {
        RECT button{};
        SendMessageW(form->ToolBar1, TB_GETRECT, TForm1::kToolButtonId + number,
                     reinterpret_cast<LPARAM>(&button));
        MapWindowPoints(form->ToolBar1, form->Form1, reinterpret_cast<POINT*>(&button), 2);
        return POINT{button.left + 3, button.top + 5};
    };
    const auto rgb = [](layout::Rgb c) { return static_cast<DWORD>(c.value); };
    const POINT news6 = onFace(6);
    const POINT instructions3 = onFace(3);
    {
        const Screenshot start(form->Form1, "window_screenshot_start");
        EXPECT_EQ(start.at(news6.x, news6.y), rgb(layout::kMarkedButtonFace));
        EXPECT_EQ(start.at(instructions3.x, instructions3.y), rgb(layout::kMarkedButtonFace));
    }

    click(6);
    const Screenshot newsShot(form->Form1, "window_screenshot_news");
    EXPECT_EQ(newsShot.at(news6.x, news6.y), rgb(layout::kPressedButtonFace));
    EXPECT_EQ(newsShot.at(instructions3.x, instructions3.y), rgb(layout::kMarkedButtonFace));
    EXPECT_EQ(newsShot.at(treeRight, row.top + 2), 0x646464u);
    EXPECT_EQ(newsShot.at(news.left + news.width - 10, news.top + news.height - 10), 0xFFFFFFu);

    click(3);
    const Screenshot both(form->Form1, "window_screenshot_instructions");
    EXPECT_EQ(both.at(treeRight, row.top + 2), 0x646464u);
    // The frame's own face beside its memo, where the news would show through.
    EXPECT_EQ(both.at(frame.left + 1, frame.top + 5), 0xF0F0F0u);
    int ink = 0;
    for (int x = frame.left + 10; x < frame.left + 300; ++x)
        for (int y = frame.top + 12; y < frame.top + 30; ++y)
            if ((both.at(x, y) & 0xFF) < 0x60) ++ink;
    EXPECT_GT(ink, 20) << "no instruction text drawn";
}

}  // namespace
}  // namespace volnor::test
