// The toolbar's URL commands, the two panel toggles and the looks they give the tree, driven
// with mouse clicks through the window as a user gives them, and checked in what is drawn.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QMap>
#include <QTest>
#include <QToolTip>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "buildconfig.h"
#include "support/configuration.h"
#include "support/files.h"
#include "support/recorders.h"
#include "ui/qt/Unit1.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/style.h"

namespace volnor::test {
namespace {

using ui::TForm1;

const QColor kBtnFace(0xF0, 0xF0, 0xF0);
const QColor kWindowFrame(0x64, 0x64, 0x64);

enum class Look { Start, Shaded, Plain };

class Toolbar : public ::testing::Test {
protected:
    void SetUp() override {
        sheet_ = qApp->styleSheet();
        ui::installFontSubstitutions();
        ASSERT_TRUE(ui::TrySetStyle(QString::fromLatin1(ui::kStyleName), dialogs_, "T"));
        // A steady caret: two pictures of the same state are the same.
        QApplication::setCursorFlashTime(0);
        open(exeDir_.path());
    }
    void open(const std::filesystem::path& exeDir) {
        form_.reset();
        form_ = std::make_unique<TForm1>(dialogs_, shell_, WinPaths(drive_.path()), exeDir,
                                         std::vector<std::string>{});
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        dialogs_.shown.clear();
    }
    void TearDown() override {
        form_.reset();
        qApp->setStyleSheet(sheet_);
    }

    // A left click in the middle of a widget of the window, delivered through the window.
    void click(QWidget* widget) {
        const QPoint at = widget->mapTo(form_.get(), widget->rect().center());
        QTest::mouseClick(form_->windowHandle(), Qt::LeftButton, {}, at);
    }

    // The tree's background, taken at the right end of its last visible row's height, where
    // no label reaches, and the colour of its labels' ink: the pixel of the first row that
    // differs most from the background.
    struct Drawn {
        QColor background;
        QColor ink;
    };
    Drawn drawnTree() const {
        QTreeWidget* tree = form_->TreeView1;
        const QImage image = tree->viewport()->grab().toImage();
        const QColor background = image.pixelColor(image.width() - 4, image.height() - 4);
        const QRect row = tree->visualItemRect(tree->topLevelItem(0)) & image.rect();
        QColor ink = background;
        int most = -1;
        for (int y = row.top(); y <= row.bottom(); ++y)
            for (int x = row.left(); x <= row.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                const int distance = std::abs(c.red() - background.red()) +
                                     std::abs(c.green() - background.green()) +
                                     std::abs(c.blue() - background.blue());
                if (distance > most) {
                    most = distance;
                    ink = c;
                }
            }
        return {background, ink};
    }

    // The tree's look, in its settings and in what is drawn.
    void expectTree(Look look, const char* when) {
        QTreeWidget* tree = form_->TreeView1;
        struct Want {
            QColor background;
            QColor text;
            bool enabled;
        };
        const Want want = look == Look::Start    ? Want{kBtnFace, Qt::black, true}
                          : look == Look::Shaded ? Want{kWindowFrame, Qt::white, false}
                                                 : Want{Qt::white, Qt::black, true};
        EXPECT_EQ(tree->isEnabled(), want.enabled) << when;
        EXPECT_EQ(tree->palette().color(QPalette::Base), want.background) << when;
        EXPECT_EQ(tree->palette().color(QPalette::Text), want.text) << when;
        const Drawn drawn = drawnTree();
        EXPECT_EQ(drawn.background, want.background) << when;
        // Labels are drawn smoothed: their darkest or lightest pixel comes near the colour.
        EXPECT_LT(std::abs(drawn.ink.lightness() - want.text.lightness()), 60)
            << when << ": ink " << drawn.ink.name().toStdString();
    }

    TempDir drive_;
    TempDir exeDir_;
    QString sheet_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(Toolbar, TheThreeUrlButtonsHandTheirExactUrlsToTheShellAndNothingElse) {
    click(form_->ToolButton2);
    click(form_->ToolButton1);
    click(form_->ToolButton5);
    EXPECT_EQ(shell_.opened, (std::vector<std::string>{
                                 "https://vn.test/",
                                 "ftp://ftp.vn.test:2121/eplan/Eplan.7z",
                                 "mailto:Техподдержка ВОЛНОР<support@vn.test>"
                                 "?subject=Вопросы по Eplan",
                             }));
    EXPECT_TRUE(shell_.folders.empty());
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_FALSE(form_->Frame21->isVisible() || form_->Memo1->isVisible());
    expectTree(Look::Start, "after the URL buttons");
}

TEST_F(Toolbar, TheInstructionsOpenAndCloseAndLeaveTheTreePlainNotAsItStarted) {
    expectTree(Look::Start, "at start");
    EXPECT_TRUE(form_->ToolButton3->isCheckable());
    EXPECT_FALSE(form_->ToolButton3->isChecked());

    click(form_->ToolButton3);
    EXPECT_TRUE(form_->Frame21->isVisible());
    EXPECT_TRUE(form_->ToolButton3->isChecked());
    EXPECT_FALSE(form_->Memo1->isVisible());
    expectTree(Look::Shaded, "instructions shown");

    click(form_->ToolButton3);
    EXPECT_FALSE(form_->Frame21->isVisible());
    EXPECT_FALSE(form_->ToolButton3->isChecked());
    expectTree(Look::Plain, "instructions hidden");
    EXPECT_TRUE(shell_.opened.empty());
    EXPECT_TRUE(dialogs_.shown.empty());
}

// The toggles share the tree's settings and do not look at each other's panel.
TEST_F(Toolbar, ClosingTheInstructionsOverTheNewsLeavesTheNewsOpenAndTheTreePlain) {
    click(form_->ToolButton3);
    click(form_->ToolButton6);
    EXPECT_TRUE(form_->Frame21->isVisible() && form_->Memo1->isVisible());
    EXPECT_TRUE(form_->ToolButton3->isChecked() && form_->ToolButton6->isChecked());
    expectTree(Look::Shaded, "both shown");

    click(form_->ToolButton3);
    EXPECT_FALSE(form_->Frame21->isVisible());
    EXPECT_TRUE(form_->Memo1->isVisible());
    EXPECT_FALSE(form_->ToolButton3->isChecked());
    EXPECT_TRUE(form_->ToolButton6->isChecked());
    expectTree(Look::Plain, "news left open");

    click(form_->ToolButton6);
    EXPECT_FALSE(form_->Memo1->isVisible());
    EXPECT_FALSE(form_->ToolButton6->isChecked());
    expectTree(Look::Plain, "news hidden");
}

// The button's state is not what a toggle asks: a button pressed down behind its panel's back
// is put right by the next click.
TEST_F(Toolbar, TheTogglesGoByThePanelNotByTheButton) {
    form_->ToolButton6->setChecked(true);
    click(form_->ToolButton6);
    EXPECT_TRUE(form_->Memo1->isVisible());
    EXPECT_TRUE(form_->ToolButton6->isChecked());
    click(form_->ToolButton6);
    EXPECT_FALSE(form_->Memo1->isVisible());
    EXPECT_FALSE(form_->ToolButton6->isChecked());
}

// The memo's stored text "Memo1" never shows: without news the panel opens empty, whether the
// configuration lacks MESS or there is no configuration at all (and no server to fetch it from).
TEST_F(Toolbar, TheNewsPanelOpensEmptyWithoutNews) {
    const struct {
        const char* what;
        bool configuration;
    } cases[] = {{"a configuration without MESS", true}, {"no configuration, no server", false}};
    for (const auto& c : cases) {
        const TempDir exeDir;
        if (c.configuration) {
            ASSERT_NO_THROW(
                writeCurrentConfiguration(exeDir.path(), TForm1::userSettings().dateFormat, false));
        }
        open(exeDir.path());
        click(form_->ToolButton6);
        ASSERT_TRUE(form_->Memo1->isVisible()) << c.what;
        EXPECT_TRUE(form_->ToolButton6->isChecked()) << c.what;
        EXPECT_EQ(form_->Memo1->toPlainText(), QString()) << c.what;
        // Nothing is drawn in the field: its viewport is one colour.
        const QImage field = form_->Memo1->viewport()->grab().toImage();
        int inked = 0;
        for (int y = 0; y < field.height(); ++y)
            for (int x = 0; x < field.width(); ++x)
                if (field.pixel(x, y) != field.pixel(0, 0)) ++inked;
        EXPECT_EQ(inked, 0) << c.what;
    }
}

TEST_F(Toolbar, WithBothPanelsOpenTheInstructionsCoverTheNewsCompletely) {
    form_->Memo1->setPlainText(QStringLiteral("Новости: ") + QString(400, QChar(0x2588)));
    click(form_->ToolButton3);
    const QRect news = form_->Memo1->geometry();
    const QImage alone = form_->grab(news).toImage();
    click(form_->ToolButton6);
    ASSERT_TRUE(form_->Memo1->isVisible());
    EXPECT_TRUE(form_->Frame21->geometry().contains(news));
    EXPECT_EQ(form_->grab(news).toImage(), alone);

    // Without the instructions the news shows there.
    click(form_->ToolButton3);
    EXPECT_NE(form_->grab(news).toImage(), alone);
}

TEST_F(Toolbar, ThePanelButtonsAreDrawnMarkedAndShowWhetherTheirPanelIsOpen) {
    // A point of the button's face that neither its image nor its caption reaches.
    const auto face = [](QToolButton* button) { return button->grab().toImage().pixelColor(4, 4); };
    const QColor plain = face(form_->ToolButton5);
    for (QToolButton* button : {form_->ToolButton3, form_->ToolButton6}) {
        const QColor marked = face(button);
        EXPECT_NE(marked, plain) << button->objectName().toStdString();
        click(button);
        const QColor pressed = face(button);
        EXPECT_NE(pressed, marked) << button->objectName().toStdString();
        EXPECT_NE(pressed, plain) << button->objectName().toStdString();
        click(button);
        EXPECT_EQ(face(button), marked) << button->objectName().toStdString();
    }
}

// Only the buttons in places 1 to 4 show a tooltip; nothing else in the window does, not the
// tree's labels either.
TEST_F(Toolbar, OnlyTheFirstFourButtonsShowTooltips) {
    const QString sentinel = QStringLiteral("(no tooltip)");
    QMap<QString, QString> shown;
    QList<QWidget*> widgets = form_->findChildren<QWidget*>();
    widgets.prepend(form_.get());
    for (QWidget* widget : widgets) {
        if (!widget->isVisible()) continue;
        // Over a row of the tree, elsewhere in the middle.
        QPoint at = widget->rect().center();
        if (widget == form_->TreeView1->viewport())
            at = form_->TreeView1->visualItemRect(form_->TreeView1->topLevelItem(0)).center();
        QToolTip::showText(widget->mapToGlobal(at), sentinel);
        QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &help);
        if (QToolTip::text() != sentinel)
            shown.insert(widget->objectName().isEmpty()
                             ? QString::fromLatin1(widget->metaObject()->className())
                             : widget->objectName(),
                         QToolTip::text());
    }
    QToolTip::hideText();
    const QString web = ui::qs(buildconfig::kWebHost);
    const QMap<QString, QString> expected = {
        {QStringLiteral("ToolButton2"), QStringLiteral("Перейти на сайт ") + web},
        {QStringLiteral("ToolButton3"), QStringLiteral("Посмотреть инструкцию")},
        {QStringLiteral("ToolButton1"), QStringLiteral("Загрузить всё сразу")},
        {QStringLiteral("ToolButton4"), QStringLiteral("Если у вас возникли вопросы пишите.")},
    };
    EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace volnor::test
