#include "ui/win32/Unit1.h"

#include <windowsx.h>

#include "app/app.h"
#include "catalogue/catalogue.h"
#include "platform/error.h"
#include "platform/win32/wide.h"
#include "ui/win32/resource.h"
#include "ui/win32/win32_layout.h"
#include "update/startup.h"

namespace volnor::ui {

namespace layout = app::layout;
using win32::narrow;
using win32::wide;

namespace {

constexpr wchar_t kFormClass[] = L"TForm1";

enum ChildId { kTreeId = 10, kImageId, kToolBarId, kProgressId, kMemoId, kStatusId };

ATOM registerFormClass(HINSTANCE instance, WNDPROC proc) {
    static const ATOM atom = [instance, proc] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = CreateSolidBrush(colorRef(layout::kBtnFace));
        wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0));
        wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0));
        wc.lpszClassName = kFormClass;
        return RegisterClassExW(&wc);
    }();
    return atom;
}

// The toolbar's frame: a raised edge on all four sides with a lowered inner edge, outside the
// buttons.
constexpr int kEdge = 2;

LRESULT CALLBACK toolBarEdge(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR) {
    if (message == WM_NCCALCSIZE) {
        const LRESULT result = DefSubclassProc(bar, message, wParam, lParam);
        RECT& client = wParam ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                              : *reinterpret_cast<RECT*>(lParam);
        InflateRect(&client, -kEdge, -kEdge);
        return result;
    }
    if (message == WM_NCPAINT) {
        HDC dc = GetWindowDC(bar);
        RECT edge{};
        GetWindowRect(bar, &edge);
        OffsetRect(&edge, -edge.left, -edge.top);
        DrawEdge(dc, &edge, EDGE_BUMP, BF_RECT);
        ReleaseDC(bar, dc);
        return 0;
    }
    return DefSubclassProc(bar, message, wParam, lParam);
}

// Where the toolbar draws a button's image below its top edge.
constexpr int kCaptionGap = 3;

bool isUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

void addNode(HWND tree, HTREEITEM parent, const catalogue::Node& node) {
    std::wstring text = wide(node.text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = text.data();
    const auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    for (const auto& child : node.children) addNode(tree, item, child);
}

}  // namespace

int BarProgress::position() const { return static_cast<int>(SendMessageW(bar_, PBM_GETPOS, 0, 0)); }

void BarProgress::setPosition(std::int64_t value) {
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(held(value)), 0);
}

TForm1::TForm1(HINSTANCE instance, Services services)
    : TForm1(instance, services, update::Settings::of(services.system)) {}

TForm1::TForm1(HINSTANCE instance, Services services, update::Settings update)
    : instance_(instance),
      services_(std::move(services)),
      update_(std::move(update)),
      title_(app::applicationTitle(services_.system.executablePath())) {
    registerFormClass(instance_, &TForm1::windowProc);
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    FormConstrainedResize(minW, minH, maxW, maxH);
    // A normal frame with the system menu and both buttons; the size limits make every resize
    // a no-op. Not visible until the message loop shows it.
    Form1 = CreateWindowExW(0, kFormClass, wide(app::kCaption).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            maxW, maxH, nullptr, nullptr, instance_, this);
    if (!Form1)
        throw Error("Не удалось создать главное окно программы (" +
                    win32::lastErrorText(GetLastError()) + ")");

    createComponents();
    services_.http.setOnWork([this](HttpClient& sender, HttpClient::WorkMode mode,
                                    std::int64_t count) { IdHTTP1Work(sender, mode, count); });
    services_.http.setPump(&TForm1::pumpEvents);
    services_.ftp.setPump(&TForm1::pumpEvents);
    downloader_ =
        std::make_unique<Downloader>(services_.http, *progress_, services_.dialogs, services_.shell,
                                     services_.runner, services_.files, &TForm1::pumpEvents);
    parts_ = std::make_unique<partsdb::PartsMaintenance>(services_.dialogs, services_.database,
                                                         services_.files, services_.paths);

    guard([this] { FormCreate(); });
}

TForm1::~TForm1() {
    // The clients outlive the window: they must not call back into it.
    services_.http.setOnWork(nullptr);
    services_.http.setPump(nullptr);
    services_.ftp.setPump(nullptr);
    downloader_.reset();
    Frame21.reset();
    if (Form1) {
        SetWindowLongPtrW(Form1, GWLP_USERDATA, 0);
        DestroyWindow(Form1);
    }
    if (PopupMenu1) DestroyMenu(PopupMenu1);
    if (ImageList1) ImageList_Destroy(ImageList1);
    if (logo_) DeleteObject(logo_);
    for (HFONT font : fonts_) DeleteObject(font);
}

void TForm1::createComponents() {
    HFONT windowFont = createFont(layout::kWindowFont);
    HFONT treeFont = createFont(layout::kTreeFont);
    HFONT memoFont = createFont(layout::kMemoFont);
    fonts_ = {windowFont, treeFont, memoFont};

    // Created in the component table's order; their z-order is set below.
    Image1 = createChild(0, L"STATIC", WS_VISIBLE | SS_BITMAP, layout::kImage1, Form1, kImageId,
                         instance_);
    logo_ = static_cast<HBITMAP>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    SendMessageW(Image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_));

    // No lines between nodes, no label editing, no tooltips; buttons at the root as well.
    TreeView1 = createChild(WS_EX_CLIENTEDGE, WC_TREEVIEWW,
                            WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | TVS_HASBUTTONS |
                                TVS_LINESATROOT | TVS_NOTOOLTIPS,
                            layout::kTreeView1, Form1, kTreeId, instance_);
    // The font first: items inserted before it would keep the width of the old one.
    SendMessageW(TreeView1, WM_SETFONT, reinterpret_cast<WPARAM>(treeFont), FALSE);
    SendMessageW(TreeView1, TVM_SETINDENT, layout::kTreeIndent, 0);
    setTreeLook(layout::kStartLook);
    fillTree();

    PopupMenu1 = CreatePopupMenu();

    createToolBar();

    ProgressBar1 = createChild(0, PROGRESS_CLASSW, WS_VISIBLE | WS_CLIPSIBLINGS,
                               layout::kProgressBar1, Form1, kProgressId, instance_);
    SendMessageW(ProgressBar1, PBM_SETRANGE32, Progress::kMin, Progress::kMax);
    SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
    progress_ = std::make_unique<BarProgress>(ProgressBar1);

    // The news: hidden at start, editable, long lines wrap.
    Memo1 = createChild(WS_EX_CLIENTEDGE, L"EDIT",
                        WS_CLIPSIBLINGS | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL,
                        layout::kMemo1, Form1, kMemoId, instance_);
    SendMessageW(Memo1, WM_SETFONT, reinterpret_cast<WPARAM>(memoFont), FALSE);
    SetWindowTextW(Memo1, editText(layout::kMemoStoredText).c_str());

    // Along the bottom edge; the bar sizes itself to the window's width and its font.
    StatusBar1 = createChild(0, STATUSCLASSNAMEW, WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                             layout::kStatusBar1, Form1, kStatusId, instance_);
    SendMessageW(StatusBar1, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont), FALSE);
    int edges[layout::kStatusPanelWidths.size()];
    int right = 0;
    for (std::size_t i = 0; i < layout::kStatusPanelWidths.size(); ++i) {
        right += layout::kStatusPanelWidths[i];
        edges[i] = right;
    }
    SendMessageW(StatusBar1, SB_SETPARTS, layout::kStatusPanelWidths.size(),
                 reinterpret_cast<LPARAM>(edges));

    Frame21 = std::make_unique<TFrame2>(Form1, instance_);
    const layout::Rect& frame = layout::kFrame21;
    SetWindowPos(Frame21->handle(), nullptr, frame.left, frame.top, frame.width, frame.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(Frame21->Memo1, nullptr, layout::kFrame21MemoLeft, layout::kFrame21MemoTop, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);

    // Later above earlier, as in the stored form: each one goes to the top in turn.
    for (HWND child :
         {Image1, TreeView1, ToolBar1, ProgressBar1, Memo1, StatusBar1, Frame21->handle()})
        SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm1::createToolBar() {
    HFONT barFont = createFont(layout::kToolBarFont);
    fonts_.push_back(barFont);
    // Buttons with their captions below the images, a transparent background, tooltips.
    ToolBar1 = createChild(0, TOOLBARCLASSNAMEW,
                           WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT |
                               TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                           layout::kToolBar1, Form1, kToolBarId, instance_);
    SendMessageW(ToolBar1, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(ToolBar1, WM_SETFONT, reinterpret_cast<WPARAM>(barFont), FALSE);

    ImageList1 = ImageList_Create(layout::kImageSide, layout::kImageSide, ILC_COLOR32,
                                  layout::kImageCount, 0);
    const auto strip = static_cast<HBITMAP>(LoadImageW(instance_, MAKEINTRESOURCEW(IDB_TOOLBAR),
                                                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (strip) {
        ImageList_Add(ImageList1, strip, nullptr);
        DeleteObject(strip);
    }
    SendMessageW(ToolBar1, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(ImageList1));

    std::vector<std::wstring> captions;
    for (const layout::ToolButton& spec : layout::toolButtons())
        captions.push_back(wide(spec.caption));
    std::vector<TBBUTTON> buttons;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        const layout::ToolButton& spec = layout::toolButtons()[i];
        TBBUTTON button{};
        button.iBitmap = spec.image;
        button.idCommand = kToolButtonId + spec.number;
        button.fsState = TBSTATE_ENABLED | (spec.marked ? TBSTATE_MARKED : 0);
        button.fsStyle = static_cast<BYTE>(BTNS_BUTTON | (spec.autoSize ? BTNS_AUTOSIZE : 0) |
                                           (spec.marked ? BTNS_CHECK : 0));
        button.iString = reinterpret_cast<INT_PTR>(captions[i].c_str());
        buttons.push_back(button);
    }
    SendMessageW(ToolBar1, TB_SETBUTTONSIZE, 0,
                 MAKELPARAM(layout::kFixedButtonWidth, layout::kButtonHeight));
    SendMessageW(ToolBar1, TB_ADDBUTTONSW, buttons.size(),
                 reinterpret_cast<LPARAM>(buttons.data()));
    for (const layout::ToolButton& spec : layout::toolButtons()) {
        if (spec.autoSize) continue;
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_SIZE;
        info.cx = static_cast<WORD>(layout::kFixedButtonWidth);
        SendMessageW(ToolBar1, TB_SETBUTTONINFOW, kToolButtonId + spec.number,
                     reinterpret_cast<LPARAM>(&info));
    }
    // The bar sizes itself to its buttons and its edges.
    SetWindowSubclass(ToolBar1, toolBarEdge, 0, 0);
    SIZE buttonsSize{};
    SendMessageW(ToolBar1, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&buttonsSize));
    SetWindowPos(ToolBar1, nullptr, 0, 0, buttonsSize.cx + 2 * kEdge,
                 layout::kButtonHeight + 2 * kEdge,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    // A new frame has the bar measure its buttons again.
    SendMessageW(ToolBar1, TB_SETBUTTONSIZE, 0,
                 MAKELPARAM(layout::kFixedButtonWidth, layout::kButtonHeight));
}

LRESULT TForm1::drawToolButton(NMTBCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    // The marked buttons in the program's style: a face of their own, darker while pressed
    // down, in place of the system's highlight over caption and image.
    const auto state = SendMessageW(ToolBar1, TB_GETSTATE, draw.nmcd.dwItemSpec, 0);
    if (state == -1 || !(state & TBSTATE_MARKED)) return CDRF_DODEFAULT;
    const bool down = state & (TBSTATE_CHECKED | TBSTATE_PRESSED);
    HBRUSH face =
        CreateSolidBrush(colorRef(down ? layout::kPressedButtonFace : layout::kMarkedButtonFace));
    HBRUSH border = CreateSolidBrush(
        colorRef(down ? layout::kPressedButtonBorder : layout::kMarkedButtonBorder));
    HDC dc = draw.nmcd.hdc;
    const RECT& rc = draw.nmcd.rc;
    FillRect(dc, &rc, face);
    FrameRect(dc, &rc, border);
    DeleteObject(face);
    DeleteObject(border);
    // The image above the caption, drawn here too: the fixed-width button's caption fills it
    // edge to edge, where the toolbar's own drawing would cut it short with an ellipsis.
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_IMAGE;
    SendMessageW(ToolBar1, TB_GETBUTTONINFOW, draw.nmcd.dwItemSpec,
                 reinterpret_cast<LPARAM>(&info));
    const int top = rc.top + kCaptionGap;
    ImageList_Draw(ImageList1, info.iImage, dc,
                   rc.left + (rc.right - rc.left - layout::kImageSide) / 2, top, ILD_NORMAL);
    wchar_t caption[128] = {};
    SendMessageW(ToolBar1, TB_GETBUTTONTEXTW, draw.nmcd.dwItemSpec,
                 reinterpret_cast<LPARAM>(caption));
    RECT text = rc;
    text.top = top + layout::kImageSide + 1;
    const auto oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(ToolBar1, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, caption, -1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    return CDRF_SKIPDEFAULT;
}

void TForm1::fillTree() {
    for (const auto& node : catalogue::tree()) addNode(TreeView1, TVI_ROOT, node);
}

void TForm1::FormConstrainedResize(int& MinWidth, int& MinHeight, int& MaxWidth, int& MaxHeight) {
    MinWidth = MaxWidth = layout::kOuterSize.width;
    MinHeight = MaxHeight = layout::kOuterSize.height;
}

void TForm1::placeProgressBar() {
    SetParent(ProgressBar1, StatusBar1);
    progress_->setPosition(100);
    RECT bar{};
    GetWindowRect(ProgressBar1, &bar);
    MapWindowPoints(HWND_DESKTOP, StatusBar1, reinterpret_cast<POINT*>(&bar), 2);
    // Top, then left; then the height from the status bar's, the width from panel 0's.
    bar.top = layout::kProgressBarTop;
    bar.left = 0;
    RECT status{};
    GetClientRect(StatusBar1, &status);
    int edges[layout::kStatusPanelWidths.size()]{};
    SendMessageW(StatusBar1, SB_GETPARTS, layout::kStatusPanelWidths.size(),
                 reinterpret_cast<LPARAM>(edges));
    const int height = (status.bottom - status.top) - bar.top;
    const int width = edges[0] - bar.left;
    SetWindowPos(ProgressBar1, HWND_TOP, bar.left, bar.top, width, height, SWP_NOACTIVATE);
}

void TForm1::FormCreate() {
    placeProgressBar();
    update::StartupResult outcome =
        update::runStartup({services_.http, services_.ftp, services_.runner, services_.signatures,
                            services_.ini, *progress_},
                           services_.paths, services_.exeDir, update_);
    cmdrun = std::move(outcome.cmdrun);
    cmdupdate = std::move(outcome.cmdupdate);
    // What start-up reached is shown, also when a later step failed.
    if (!outcome.statusText.empty()) {
        SendMessageW(StatusBar1, SB_SETTEXTW, 1,
                     reinterpret_cast<LPARAM>(wide(outcome.statusText).c_str()));
        SetWindowTextW(Memo1, editText(outcome.news).c_str());
    }
    if (outcome.updateFailure)
        SendMessageW(StatusBar1, SB_SETTEXTW, 0,
                     reinterpret_cast<LPARAM>(wide(*outcome.updateFailure).c_str()));
    if (outcome.terminate) Terminate();
    if (outcome.error) throw Error(*outcome.error);
}

void TForm1::Terminate() {
    terminateRequested_ = true;
    // Takes effect in the message loop, after it has shown the window.
    PostQuitMessage(0);
}

void TForm1::IdHTTP1Work(HttpClient& /*ASender*/, HttpClient::WorkMode /*AWorkMode*/,
                         std::int64_t AWorkCount) {
    progress_->advance(AWorkCount);
}

void TForm1::TreeView1DblClick() {
    guard([this] { downloader_->download(currentNodeText()); });
}

void TForm1::TreeView1ContextPopup(POINT at) {
    // The item exists once it is visible: a Win32 menu item cannot be hidden.
    if (parts_->contextMenuVisible(currentNodeText()) && GetMenuItemCount(PopupMenu1) == 0)
        AppendMenuW(PopupMenu1, MF_STRING, kN1Id, wide(layout::kGroupRemovalItem).c_str());
    if (GetMenuItemCount(PopupMenu1) > 0)
        TrackPopupMenu(PopupMenu1, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Form1, nullptr);
}

void TForm1::ToolButton7Click() { parts_->chooseDatabase(); }

void TForm1::N1Click() { parts_->removeGroup(currentNodeText()); }

void TForm1::ToolButton4Click() { parts_->removeAllMakerParts(); }

void TForm1::ToolButton2Click() { services_.shell.openUrl(app::webSiteUrl()); }

void TForm1::ToolButton1Click() { services_.shell.openUrl(app::fullArchiveUrl()); }

void TForm1::ToolButton5Click() { services_.shell.openUrl(app::supportMailUrl()); }

void TForm1::ToolButton3Click() { togglePanel(Frame21->handle(), 3); }

void TForm1::ToolButton6Click() { togglePanel(Memo1, 6); }

void TForm1::togglePanel(HWND panel, int buttonNumber) {
    // The panel decides, not the button: a click has already flipped a check button.
    // Its own visibility, as the stored form's Visible: the window itself may not be shown yet.
    const int id = kToolButtonId + buttonNumber;
    if (!(GetWindowLongW(panel, GWL_STYLE) & WS_VISIBLE)) {
        ShowWindow(panel, SW_SHOW);
        SendMessageW(ToolBar1, TB_CHECKBUTTON, id, MAKELPARAM(TRUE, 0));
        setTreeLook(layout::kShadedLook);
    } else {
        ShowWindow(panel, SW_HIDE);
        SendMessageW(ToolBar1, TB_CHECKBUTTON, id, MAKELPARAM(FALSE, 0));
        setTreeLook(layout::kPlainLook);
    }
}

void TForm1::setTreeLook(const layout::TreeLook& look) {
    SendMessageW(TreeView1, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(colorRef(look.background)));
    SendMessageW(TreeView1, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colorRef(look.text)));
    EnableWindow(TreeView1, look.takesInput);
    InvalidateRect(TreeView1, nullptr, TRUE);
}

bool TForm1::guard(const std::function<void()>& operation) {
    try {
        operation();
        return true;
    } catch (...) {
        services_.dialogs.errorReport(title_, app::errorReportText(std::current_exception()));
        return false;
    }
}

std::optional<std::string> TForm1::currentNodeText() const {
    const auto item =
        reinterpret_cast<HTREEITEM>(SendMessageW(TreeView1, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return std::nullopt;
    // A node's text is short; the buffer holds the longest the control keeps.
    std::wstring text(1024, L'\0');
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text.data();
    query.cchTextMax = static_cast<int>(text.size());
    if (!SendMessageW(TreeView1, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)))
        return std::nullopt;
    return narrow(query.pszText);
}

std::wstring TForm1::tooltip(int number) const {
    for (const layout::ToolButton& spec : layout::toolButtons())
        if (spec.number == number) return wide(spec.tooltip);
    return {};
}

void TForm1::pumpEvents() {
    // Repaints, timers, posted and sent messages; the user's input stays in the queue until the
    // command has ended. A quit request is put back for the message loop.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0,
                        PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (isUserInput(msg.message)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK TForm1::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->Form1 = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
    return form->onMessage(message, wParam, lParam);
}

LRESULT TForm1::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            int minW = 0, minH = 0, maxW = 0, maxH = 0;
            FormConstrainedResize(minW, minH, maxW, maxH);
            limits->ptMinTrackSize = {minW, minH};
            limits->ptMaxTrackSize = {maxW, maxH};
            limits->ptMaxSize = {maxW, maxH};
            // Maximising leaves the window where it is.
            RECT place{};
            GetWindowRect(Form1, &place);
            limits->ptMaxPosition = {place.left, place.top};
            return 0;
        }
        case WM_SIZE:
            // The status bar keeps to the bottom edge.
            SendMessageW(StatusBar1, WM_SIZE, 0, 0);
            break;
        case WM_SETCURSOR:
            // A hand over the toolbar.
            if (reinterpret_cast<HWND>(wParam) == ToolBar1 && LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == 0 || HIWORD(wParam) == BN_CLICKED) command(LOWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return notify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == TreeView1) {
                POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                guard([&] { TreeView1ContextPopup(at); });
                return 0;
            }
            break;
        case WM_CLOSE:
            DestroyWindow(Form1);
            return 0;
        case WM_DESTROY:
            Form1 = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(Form1, message, wParam, lParam);
}

void TForm1::command(int id) {
    switch (id) {
        case kToolButtonId + 1:
            guard([this] { ToolButton1Click(); });
            break;
        case kToolButtonId + 2:
            guard([this] { ToolButton2Click(); });
            break;
        case kToolButtonId + 3:
            guard([this] { ToolButton3Click(); });
            break;
        case kToolButtonId + 4:
            guard([this] { ToolButton4Click(); });
            break;
        case kToolButtonId + 5:
            guard([this] { ToolButton5Click(); });
            break;
        case kToolButtonId + 6:
            guard([this] { ToolButton6Click(); });
            break;
        case kToolButtonId + 7:
            guard([this] { ToolButton7Click(); });
            break;
        case kN1Id:
            guard([this] { N1Click(); });
            break;
        default:
            break;
    }
}

LRESULT TForm1::notify(const NMHDR& header) {
    if (header.hwndFrom == TreeView1 && header.code == NM_DBLCLK) {
        TreeView1DblClick();
        return 0;
    }
    if (header.hwndFrom == TreeView1 && header.code == NM_RCLICK) {
        // A right-click asks for the context menu only; the current node stays.
        const DWORD at = GetMessagePos();
        SendMessageW(Form1, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(TreeView1), at);
        return TRUE;
    }
    if (header.hwndFrom == ToolBar1 && header.code == NM_CUSTOMDRAW)
        return drawToolButton(*reinterpret_cast<NMTBCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
    if (header.code == TBN_GETINFOTIPW) {
        auto& tip = *reinterpret_cast<NMTBGETINFOTIPW*>(const_cast<NMHDR*>(&header));
        const std::wstring text = tooltip(tip.iItem - kToolButtonId);
        if (tip.pszText && tip.cchTextMax > 0) lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
        return 0;
    }
    if (header.code == TTN_GETDISPINFOW) {
        // The toolbar's tooltips ask by command; a button without a tooltip shows none.
        auto& info = *reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(&header));
        tipText_ = tooltip(static_cast<int>(header.idFrom) - kToolButtonId);
        info.lpszText = tipText_.data();
        info.hinst = nullptr;
        return 0;
    }
    return 0;
}

}  // namespace volnor::ui
