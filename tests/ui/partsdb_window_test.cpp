// The parts-database commands reached through the window: the tree's context menu, N1 and the
// two toolbar buttons, with a real stand-in database and a temporary drive.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "partsdb/maintenance.h"
#include "partsdb/removal_table.h"
#include "platform/text.h"
#include "sampledb/sampledb.h"
#include "support/configuration.h"
#include "support/files.h"
#include "support/recorders.h"
#include "ui/qt/Unit1.h"
#include "ui/qt/qt_text.h"

namespace volnor::test {
namespace {

using ui::TForm1;

const std::string kConnected(partsdb::kConnectedText);
const std::string kRemoved(partsdb::kRemovedText);

class PartsCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_THROW(writeCurrentConfiguration(exeDir_.path()));
        form_ = std::make_unique<TForm1>(dialogs_, shell_, WinPaths(drive_.path()), exeDir_.path(),
                                         std::vector<std::string>{});
        form_->show();
    }

    // A sample database chosen with "путь к базе".
    void connect() {
        const std::filesystem::path db = drive_.file("ESS_part001.mdb");
        sampledb::makeSampleDatabase(db, 300);
        dialogs_.nextFiles.push_back(utf8Of(db));
        form_->ToolButton7->click();
    }

    void requestMenu() {
        QWidget* viewport = form_->TreeView1->viewport();
        emit form_->TreeView1->customContextMenuRequested(viewport->rect().center());
    }

    QTreeWidgetItem* firstRemovalNode() const {
        const QString key = ui::qs(partsdb::removalTable().front().key);
        const auto found = form_->TreeView1->findItems(key, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }

    TempDir drive_;
    TempDir exeDir_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(PartsCommands, TheGroupRemovalItemShowsFromTheFirstRequestWithACurrentNodeOn) {
    requestMenu();
    EXPECT_FALSE(form_->N1->isVisible());
    EXPECT_FALSE(form_->PopupMenu1->isVisible());

    form_->TreeView1->setCurrentItem(form_->TreeView1->topLevelItem(0));
    requestMenu();
    EXPECT_TRUE(form_->N1->isVisible());
    EXPECT_TRUE(form_->PopupMenu1->isVisible());
    form_->PopupMenu1->hide();

    form_->TreeView1->setCurrentItem(nullptr);
    requestMenu();
    EXPECT_TRUE(form_->N1->isVisible());
}

TEST_F(PartsCommands, ARightClickLeavesTheCurrentNodeWhereItWas) {
    QTreeWidget* tree = form_->TreeView1;
    QTreeWidgetItem* chosen = tree->topLevelItem(0);
    QTreeWidgetItem* pointed = tree->topLevelItem(1);
    tree->setCurrentItem(chosen);
    const QPoint at = tree->visualItemRect(pointed).center();
    const QPoint global = tree->viewport()->mapToGlobal(at);
    // What the platform sends for a right-click: press, release, then the menu request.
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::RightButton, Qt::RightButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::RightButton, {}, {});
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, global);
    QCoreApplication::sendEvent(tree->viewport(), &press);
    QCoreApplication::sendEvent(tree->viewport(), &release);
    QCoreApplication::sendEvent(tree->viewport(), &menu);

    EXPECT_EQ(tree->currentItem(), chosen);
    EXPECT_EQ(tree->selectedItems(), QList<QTreeWidgetItem*>{chosen});
    EXPECT_EQ(form_->currentNodeText(), ui::str(chosen->text(0)));
    EXPECT_TRUE(form_->PopupMenu1->isVisible());
    form_->PopupMenu1->hide();
}

TEST_F(PartsCommands, GroupRemovalBeforeAnyDatabaseEndsInTheErrorReport) {
    QTreeWidgetItem* node = firstRemovalNode();
    ASSERT_NE(node, nullptr);
    form_->TreeView1->setCurrentItem(node);
    form_->N1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::ErrorReport);
    EXPECT_EQ(dialogs_.shown[0].title, "ui_partsdb_window_test");
    EXPECT_EQ(dialogs_.shown[0].text, partsdb::text::noDatabaseChosen());
}

TEST_F(PartsCommands, ChoosingTheDatabaseThenRemovingAGroupAndEverything) {
    connect();
    EXPECT_EQ(dialogs_.texts(), std::vector<std::string>{kConnected});
    EXPECT_EQ(dialogs_.chooserTitles,
              std::vector<std::string>{std::string(partsdb::kChooserTitle)});

    form_->TreeView1->setCurrentItem(firstRemovalNode());
    form_->N1->trigger();
    form_->ToolButton4->click();
    EXPECT_EQ(dialogs_.texts(), (std::vector<std::string>{kConnected, kRemoved, kRemoved}));
}

// While a panel is open a right-click on the tree opens no menu; the toolbar's database
// buttons work all the same. Clicks come through the window, as the user gives them.
TEST_F(PartsCommands, WithAPanelOpenTheTreeGivesNoMenuAndTheToolbarStillWorks) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    QTreeWidget* tree = form_->TreeView1;
    tree->setCurrentItem(tree->topLevelItem(0));
    // On the first row, right of both panels.
    const QRect viewport(tree->viewport()->mapTo(form_.get(), QPoint(0, 0)),
                         tree->viewport()->size());
    const int y = tree->viewport()
                      ->mapTo(form_.get(), tree->visualItemRect(tree->topLevelItem(0)).center())
                      .y();
    const QPoint onTree((form_->Frame21->geometry().right() + viewport.right()) / 2, y);
    const auto clickAt = [&](QWidget* widget, Qt::MouseButton button) {
        const QPoint at = widget ? widget->mapTo(form_.get(), widget->rect().center()) : onTree;
        QTest::mouseClick(form_->windowHandle(), button, {}, at);
    };
    const std::filesystem::path db = drive_.file("ESS_part001.mdb");
    sampledb::makeSampleDatabase(db, 50);

    for (QToolButton* toggle : {form_->ToolButton3, form_->ToolButton6}) {
        clickAt(toggle, Qt::LeftButton);
        clickAt(nullptr, Qt::RightButton);
        EXPECT_FALSE(form_->PopupMenu1->isVisible()) << toggle->objectName().toStdString();

        dialogs_.shown.clear();
        dialogs_.nextFiles.push_back(utf8Of(db));
        clickAt(form_->ToolButton7, Qt::LeftButton);
        clickAt(form_->ToolButton4, Qt::LeftButton);
        EXPECT_EQ(dialogs_.texts(), (std::vector<std::string>{kConnected, kRemoved}))
            << toggle->objectName().toStdString();
        clickAt(toggle, Qt::LeftButton);
    }

    // Closed again, the tree gives its menu.
    clickAt(nullptr, Qt::RightButton);
    EXPECT_TRUE(form_->PopupMenu1->isVisible());
    form_->PopupMenu1->hide();
}

}  // namespace
}  // namespace volnor::test
