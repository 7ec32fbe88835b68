// The download command reached through the window: a double-click on the tree, the real HTTPS
// server, the real interpreter and 7-Zip, boxes and folder openings recorded.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
#include <memory>

#include "catalogue/catalogue.h"
#include "download/program_dir.h"
#include "support/recorders.h"
#include "support/servers.h"
#include "ui/Unit1.h"

namespace volnor::test {
namespace {

using ui::TForm1;

const QString kDone = QStringLiteral("Загрузка завершена!");

// The archive's EDZ files are named after it, so that each can be told apart in a folder.
QStringList edzOf(const QString& url) {
    const QString stem = catalogue::shortweb(url).chopped(4);
    return {stem + QStringLiteral("-a.edz"), stem + QStringLiteral("-b.EDZ")};
}

class DoubleClick : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        ASSERT_TRUE(web_.isValid() && drive_.isValid());
        ASSERT_TRUE(
            QFile::link(QStringLiteral(VOLNOR_BIN_DIR "/cmd"), path(QStringLiteral("cmd"))));
        server_ = std::make_unique<HttpsServer>(web_.path());
        form_ = std::make_unique<TForm1>(dialogs_, shell_, WinPaths(drive_.path()), dir().path(),
                                         server_->connectTo());
        form_->show();
        dialogs_.shown.clear();
    }
    void TearDown() override {
        form_.reset();
        ProgramDirTest::TearDown();
    }

    void serve(const QString& url) {
        QList<ZipEntry> entries;
        for (const QString& name : edzOf(url)) entries.append({name, name.toUtf8()});
        entries.append({QStringLiteral("readme.txt"), "readme"});
        const QString file = web_.path() + QUrl(url).path();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(zip(entries));
    }

    QTreeWidgetItem* item(const QString& text) const {
        const auto found = form_->TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
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

    QStringList requestedPaths() const {
        QStringList out;
        for (const RecordedRequest& r : server_->requests()) out << r.path;
        return out;
    }

    QTemporaryDir web_;
    QTemporaryDir drive_;
    std::unique_ptr<HttpsServer> server_;
    RecordingDialogs dialogs_;
    RecordingShell shell_;
    std::unique_ptr<TForm1> form_;
};

// A leaf with an entry of its own that is no key of the group table.
catalogue::Entry plainLeaf() {
    QStringList menulist;
    catalogue::menuload(menulist);
    for (const QString& line : menulist) {
        const catalogue::Entry e = catalogue::splitEntry(line);
        bool isGroupKey = false;
        for (const auto& row : catalogue::grouplist())
            isGroupKey = isGroupKey || catalogue::sameText(row.key, e.namepro);
        if (!isGroupKey) return e;
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
    ASSERT_FALSE(leaf.namepro.isEmpty());
    serve(leaf.webpro);
    form_->TreeView1->setCurrentItem(item(leaf.namepro));

    doubleClick();

    EXPECT_EQ(requestedPaths(), QStringList{QUrl(leaf.webpro).path()});
    for (const QString& edz : edzOf(leaf.webpro))
        EXPECT_TRUE(exists(leaf.namepro + QLatin1Char('/') + edz)) << edz.toStdString();
    EXPECT_FALSE(exists(leaf.shortweb));
    EXPECT_TRUE(exists(QStringLiteral("readme.txt")));
    ASSERT_EQ(dialogs_.shown.size(), 1u) << dialogs_.texts().join('\n').toStdString();
    EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Confirm);
    EXPECT_EQ(dialogs_.shown[0].text, kDone);
    EXPECT_EQ(shell_.opened, QStringList{path(leaf.namepro)});
    EXPECT_EQ(form_->ProgressBar1->value(), 0);
}

TEST_F(DoubleClick, OnAGroupGathersEveryArchiveInTheGroupsFolderInRowOrder) {
    const catalogue::GroupRow group = largestGroup();
    ASSERT_FALSE(group.urls.isEmpty());
    QStringList expected;
    for (const QString& url : group.urls) {
        serve(url);
        expected << QUrl(url).path();
    }
    form_->TreeView1->setCurrentItem(item(group.key));

    doubleClick();

    // A group key that is also a leaf's title is fetched on the entry pass first.
    QStringList asked = requestedPaths();
    if (asked.size() > expected.size()) asked = asked.mid(asked.size() - expected.size());
    EXPECT_EQ(asked, expected);
    for (const QString& url : group.urls)
        for (const QString& edz : edzOf(url))
            EXPECT_TRUE(exists(group.key + QLatin1Char('/') + edz)) << edz.toStdString();
    EXPECT_EQ(dialogs_.texts(), QStringList{kDone});
    EXPECT_EQ(shell_.opened, QStringList{path(group.key)});
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

    EXPECT_EQ(requestedPaths(), QStringList{QUrl(leaf.webpro).path()});
    EXPECT_EQ(dialogs_.texts(), QStringList{kDone});
    EXPECT_EQ(shell_.opened, QStringList{path(leaf.namepro)});
}

// The warning names the archive with a short reason; the server's status is said once.
TEST_F(DoubleClick, AFailedArchiveIsReportedAsAWarningWithItsReason) {
    const catalogue::Entry leaf = plainLeaf();
    struct Case {
        const char* what;
        QByteArray body;  // empty: not served, the server answers 404
        QString line;
    };
    const Case cases[] = {
        {"not served", {}, QStringLiteral("  %1: файл не найден на сервере (404)\n")},
        {"no archive", "<html>moved</html>",
         QStringLiteral("  %1: архив повреждён или не распаковался (")},
    };
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        shell_.opened.clear();
        shell_.folders.clear();
        QFile::remove(web_.path() + QUrl(leaf.webpro).path());
        if (!c.body.isEmpty()) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(web_.path() + QUrl(leaf.webpro).path()).path()));
            QFile f(web_.path() + QUrl(leaf.webpro).path());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.body);
        }
        form_->TreeView1->setCurrentItem(item(leaf.namepro));

        doubleClick();

        ASSERT_EQ(dialogs_.shown.size(), 1u) << c.what;
        EXPECT_EQ(dialogs_.shown[0].kind, ShownBox::Kind::Warning) << c.what;
        const QString text = dialogs_.shown[0].text;
        EXPECT_TRUE(text.contains(c.line.arg(leaf.shortweb))) << c.what << text.toStdString();
        EXPECT_EQ(text.count(QStringLiteral("404")), c.body.isEmpty() ? 1 : 0) << c.what;
        EXPECT_FALSE(dialogs_.texts().contains(kDone)) << c.what;
        // The entry pass made the leaf's folder before the transfer: it is still opened.
        EXPECT_EQ(shell_.folders, QStringList{path(leaf.namepro)}) << c.what;
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
        EXPECT_TRUE(requestedPaths().isEmpty()) << toggle->objectName().toStdString();
        EXPECT_TRUE(dialogs_.shown.empty()) << toggle->objectName().toStdString();
        EXPECT_TRUE(shell_.opened.isEmpty()) << toggle->objectName().toStdString();
        toggle->click();
    }

    ASSERT_TRUE(tree->isEnabled());
    doubleClickRow();
    EXPECT_FALSE(requestedPaths().isEmpty());
    EXPECT_EQ(dialogs_.texts(), QStringList{kDone});
}

TEST_F(DoubleClick, WithoutACurrentNodeDoesNothing) {
    ASSERT_EQ(form_->TreeView1->currentItem(), nullptr);
    doubleClick();
    EXPECT_TRUE(requestedPaths().isEmpty());
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_TRUE(shell_.opened.isEmpty());
}

}  // namespace
}  // namespace volnor::test
