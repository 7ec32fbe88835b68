// Command script files: their exact bytes, and failures that leave nothing half-written.
#include "download/script_file.h"

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "platform/error.h"
#include "platform/text.h"
#include "support/files.h"

namespace volnor::test {
namespace {

TEST(UnpackScript, HasFourCrLfLinesNamingTheArchive) {
    const TempDir dir;
    const std::string shortweb = catalogue::shortweb("https://vn.test/f/0412/vr-shrn-12.zip");
    ASSERT_EQ(shortweb, "vr-shrn-12.zip");
    const fs::path path = dir.file(shortweb + ".cmd");
    writeScript(path, unpackScript(shortweb));
    EXPECT_EQ(readFile(path),
              "cd 7z\\\r\n"
              "7z.exe x -r ..\\vr-shrn-12.zip -o..\\ -y\r\n"
              "cd ..\\\r\n"
              "del vr-shrn-12.zip\r\n");
}

TEST(WriteScript, WritesTheCodePageWithoutBomAndReplacesAnOlderFileWhole) {
    const TempDir dir;
    const fs::path path = dir.file("s.cmd");
    writeScript(path, {"a much longer first line than the next file has", "x", "y"});
    writeScript(path, {"del Щит.txt", "exit"});
    EXPECT_EQ(readFile(path), "del \xD9\xE8\xF2.txt\r\nexit\r\n");
}

// Written aside under a name of its own, a script still gets the permissions of a plain new
// file, not the private ones of a temporary file.
TEST(WriteScript, GetsThePermissionsOfAPlainNewFile) {
    const TempDir dir;
    writeFile(dir.file("plain.txt"), "x");
    writeScript(dir.file("s.cmd"), {"exit"});
    EXPECT_EQ(fs::status(dir.file("s.cmd")).permissions(),
              fs::status(dir.file("plain.txt")).permissions());
}

TEST(WriteScript, AFailureNamesTheFileAndLeavesAnOlderOneAsItWas) {
    const TempDir dir;
    const fs::path existing = dir.file("old.cmd");
    writeScript(existing, {"exit"});
    const fs::path folder = dir.file("in-the-way.cmd");
    ASSERT_TRUE(fs::create_directory(folder));
    struct Case {
        const char* what;
        fs::path path;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"missing folder", dir.file("no/such/s.cmd"), {"exit"}},
        {"folder in the way", folder, {"exit"}},
        {"character outside the code page", existing, {"del 中.txt"}},
    };
    for (const Case& c : cases) {
        try {
            writeScript(c.path, c.lines);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.text().starts_with("Cannot create file \"" + utf8Of(c.path) + "\". "))
                << c.what << ": " << e.text();
        }
    }
    EXPECT_EQ(readFile(existing), "exit\r\n");
    // Nothing written aside is left behind.
    EXPECT_EQ(entryNames(dir.path()), (std::vector<std::string>{"in-the-way.cmd", "old.cmd"}));
}

}  // namespace
}  // namespace volnor::test
