#include "ui/qt/Unit1.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFont>
#include <QFontMetrics>
#include <QLayout>
#include <QMouseEvent>
#include <QPalette>
#include <algorithm>

#include "app/app.h"
#include "buildconfig.h"
#include "catalogue/catalogue.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/posix/curl_ftp_client.h"
#include "platform/posix/curl_http_client.h"
#include "platform/posix/file_search.h"
#include "platform/posix/ini_files.h"
#include "platform/posix/jet_engine.h"
#include "platform/posix/script_runner.h"
#include "platform/posix/signature.h"
#include "platform/posix/system.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "transfer/connect_to.h"
#include "ui/qt/images.h"
#include "ui/qt/qt_layout.h"
#include "ui/qt/qt_text.h"
#include "update/startup.h"

namespace volnor::ui {

namespace {

namespace layout = app::layout;

void addNode(QTreeWidgetItem* parent, QTreeWidget* tree, const catalogue::Node& node) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, qs(node.text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    for (const auto& child : node.children) addNode(item, tree, child);
}

}  // namespace

TStatusBar::TStatusBar(const std::vector<int>& widths, QWidget* parent) : QFrame(parent) {
    // Set on the bar and its panels themselves: under the style sheet they would not inherit the
    // window's font but take the wider default one, and panel 1's date would be cut off.
    setFont(parent->font());
    int left = 0;
    for (int width : widths) {
        auto* panel = new QLabel(this);
        panel->setFont(font());
        panel->setGeometry(left, 0, width, height());
        panels_.push_back(panel);
        left += width;
    }
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
    for (QLabel* panel : panels_) panel->resize(panel->width(), height());
    QFrame::resizeEvent(event);
}

int TStatusBar::panelWidth(int index) const { return panels_.at(index)->width(); }

QString TStatusBar::panelText(int index) const { return panels_.at(index)->text(); }

void TStatusBar::setPanelText(int index, const QString& text) { panels_.at(index)->setText(text); }

std::vector<std::string> TForm1::buildConnectTo() {
    return connectToList(buildconfig::kConnectTo);
}

update::Settings TForm1::userSettings() {
    static const posix::PosixSystem system;
    return update::Settings::of(system);
}

TForm1::TForm1(Dialogs& dialogs, Shell& shell, WinPaths paths, std::filesystem::path exeDir,
               std::vector<std::string> connectTo, QWidget* parent)
    : TForm1(dialogs, shell, std::move(paths), std::move(exeDir), std::move(connectTo),
             userSettings(), parent) {}

TForm1::TForm1(Dialogs& dialogs, Shell& shell, WinPaths paths, std::filesystem::path exeDir,
               std::vector<std::string> connectTo, update::Settings update, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      shell_(shell),
      paths_(std::move(paths)),
      exeDir_(std::move(exeDir)),
      update_(std::move(update)),
      title_(app::applicationTitle(posix::PosixSystem().executablePath())) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(qs(app::kCaption));
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    FormConstrainedResize(minW, minH, maxW, maxH);
    setMinimumSize(QSize(minW, minH) - kFrameSize);
    setMaximumSize(QSize(maxW, maxH) - kFrameSize);
    resize(kClientSize);

    QPalette colours = palette();
    colours.setColor(QPalette::Window, qColor(layout::kBtnFace));
    colours.setColor(QPalette::Button, qColor(layout::kBtnFace));
    colours.setColor(QPalette::WindowText, qColor(layout::kWindowText));
    setPalette(colours);
    setAutoFillBackground(true);
    setFont(qFont(layout::kWindowFont));

    createComponents();
    IdFTP1 = std::make_unique<posix::CurlFtpClient>(connectTo);
    IdFTP1->setPump(&TForm1::pumpEvents);
    IdHTTP1 = std::make_unique<posix::CurlHttpClient>(std::move(connectTo));
    IdHTTP1->setOnWork([this](HttpClient& sender, HttpClient::WorkMode mode, std::int64_t count) {
        IdHTTP1Work(sender, mode, count);
    });
    IdHTTP1->setPump(&TForm1::pumpEvents);
    runner_ = std::make_unique<posix::InterpreterRunner>(exeDir_);
    fileSearch_ = std::make_unique<posix::PosixFileSearch>();
    iniFiles_ = std::make_unique<posix::PosixIniFiles>();
    database_ = std::make_unique<posix::JetEngine>();
    downloader_ = std::make_unique<Downloader>(*IdHTTP1, *progress_, dialogs_, shell_, *runner_,
                                               *fileSearch_, &TForm1::pumpEvents);
    parts_ = std::make_unique<partsdb::PartsMaintenance>(dialogs_, *database_, *fileSearch_,
                                                         paths_);
    bindCommands();

    guard([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::createComponents() {
    // Created in the component table's order: each lies above the ones before it.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(qRect(layout::kImage1));
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    Image1->setPixmap(logoImage());

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setGeometry(qRect(layout::kTreeView1));
    TreeView1->setFont(qFont(layout::kTreeFont));
    setTreeLook(layout::kStartLook);
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIndentation(kTreeIndent);
    TreeView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setDragEnabled(true);
    TreeView1->setAcceptDrops(false);
    TreeView1->setDragDropMode(QAbstractItemView::DragOnly);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->viewport()->installEventFilter(this);
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { guard([&] { TreeView1ContextPopup(pos); }); });
    fillTree();

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = PopupMenu1->addAction(qs(layout::kGroupRemovalItem));
    N1->setObjectName(QStringLiteral("N1"));
    N1->setVisible(false);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setGeometry(qRect(layout::kToolBar1));
    ToolBar1->setFont(qFont(layout::kToolBarFont));
    ToolBar1->setIconSize(QSize(layout::kImageSide, layout::kImageSide));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setAttribute(Qt::WA_TranslucentBackground);
    ToolBar1->setCursor(Qt::PointingHandCursor);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ImageList1 = toolbarImages();

    QToolButton** fields[] = {&ToolButton1, &ToolButton2, &ToolButton3, &ToolButton4,
                              &ToolButton5, &ToolButton6, &ToolButton7};
    for (const layout::ToolButton& spec : layout::toolButtons()) {
        QToolButton* button = addButton(spec);
        button->setObjectName(QStringLiteral("ToolButton%1").arg(spec.number));
        *fields[spec.number - 1] = button;
    }
    // The bar sizes itself to its buttons and its edges.
    ToolBar1->layout()->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    ToolBar1->resize(ToolBar1->sizeHint());

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(qRect(layout::kProgressBar1));
    ProgressBar1->setRange(Progress::kMin, Progress::kMax);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    progress_ = std::make_unique<BarProgress>(*ProgressBar1);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(qRect(layout::kMemo1));
    Memo1->setFont(qFont(layout::kMemoFont));
    Memo1->setPlainText(qs(layout::kMemoStoredText));
    Memo1->hide();

    StatusBar1 = new TStatusBar({layout::kStatusPanelWidths.begin(),
                                 layout::kStatusPanelWidths.end()},
                                this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(qRect(layout::kStatusBar1));

    Frame21 = new TFrame2(this);
    Frame21->setObjectName(QStringLiteral("Frame21"));
    Frame21->setGeometry(qRect(layout::kFrame21));
    Frame21->Memo1->move(layout::kFrame21MemoLeft, layout::kFrame21MemoTop);
    Frame21->hide();
}

QToolButton* TForm1::addButton(const layout::ToolButton& spec) {
    auto* button = new QToolButton(ToolBar1);
    const QString caption = qs(spec.caption);
    // Set on the button itself: under a style sheet a tool button does not inherit its bar's font.
    button->setFont(ToolBar1->font());
    button->setIcon(ImageList1.at(spec.image));
    button->setText(caption);
    button->setToolTip(qs(spec.tooltip));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(layout::kImageSide, layout::kImageSide));
    if (spec.autoSize) {
        // As wide as the caption with a blank either side, and the button's frame.
        const QFontMetrics metrics(button->font());
        const int blank = metrics.horizontalAdvance(QLatin1Char(' '));
        button->setFixedSize(
            std::max(layout::kImageSide, metrics.horizontalAdvance(caption)) + 2 * blank + 3,
            layout::kButtonHeight);
    } else {
        // Its caption fills it edge to edge.
        button->setFixedSize(layout::kFixedButtonWidth, layout::kButtonHeight);
    }
    if (spec.marked) {
        button->setCheckable(true);
        button->setProperty("marked", true);
    }
    button->setAutoRaise(true);
    ToolBar1->addWidget(button);
    return button;
}

void TForm1::bindCommands() {
    connect(N1, &QAction::triggered, this, [this] { guard([this] { N1Click(); }); });
    connect(ToolButton4, &QToolButton::clicked, this,
            [this] { guard([this] { ToolButton4Click(); }); });
    connect(ToolButton7, &QToolButton::clicked, this,
            [this] { guard([this] { ToolButton7Click(); }); });
    connect(ToolButton2, &QToolButton::clicked, this,
            [this] { guard([this] { ToolButton2Click(); }); });
    connect(ToolButton1, &QToolButton::clicked, this,
            [this] { guard([this] { ToolButton1Click(); }); });
    connect(ToolButton5, &QToolButton::clicked, this,
            [this] { guard([this] { ToolButton5Click(); }); });
    connect(ToolButton3, &QToolButton::clicked, this,
            [this] { guard([this] { ToolButton3Click(); }); });
    connect(ToolButton6, &QToolButton::clicked, this,
            [this] { guard([this] { ToolButton6Click(); }); });
}

void TForm1::fillTree() {
    for (const auto& node : catalogue::tree()) addNode(nullptr, TreeView1, node);
    TreeView1->collapseAll();
}

void TForm1::FormConstrainedResize(int& MinWidth, int& MinHeight, int& MaxWidth, int& MaxHeight) {
    MinWidth = MaxWidth = kOuterSize.width();
    MinHeight = MaxHeight = kOuterSize.height();
}

void TForm1::placeProgressBar() {
    ProgressBar1->setParent(StatusBar1);
    progress_->setPosition(100);
    ProgressBar1->move(ProgressBar1->x(), layout::kProgressBarTop);
    ProgressBar1->move(0, ProgressBar1->y());
    ProgressBar1->resize(ProgressBar1->width(), StatusBar1->height() - ProgressBar1->y());
    ProgressBar1->resize(StatusBar1->panelWidth(0) - ProgressBar1->x(), ProgressBar1->height());
    ProgressBar1->show();
}

void TForm1::FormCreate() {
    placeProgressBar();
    const posix::OpenSslSignatureCheck signatures;
    update::StartupResult outcome =
        update::runStartup({*IdHTTP1, *IdFTP1, *runner_, signatures, *iniFiles_, *progress_},
                           paths_, exeDir_, update_);
    cmdrun = std::move(outcome.cmdrun);
    cmdupdate = std::move(outcome.cmdupdate);
    // What start-up reached is shown, also when a later step failed.
    if (!outcome.statusText.empty()) {
        StatusBar1->setPanelText(1, qs(outcome.statusText));
        Memo1->setPlainText(qs(outcome.news));
    }
    if (outcome.updateFailure) StatusBar1->setPanelText(0, qs(*outcome.updateFailure));
    if (outcome.terminate) Terminate();
    if (outcome.error) throw Error(*outcome.error);
}

void TForm1::Terminate() {
    terminateRequested_ = true;
    // Queued: it takes effect in the message loop, which does nothing with it outside exec().
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TForm1::IdHTTP1Work(HttpClient& /*ASender*/, HttpClient::WorkMode /*AWorkMode*/,
                         std::int64_t AWorkCount) {
    progress_->advance(AWorkCount);
}

void TForm1::TreeView1DblClick() {
    guard([this] { downloader_->download(currentNodeText()); });
}

void TForm1::ToolButton7Click() { parts_->chooseDatabase(); }

void TForm1::N1Click() { parts_->removeGroup(currentNodeText()); }

void TForm1::ToolButton4Click() { parts_->removeAllMakerParts(); }

void TForm1::ToolButton2Click() { shell_.openUrl(app::webSiteUrl()); }

void TForm1::ToolButton1Click() { shell_.openUrl(app::fullArchiveUrl()); }

void TForm1::ToolButton5Click() { shell_.openUrl(app::supportMailUrl()); }

void TForm1::ToolButton3Click() { togglePanel(Frame21, ToolButton3); }

void TForm1::ToolButton6Click() { togglePanel(Memo1, ToolButton6); }

void TForm1::togglePanel(QWidget* panel, QToolButton* button) {
    // The panel decides, not the button: a click has already flipped a checkable button.
    if (panel->isHidden()) {
        panel->show();
        button->setChecked(true);
        setTreeLook(layout::kShadedLook);
    } else {
        panel->hide();
        button->setChecked(false);
        setTreeLook(layout::kPlainLook);
    }
}

void TForm1::setTreeLook(const layout::TreeLook& look) {
    // Under the program's style sheet a palette set on the tree never reaches its viewport; a
    // rule of its own does, and holds for the disabled tree as well.
    TreeView1->setStyleSheet(
        QStringLiteral("QTreeView#TreeView1 { background-color: %1; color: %2; }")
            .arg(qColor(look.background).name(), qColor(look.text).name()));
    TreeView1->setEnabled(look.takesInput);
}

void TForm1::TreeView1ContextPopup(const QPoint& pos) {
    N1->setVisible(parts_->contextMenuVisible(currentNodeText()));
    if (N1->isVisible()) PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(pos));
}

bool TForm1::guard(const std::function<void()>& operation) {
    try {
        operation();
        return true;
    } catch (...) {
        dialogs_.errorReport(title_, app::errorReportText(std::current_exception()));
        return false;
    }
}

std::optional<std::string> TForm1::currentNodeText() const {
    const QTreeWidgetItem* item = TreeView1->currentItem();
    if (!item) return std::nullopt;
    return str(item->text(0));
}

void TForm1::pumpEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void TForm1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    constexpr Qt::WindowStates kEnlarged = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (event->type() == QEvent::WindowStateChange && (windowState() & kEnlarged)) {
        setWindowState(windowState() & ~kEnlarged);
        resize(kClientSize);
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TreeView1->viewport()) {
        // No tooltips on the tree, not even for labels wider than it.
        if (event->type() == QEvent::ToolTip) return true;
        const bool mouseButton = event->type() == QEvent::MouseButtonPress ||
                                 event->type() == QEvent::MouseButtonRelease ||
                                 event->type() == QEvent::MouseButtonDblClick;
        if (mouseButton) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            // A right-click asks for the context menu only: it leaves the current node and the
            // selection as they were, so that the menu acts on the node the user chose.
            if (mouse->button() == Qt::RightButton) return true;
            // A disabled tree's viewport still passes its events through this filter.
            if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton &&
                TreeView1->isEnabled())
                TreeView1DblClick();
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace volnor::ui
