// The download command reached through the window: a double-click on the tree, the real HTTPS
// server, the real interpreter and 7-Zip, boxes and folder openings recorded.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "download/program_dir.h"
#include "platform/text.h"
#include "support/files.h"
#include "support/recorders.h"
#include "support/servers.h"
#include "ui/qt/Unit1.h"
#include "ui/qt/qt_text.h"
#include "update/self_update.h"

namespace volnor::test {
namespace {

using ui::TForm1;
using Texts = std::vector<std::string>;

const std::string kDone = "Загрузка завершена!";

// The path of an archive URL on the server: what follows the host.
std::string urlPath(const std::string& url) {
    return url.substr(url.find('/', url.find("://") + 3));
}

// The archive's EDZ files are named after it, so that each can be told apart in a folder.
Texts edzOf(const std::string& url) {
    std::string stem = catalogue::shortweb(url);
    stem.resize(stem.size() - 4);  // ".zip"
    return {stem + "-a.edz", stem + "-b.EDZ"};
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class DoubleClick : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        fs::create_symlink(VOLNOR_BIN_DIR "/cmd", path("cmd"));
        server_ = std::make_unique<HttpsServer>(web_.path());
        form_ = std::make_unique<TForm1>(dialogs_, shell_, WinPaths(drive_.path()), dir(),
                                         server_->connectTo());
        form_->show();
        dialogs_.shown.clear();
    }
    void TearDown() override {
        form_.reset();
        ProgramDirTest::TearDown();
    }

    void serve(const std::string& url) {
        std::vector<ZipEntry> entries;
        for (const std::string& name : edzOf(url)) entries.push_back({name, name});
        entries.push_back({"readme.txt", "readme"});
        writeFile(web_.file(urlPath(url).substr(1)), zip(entries));
    }

    QTreeWidgetItem* item(const std::string& text) const {
        const auto found =
            form_->TreeView1->findItems(ui::qs(text), Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }

    // A double-click low in the tree, below its rows: the command takes the current node,
    // wherever the click falls.
    void doubleClick() {
        QWidget* viewport = form_->TreeView1->viewport();
        const QPointF at(viewport->width() - 5, viewport->height() - 5);
        QMouseEvent event(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
    }

    Texts requestedPaths() const {
        Texts out;
        for (const RecordedRequest& r : server_->requests()) out.push_back(r.path);
        // Start-up's configuration fetch came first.
        if (!out.empty() && out.front() == update::kConfigPath) out.erase(out.begin());
        return out;
    }

    // The folder of a node in the program directory, as the shell is handed it.
    std::string folderOf(const std::string& node) const { return utf8Of(path(node)); }

    TempDir web_;
    TempDir drive_;
    std::unique_ptr<HttpsServer> server_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    std::unique_ptr<TForm1> form_;
};

// A leaf with an entry of its own that is no key of the group table.
catalogue::Entry plainLeaf() {
    Texts menulist;
    catalogue::menuload(menulist);
    for (const std::string& line : menulist) {
        const catalogue::Entry e = catalogue::splitEntry(line);
        if (!catalogue::findRow(e.namepro)) return e;
    }
    return {};
}

// The group row with the most archives.
catalogue::GroupRow largestGroup() {
    catalogue::GroupRow best;
    for (const auto& row : catalogue::grouplist())
        if (row.urls.size() > best.urls.size()) best = row;
    return best;
}

TEST_F(DoubleClick, OnALeafLeavesItsEdzFilesInTheLeafsFolderAndOpensIt) {
    const catalogue::Entry leaf = plainLeaf();
    ASSERT_FALSE(leaf.namepro.empty());
    serve(leaf.webpro);
    form_->TreeView1->setCurrentItem(item(leaf.namepro));

    doubleClick();

    EXPECT_EQ(requestedPaths(), Texts{urlPath(leaf.webpro)});
    for (const std::string& edz : edzOf(leaf.webpro))
        EXPECT_TRUE(exists(leaf.namepro + "/" + edz)) << edz;
    EXPECT_FALSE(exists(leaf.shortweb));
    EXPECT_TRUE(exists("readme.txt"));
    ASSERT_EQ(dialogs_.shown.size(), 1u) << join(dialogs_.texts(), "\n");
    EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Confirm);
    EXPECT_EQ(dialogs_.shown[0].text, kDone);
    EXPECT_EQ(shell_.opened, Texts{folderOf(leaf.namepro)});
    EXPECT_EQ(form_->ProgressBar1->value(), 0);
}

TEST_F(DoubleClick, OnAGroupGathersEveryArchiveInTheGroupsFolderInRowOrder) {
    const catalogue::GroupRow group = largestGroup();
    ASSERT_FALSE(group.urls.empty());
    Texts expected;
    for (const std::string& url : group.urls) {
        serve(url);
        expected.push_back(urlPath(url));
    }
    form_->TreeView1->setCurrentItem(item(group.key));

    doubleClick();

    // A group key that is also a leaf's title is fetched on the entry pass first.
    Texts asked = requestedPaths();
    if (asked.size() > expected.size()) asked.erase(asked.begin(), asked.end() - expected.size());
    EXPECT_EQ(asked, expected);
    for (const std::string& url : group.urls)
        for (const std::string& edz : edzOf(url))
            EXPECT_TRUE(exists(group.key + "/" + edz)) << edz;
    EXPECT_EQ(dialogs_.texts(), Texts{kDone});
    EXPECT_EQ(shell_.opened, Texts{folderOf(group.key)});
}

TEST_F(DoubleClick, WithSeveralNodesSelectedOnlyTheCurrentOneCounts) {
    const catalogue::Entry leaf = plainLeaf();
    const catalogue::GroupRow group = largestGroup();
    serve(leaf.webpro);
    QTreeWidget* tree = form_->TreeView1;
    item(group.key)->setSelected(true);
    tree->setCurrentItem(item(leaf.namepro), 0, QItemSelectionModel::Select);
    ASSERT_EQ(tree->selectedItems().size(), 2);

    doubleClick();

    EXPECT_EQ(requestedPaths(), Texts{urlPath(leaf.webpro)});
    EXPECT_EQ(dialogs_.texts(), Texts{kDone});
    EXPECT_EQ(shell_.opened, Texts{folderOf(leaf.namepro)});
}

// The warning names the archive with a short reason; the server's status is said once.
TEST_F(DoubleClick, AFailedArchiveIsReportedAsAWarningWithItsReason) {
    const catalogue::Entry leaf = plainLeaf();
    struct Case {
        const char* what;
        std::string body;  // empty: not served, the server answers 404
        std::string line;
    };
    const Case cases[] = {
        {"not served", {}, "  " + leaf.shortweb + ": файл не найден на сервере (404)\n"},
        {"no archive", "<html>moved</html>",
         "  " + leaf.shortweb + ": архив повреждён или не распаковался ("},
    };
    const fs::path served = web_.file(urlPath(leaf.webpro).substr(1));
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        shell_.opened.clear();
        shell_.folders.clear();
        fs::remove(served);
        if (!c.body.empty()) writeFile(served, c.body);
        form_->TreeView1->setCurrentItem(item(leaf.namepro));

        doubleClick();

        ASSERT_EQ(dialogs_.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Warning) << c.what;
        const std::string& text = dialogs_.shown[0].text;
        EXPECT_NE(text.find(c.line), std::string::npos) << c.what << text;
        EXPECT_EQ(occurrences(text, "404"), c.body.empty() ? 1u : 0u) << c.what;
        const Texts shown = dialogs_.texts();
        EXPECT_EQ(std::find(shown.begin(), shown.end(), kDone), shown.end()) << c.what;
        // The entry pass made the leaf's folder before the transfer: it is still opened.
        EXPECT_EQ(shell_.folders, Texts{folderOf(leaf.namepro)}) << c.what;
        EXPECT_EQ(shell_.opened, shell_.folders) << c.what;
    }
}

// While a panel is open the tree takes no double-click: no download starts. Once it is closed
// the same double-click downloads again.
TEST_F(DoubleClick, WithAPanelOpenADoubleClickOnTheTreeStartsNoDownload) {
    const catalogue::Entry leaf = plainLeaf();
    serve(leaf.webpro);
    QTreeWidget* tree = form_->TreeView1;
    tree->setCurrentItem(item(leaf.namepro));
    tree->scrollToItem(item(leaf.namepro));
    // On the leaf's row, right of both panels.
    const QRect viewport(tree->viewport()->mapTo(form_.get(), QPoint(0, 0)),
                         tree->viewport()->size());
    const int y =
        tree->viewport()->mapTo(form_.get(), tree->visualItemRect(item(leaf.namepro)).center()).y();
    const QPoint at((form_->Frame21->geometry().right() + viewport.right()) / 2, y);
    ASSERT_TRUE(viewport.contains(at));
    ASSERT_FALSE(form_->Frame21->geometry().contains(at) || form_->Memo1->geometry().contains(at));
    const auto doubleClickRow = [&] {
        QTest::mouseDClick(form_->windowHandle(), Qt::LeftButton, {}, at);
    };

    for (QToolButton* toggle : {form_->ToolButton3, form_->ToolButton6}) {
        toggle->click();
        ASSERT_FALSE(tree->isEnabled());
        doubleClickRow();
        EXPECT_TRUE(requestedPaths().empty()) << toggle->objectName().toStdString();
        EXPECT_TRUE(dialogs_.shown.empty()) << toggle->objectName().toStdString();
        EXPECT_TRUE(shell_.opened.empty()) << toggle->objectName().toStdString();
        toggle->click();
    }

    ASSERT_TRUE(tree->isEnabled());
    doubleClickRow();
    EXPECT_FALSE(requestedPaths().empty());
    EXPECT_EQ(dialogs_.texts(), Texts{kDone});
}

TEST_F(DoubleClick, WithoutACurrentNodeDoesNothing) {
    ASSERT_EQ(form_->TreeView1->currentItem(), nullptr);
    doubleClick();
    EXPECT_TRUE(requestedPaths().empty());
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_TRUE(shell_.opened.empty());
}

}  // namespace
}  // namespace volnor::test
