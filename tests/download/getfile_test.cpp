// Fetching one archive and unpacking it with the real interpreter and the real 7-Zip.
#include <gtest/gtest.h>

#include "download/download_fixture.h"
#include "platform/error.h"

namespace volnor::test {
namespace {

const std::string kUrl = "https://vn.test/f/0412/vr-shrn-12.zip";
const std::string kArchive = "vr-shrn-12.zip";
const std::string kScript = "vr-shrn-12.zip.cmd";
const std::string kNode = "Щиты распределительные ЩРН (IP31)";

using Getfile = DownloadTest;

TEST_F(Getfile, UnpacksIntoTheProgramDirectoryAndLeavesNoArchiveNorScript) {
    serve(kUrl, edzArchive({"shrn-12.edz", "shrn-24.edz"}));
    progress_.setPosition(777);
    downloader_->getfile(kUrl, kNode);
    EXPECT_EQ(progress_.position(), 0);
    downloader_->finishScripts();

    EXPECT_EQ(read("shrn-12.edz"), "edz shrn-12.edz");
    EXPECT_TRUE(exists("shrn-24.edz"));
    EXPECT_TRUE(exists("readme.txt"));
    EXPECT_TRUE(fs::is_directory(path(kNode)));
    EXPECT_FALSE(exists(kArchive));
    EXPECT_FALSE(exists(kScript));
    ASSERT_EQ(downloader_->outcomes().size(), 1u);
    EXPECT_TRUE(downloader_->outcomes()[0].ok()) << downloader_->outcomes()[0].unpack->errors;
    EXPECT_EQ(requestedPaths(), std::vector<std::string>{"/f/0412/vr-shrn-12.zip"});
}

TEST_F(Getfile, AFailedTransferStillRunsAndRemovesTheScriptButMakesNoFolder) {
    // Nothing is served: the server answers 404.
    progress_.setPosition(777);
    downloader_->getfile(kUrl, kNode);
    EXPECT_EQ(progress_.position(), 0);
    downloader_->finishScripts();

    ASSERT_EQ(downloader_->outcomes().size(), 1u);
    const ArchiveOutcome& outcome = downloader_->outcomes()[0];
    EXPECT_EQ(outcome.archive, kArchive);
    EXPECT_FALSE(outcome.transferError.empty());
    // The script ran: its 7-Zip line found no archive.
    ASSERT_TRUE(outcome.unpack.has_value());
    EXPECT_FALSE(outcome.unpack->ok);
    EXPECT_NE(outcome.unpack->errors.find("7z.exe x -r ..\\vr-shrn-12.zip"), std::string::npos)
        << outcome.unpack->errors;
    EXPECT_FALSE(exists(kScript));
    EXPECT_FALSE(exists(kNode));
    EXPECT_FALSE(exists(kArchive));
}

TEST_F(Getfile, TwoFetchesForOneNodeShareItsFolder) {
    const std::string second = "https://vn.test/f/0413/vr-shrn-24.zip";
    serve(kUrl, edzArchive({"shrn-12.edz"}));
    serve(second, edzArchive({"shrn-24.edz"}));
    downloader_->getfile(kUrl, kNode);
    downloader_->getfile(second, kNode);
    downloader_->finishScripts();

    EXPECT_TRUE(fs::is_directory(path(kNode)));
    EXPECT_TRUE(exists("shrn-12.edz"));
    EXPECT_TRUE(exists("shrn-24.edz"));
    for (const ArchiveOutcome& o : downloader_->outcomes()) EXPECT_TRUE(o.ok()) << o.archive;
    EXPECT_FALSE(exists(kScript));
    EXPECT_FALSE(exists("vr-shrn-24.zip.cmd"));
}

// The same archive twice in a row: the second must not be saved while the first one's script
// still reads it or is about to delete it.
TEST_F(Getfile, TheSameArchiveTwiceUnpacksBothTimes) {
    serve(kUrl, edzArchive({"shrn-12.edz"}));
    downloader_->getfile(kUrl, kNode);
    downloader_->getfile(kUrl, kNode);
    downloader_->finishScripts();
    ASSERT_EQ(downloader_->outcomes().size(), 2u);
    for (const ArchiveOutcome& o : downloader_->outcomes())
        EXPECT_TRUE(o.ok()) << (o.unpack ? o.unpack->errors : "not run");
    EXPECT_FALSE(exists(kArchive));
}

TEST_F(Getfile, AnOlderArchiveOfTheSameNameIsReplaced) {
    write(kArchive, zip({{"old.txt", "old"}}));
    serve(kUrl, zip({{"new.txt", "new"}}));
    downloader_->getfile(kUrl, kNode);
    downloader_->finishScripts();
    EXPECT_EQ(read("new.txt"), "new");
    EXPECT_FALSE(exists("old.txt"));
}

// 7-Zip would take a file that is no zip for whatever archive it finds in it: its entries were
// never checked, so it is not unpacked.
TEST_F(Getfile, ABodyThatIsNoZipIsRefusedAndRemoved) {
    serve(kUrl, "<html>not an archive</html>");
    downloader_->getfile(kUrl, kNode);
    downloader_->finishScripts();
    const ArchiveOutcome& outcome = downloader_->outcomes().at(0);
    EXPECT_TRUE(outcome.transferError.empty());
    EXPECT_EQ(outcome.refused, "архив повреждён или не распаковался (нет оглавления zip)");
    EXPECT_FALSE(outcome.unpack.has_value());  // no script ran
    EXPECT_FALSE(outcome.ok());
    EXPECT_FALSE(exists(kArchive));
    EXPECT_FALSE(exists(kScript));
}

// The entries are read from the archive under its final name; one entry onto the program's
// files refuses the whole archive: nothing of it is written, no script runs.
TEST_F(Getfile, AnArchiveOverTheProgramsFilesIsRefusedWhole) {
    write("eplan-config_local.ini", "state");
    serve(kUrl, zip({{"shrn-12.edz", "edz"}, {"Eplan-Config_Local.ini", "hostile"}}));
    downloader_->getfile(kUrl, kNode);
    downloader_->finishScripts();
    const ArchiveOutcome& outcome = downloader_->outcomes().at(0);
    EXPECT_EQ(outcome.refused,
              "архив записал бы «Eplan-Config_Local.ini» поверх файлов самой программы");
    EXPECT_FALSE(outcome.unpack.has_value());
    EXPECT_EQ(read("eplan-config_local.ini"), "state");
    EXPECT_FALSE(exists("shrn-12.edz"));
    EXPECT_FALSE(exists("Eplan-Config_Local.ini"));
    EXPECT_FALSE(exists(kArchive));
    EXPECT_FALSE(exists(kScript));
}

TEST_F(Getfile, AScriptThatCannotBeWrittenEndsTheCall) {
    serve(kUrl, edzArchive({"shrn-12.edz"}));
    ASSERT_TRUE(fs::create_directory(path(kScript)));  // a folder where the script should go
    try {
        downloader_->getfile(kUrl, kNode);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(e.text().find(kScript), std::string::npos) << e.text();
    }
    EXPECT_EQ(progress_.position(), 0);
    // Saved before the script was to be written, and left where it is.
    EXPECT_TRUE(exists(kArchive));
}

}  // namespace
}  // namespace volnor::test
