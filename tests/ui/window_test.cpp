#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWindow>
#include <filesystem>
#include <stdexcept>

#include "app/app.h"
#include "buildconfig.h"
#include "catalogue/catalogue.h"
#include "platform/error.h"
#include "platform/text.h"
#include "support/configuration.h"
#include "support/files.h"
#include "support/recorders.h"
#include "ui/qt/Unit1.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/style.h"

namespace {

namespace fs = std::filesystem;
using volnor::WinPaths;
using volnor::test::RecordingDialogs;
using volnor::test::RecordingShell;
using volnor::test::ShownBox;
using volnor::test::TempDir;
using volnor::ui::qs;
using volnor::ui::TForm1;

std::string joined(const std::vector<std::string>& texts) { return volnor::join(texts, "\n"); }

// A window over a temporary drive and executable's directory, under the program's style.
class Window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_THROW(volnor::test::writeCurrentConfiguration(exeDir.path()));
        sheet = qApp->styleSheet();
        ASSERT_TRUE(volnor::ui::TrySetStyle(QString::fromLatin1(volnor::ui::kStyleName), dialogs,
                                            "T"));
    }
    void TearDown() override { qApp->setStyleSheet(sheet); }

    std::unique_ptr<TForm1> open() {
        return std::make_unique<TForm1>(dialogs, shell, WinPaths(drive.path()), exeDir.path(),
                                        std::vector<std::string>{});
    }

    QString sheet;
    TempDir drive;
    TempDir exeDir;
    RecordingDialogs dialogs;
    RecordingShell shell;
};

TEST_F(Window, KeepsItsSizeWhateverIsAskedOfIt) {
    // The stored form's client area.
    const QSize client(893, 684);
    auto form = open();
    form->show();
    EXPECT_EQ(form->size(), client);
    form->resize(1200, 900);
    EXPECT_EQ(form->size(), client);
    form->setGeometry(10, 10, 300, 200);
    EXPECT_EQ(form->size(), client);
    form->showMaximized();
    QApplication::processEvents();
    EXPECT_EQ(form->size(), client);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);

    int minW = 1, minH = 2, maxW = 30000, maxH = -4;
    TForm1::FormConstrainedResize(minW, minH, maxW, maxH);
    EXPECT_EQ(QSize(minW, minH), QSize(909, 723));
    EXPECT_EQ(QSize(maxW, maxH), QSize(909, 723));
    // What the window manager is given: one size as both limits, the outer window's less the
    // frame that the window manager adds on Windows, 8 pixels at each side and a 31-pixel
    // caption, so that the outer window measures 909 x 723 there.
    const QWindow* handle = form->windowHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->minimumSize(), handle->maximumSize());
    EXPECT_EQ(QSize(minW, minH) - handle->minimumSize(), QSize(8 + 8, 31 + 8));
    EXPECT_EQ(handle->minimumSize(), client);
}

TEST_F(Window, StartUpMovesTheProgressBarIntoTheStatusBarAndEmptiesIt) {
    auto form = open();
    ASSERT_TRUE(dialogs.shown.empty()) << joined(dialogs.texts());
    EXPECT_EQ(form->ProgressBar1->parentWidget(), form->StatusBar1);
    EXPECT_EQ(form->ProgressBar1->geometry(), QRect(0, 2, 645, 17));
    EXPECT_EQ(form->ProgressBar1->minimum(), 0);
    EXPECT_EQ(form->ProgressBar1->maximum(), 40000);
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    form->show();
    EXPECT_TRUE(form->ProgressBar1->isVisible());
    EXPECT_EQ(form->StatusBar1->geometry(), QRect(0, 665, 893, 19));
    EXPECT_EQ(form->StatusBar1->panelWidth(0), 645);
    EXPECT_EQ(form->StatusBar1->panelWidth(1), 300);
}

// Panel 1 reaches past the window's right edge: of its 300 pixels only those left of the
// window's 893 are seen, and the last update's date must lie within them whole.
TEST_F(Window, TheLastUpdatesDateFitsTheVisiblePartOfStatusPanel1) {
    volnor::ui::installFontSubstitutions();
    const auto russian = *volnor::ShortDateFormat::fromPicture("dd.MM.yyyy");
    ASSERT_NO_THROW(volnor::test::writeCurrentConfiguration(exeDir.path(), russian));
    volnor::update::Settings settings = TForm1::userSettings();
    settings.dateFormat = russian;
    TForm1 form(dialogs, shell, WinPaths(drive.path()), exeDir.path(), {}, settings);
    form.show();
    ASSERT_TRUE(dialogs.shown.empty()) << joined(dialogs.texts());
    const QString text = QStringLiteral("Дата последнего обновления: 01.12.2026");
    ASSERT_EQ(form.StatusBar1->panelText(1), text);

    QLabel* panel = nullptr;
    for (QLabel* label : form.StatusBar1->findChildren<QLabel*>())
        if (label->text() == text) panel = label;
    ASSERT_NE(panel, nullptr);
    const int visible = form.width() - form.StatusBar1->mapTo(&form, panel->pos()).x();
    ASSERT_EQ(visible, 248);
    // The rightmost column the text is drawn in, on the panel drawn whole over the window's
    // colour.
    const QColor background = form.palette().color(QPalette::Window);
    QImage image(panel->size(), QImage::Format_RGB32);
    image.fill(background);
    panel->render(&image);
    int inkRight = -1;
    for (int x = 0; x < image.width() - 2; ++x)
        for (int y = 1; y < image.height() - 1; ++y)
            if (qGray(image.pixel(x, y)) < qGray(background.rgb()) - 60) inkRight = x;
    ASSERT_GT(inkRight, 100) << "no text drawn in the panel";
    EXPECT_LT(inkRight, visible) << "the text is drawn up to x = " << inkRight << " in "
                                 << panel->font().family().toStdString() << " as "
                                 << QFontInfo(panel->font()).family().toStdString();
}

TEST_F(Window, WorkReportsAddUpAndAreHeldAtTheEndsOfTheRange) {
    auto form = open();
    struct Step {
        std::int64_t count;
        int position;
    };
    const Step steps[] = {
        {100, 100},
        {16384, 16484},
        {23516, 40000},
        {1, 40000},
        {-50000, 0},
        {39999, 39999},
        {std::int64_t{1} << 40, 40000},
    };
    for (const auto& s : steps) {
        form->IdHTTP1Work(*form->IdHTTP1, volnor::HttpClient::WorkMode::Read, s.count);
        EXPECT_EQ(form->ProgressBar1->value(), s.position) << "after adding " << s.count;
    }
}

TEST_F(Window, StartUpCreatesThePartsDataFolderAndRemovesALeftRestartScript) {
    const fs::path script = exeDir.file("cmdrun.cmd");
    const fs::path other = exeDir.file("cmdupdate.cmd");
    volnor::test::writeFile(script, "");
    volnor::test::writeFile(other, "");

    auto form = open();
    EXPECT_TRUE(fs::is_directory(drive.file("Users/Public/EPLAN/Data/Элементы/VOLNOR")));
    EXPECT_FALSE(fs::exists(script));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_TRUE(form->cmdupdate.empty());
    EXPECT_TRUE(form->cmdrun.empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Window, TheTreeShowsTheCatalogueCollapsedAndReadOnly) {
    auto form = open();
    QTreeWidget* tree = form->TreeView1;
    const auto& nodes = volnor::catalogue::tree();
    ASSERT_EQ(tree->topLevelItemCount(), static_cast<int>(nodes.size()));
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree->topLevelItem(i);
        EXPECT_EQ(item->text(0), qs(nodes[i].text));
        EXPECT_EQ(item->childCount(), static_cast<int>(nodes[i].children.size()));
        EXPECT_FALSE(item->isExpanded()) << item->text(0).toStdString();
        EXPECT_FALSE(item->flags() & Qt::ItemIsEditable);
        EXPECT_FALSE(item->flags() & Qt::ItemIsDropEnabled);
        EXPECT_TRUE(item->flags() & Qt::ItemIsDragEnabled);
    }
    EXPECT_EQ(tree->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(tree->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(tree->dragDropMode(), QAbstractItemView::DragOnly);
    EXPECT_FALSE(tree->acceptDrops());
    EXPECT_EQ(tree->indentation(), 19);
    EXPECT_EQ(tree->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(tree->geometry(), QRect(16, 70, 865, 587));
    // The tree's colours come from its style rule, applied when it is polished.
    tree->ensurePolished();
    EXPECT_EQ(tree->palette().color(QPalette::Base), form->palette().color(QPalette::Window));
    EXPECT_FALSE(form->N1->isVisible());
    EXPECT_EQ(form->N1->text(), QStringLiteral("Удаление группы"));
    EXPECT_FALSE(form->currentNodeText().has_value());

    tree->setCurrentItem(tree->topLevelItem(0));
    EXPECT_EQ(form->currentNodeText(), nodes[0].text);
}

TEST_F(Window, HasItsCaptionFontsAndHiddenPanels) {
    auto form = open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ВОЛНОР: установщик для базы данных Eplan"));
    struct FontCase {
        QWidget* widget;
        const char* family;
        int pixels;
    };
    const FontCase fonts[] = {
        {form.get(), "Tahoma", 11},
        {form->TreeView1, "Times New Roman", 15},
        {form->ToolBar1, "Times New Roman", 15},
        {form->ToolButton2, "Times New Roman", 15},
        {form->Memo1, "Tahoma", 16},
        {form->Frame21->Memo1, "Times New Roman", 15},
        {form->StatusBar1, "Tahoma", 11},
    };
    for (const auto& f : fonts) {
        EXPECT_EQ(f.widget->font().family(), QString::fromLatin1(f.family))
            << f.widget->objectName().toStdString();
        EXPECT_EQ(f.widget->font().pixelSize(), f.pixels) << f.widget->objectName().toStdString();
    }
    form->show();
    EXPECT_FALSE(form->Memo1->isVisible());
    EXPECT_FALSE(form->Frame21->isVisible());
    // Start-up replaced the stored text "Memo1" with the news, empty here.
    EXPECT_EQ(form->Memo1->toPlainText(), QString());
    EXPECT_EQ(form->Memo1->geometry(), QRect(251, 229, 422, 267));
    EXPECT_EQ(form->Frame21->geometry(), QRect(88, 128, 709, 467));
    EXPECT_EQ(form->Frame21->Memo1->pos(), QPoint(3, 10));

    // Later components lie above earlier ones: the panels above the tree, the instructions
    // above the news.
    const QObjectList& order = form->children();
    EXPECT_LT(order.indexOf(form->TreeView1), order.indexOf(form->Memo1));
    EXPECT_LT(order.indexOf(form->Memo1), order.indexOf(form->Frame21));
    EXPECT_LT(order.indexOf(form->Image1), order.indexOf(form->TreeView1));
}

TEST_F(Window, ToolbarButtonsCarryTheirCaptionsTooltipsAndImages) {
    auto form = open();
    const QString web = qs(volnor::buildconfig::kWebHost);
    struct Button {
        QToolButton* button;
        QString caption;
        QString tooltip;
    };
    const Button buttons[] = {
        {form->ToolButton2, web, QStringLiteral("Перейти на сайт ") + web},
        {form->ToolButton3, QStringLiteral("инструкция"), QStringLiteral("Посмотреть инструкцию")},
        {form->ToolButton1, QStringLiteral("скачать всю базу"),
         QStringLiteral("Загрузить всё сразу")},
        {form->ToolButton4, QStringLiteral("удалить всю базу"),
         QStringLiteral("Если у вас возникли вопросы пишите.")},
        {form->ToolButton5, QStringLiteral("написать письмо"), {}},
        {form->ToolButton6, QStringLiteral("новости обновлений"), {}},
        {form->ToolButton7, QStringLiteral("путь к базе"), {}},
    };
    form->show();
    int left = -1;
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->text(), b.caption);
        EXPECT_EQ(b.button->toolTip(), b.tooltip) << b.caption.toStdString();
        EXPECT_EQ(b.button->height(), 56);
        EXPECT_GT(b.button->x(), left) << "out of order: " << b.caption.toStdString();
        left = b.button->x();
    }
    EXPECT_EQ(form->ToolButton6->width(), 131);
    // The bar sizes itself to its buttons, and they fit beside the logo and above the tree.
    EXPECT_EQ(form->ToolBar1->pos(), QPoint(16, 8));
    EXPECT_LT(form->ToolBar1->geometry().right(), form->Image1->x());
    EXPECT_LT(form->ToolBar1->geometry().bottom(), form->TreeView1->y());
    for (const auto& b : buttons)
        EXPECT_GE(b.button->width(), b.button->fontMetrics().horizontalAdvance(b.caption))
            << b.caption.toStdString();
    EXPECT_TRUE(form->ToolButton3->isCheckable() && !form->ToolButton3->isChecked());
    EXPECT_TRUE(form->ToolButton6->isCheckable() && !form->ToolButton6->isChecked());

    // Flat discs: transparent corners, an opaque coloured rim, white in the middle area.
    ASSERT_EQ(form->ImageList1.size(), 7);
    for (const QPixmap& pixmap : form->ImageList1) {
        const QImage image = pixmap.toImage();
        EXPECT_EQ(image.size(), QSize(32, 32));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(2, 16)), 255);
        EXPECT_NE(image.pixelColor(2, 16), QColor(Qt::white));
    }
    const QImage logo = form->Image1->pixmap().toImage();
    EXPECT_EQ(logo.size(), QSize(145, 44));
    EXPECT_TRUE(logo.hasAlphaChannel());
    EXPECT_EQ(qAlpha(logo.pixel(0, 0)), 0);
    EXPECT_EQ(form->Image1->geometry(), QRect(736, 10, 145, 44));
}

TEST_F(Window, AnErrorEndsTheOperationWithOneReportAndTheProgramGoesOn) {
    auto form = open();
    bool after = false;
    EXPECT_FALSE(form->guard([&] {
        throw volnor::Error("'' is not a valid date");
        after = true;
    }));
    EXPECT_FALSE(after);
    EXPECT_FALSE(form->guard([] { throw std::runtime_error("disk full!"); }));
    EXPECT_TRUE(form->guard([&] { after = true; }));
    EXPECT_TRUE(after);

    ASSERT_EQ(dialogs.shown.size(), 2u);
    const std::string title = "ui_window_test";
    EXPECT_EQ(dialogs.shown[0].kind, ShownBox::Kind::ErrorReport);
    EXPECT_EQ(dialogs.shown[0].title, title);
    EXPECT_EQ(dialogs.shown[0].text, "'' is not a valid date.");
    EXPECT_EQ(dialogs.shown[1].title, title);
    EXPECT_EQ(dialogs.shown[1].text, "disk full!");
}

// A widget that counts its paintings.
class Watcher : public QWidget {
public:
    void paintEvent(QPaintEvent*) override { ++paints; }
    int paints = 0;
};

TEST(Pump, RepaintsWhileTheProgramBlocks) {
    Watcher watcher;
    watcher.resize(50, 50);
    watcher.show();
    QCoreApplication::processEvents();
    const int before = watcher.paints;
    watcher.update();
    TForm1::pumpEvents();
    EXPECT_GT(watcher.paints, before);
}

TEST(Style, AppliesTheNamedStyleAndReportsAnUnknownOne) {
    RecordingDialogs dialogs;
    const QString before = qApp->styleSheet();
    EXPECT_FALSE(volnor::ui::TrySetStyle(QStringLiteral("Sapphire Kamri Dark"), dialogs, "T"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ShownBox::Kind::ErrorReport);
    EXPECT_EQ(dialogs.shown[0].title, "T");
    EXPECT_NE(dialogs.shown[0].text.find("Sapphire Kamri Dark"), std::string::npos);
    EXPECT_EQ(qApp->styleSheet(), before);

    EXPECT_TRUE(volnor::ui::TrySetStyle(QStringLiteral("Sapphire Kamri"), dialogs, "T"));
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("QToolBar#ToolBar1")));
    qApp->setStyleSheet(before);
}

// Each line of the workflow is a paragraph of the field as it is, blanks at its end included:
// nothing merged, split, trimmed or re-encoded on its way into the field.
TEST(InstructionText, ThePanelShowsTheWorkflowLineByLineBlanksIncluded) {
    volnor::ui::TFrame2 frame;
    EXPECT_EQ(frame.size(), QSize(709, 467));
    const std::vector<std::string>& lines = volnor::app::instructionLines();
    const QTextDocument* document = frame.Memo1->document();
    ASSERT_EQ(document->blockCount(), 26);
    ASSERT_EQ(lines.size(), 26u);
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(document->findBlockByNumber(i).text(), qs(lines[i])) << "line " << i + 1;
    EXPECT_EQ(frame.Memo1->geometry(), QRect(3, 3, 694, 454));
    EXPECT_FALSE(frame.Memo1->isReadOnly());
    EXPECT_EQ(frame.Memo1->lineWrapMode(), QTextEdit::WidgetWidth);
    // Nothing to undo: the text is the field's own, not an edit the user could take back.
    EXPECT_FALSE(document->isUndoAvailable());
}

// The field has no scroll bars: every line of the text, wrapped at the field's width, lies in
// its visible area with the fonts that stand in for Times New Roman here.
TEST(InstructionText, FitsWholeIntoTheFieldThatHasNoScrollBars) {
    volnor::ui::installFontSubstitutions();
    volnor::ui::TFrame2 frame;
    frame.show();
    QApplication::processEvents();
    QTextEdit* memo = frame.Memo1;
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    QTextCursor start(memo->document());
    QTextCursor end(memo->document());
    end.movePosition(QTextCursor::End);
    const QRect first = memo->cursorRect(start);
    const QRect last = memo->cursorRect(end);
    EXPECT_LE(memo->document()->size().height(), memo->viewport()->height());
    EXPECT_GE(first.top(), 0);
    EXPECT_LE(last.bottom(), memo->viewport()->height())
        << "the last line ends at " << last.bottom() << ", the field shows "
        << memo->viewport()->height();
    // Nothing left to scroll to.
    EXPECT_EQ(memo->verticalScrollBar()->maximum(), 0);
}

}  // namespace
