// Archives are outside input: whatever their entries say, unpacking writes nothing outside the
// program directory and leaves no link that leads out of it.
#include <gtest/gtest.h>

#include <algorithm>

#include "download/program_dir.h"
#include "download/script_file.h"

namespace volnor::test {
namespace {

using Names = std::vector<std::string>;

std::string lines(const Names& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : "\n") + n;
    return out;
}

class UnpackSafety : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        writeFile(outside("outside/victim.txt"), "victim");
    }

    // Everything below the folder that holds the program directory, except the program
    // directory itself. Links are listed, not followed.
    Names outsideEntries() const {
        Names out;
        const std::string inside = utf8Of(dir());
        for (const auto& entry : fs::recursive_directory_iterator(outside(""))) {
            const std::string p = utf8Of(entry.path());
            if (!p.starts_with(inside)) out.push_back(p);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    Names linksLeadingOut() const {
        Names out;
        const std::string root = utf8Of(fs::canonical(dir())) + "/";
        for (const auto& entry : fs::recursive_directory_iterator(dir())) {
            if (!entry.is_symlink() || entry.path() == path("7z/7z.exe")) continue;
            // A link whose target does not exist yet is judged by where it would lead.
            const fs::path target =
                (entry.path().parent_path() / fs::read_symlink(entry.path())).lexically_normal();
            const fs::path real = fs::exists(target) ? fs::canonical(target) : target;
            if (!(utf8Of(real) + "/").starts_with(root))
                out.push_back(utf8Of(entry.path()) + " -> " + utf8Of(real));
        }
        return out;
    }
};

TEST_F(UnpackSafety, HostileEntriesStayInsideTheProgramDirectory) {
    const std::string outsideDir = utf8Of(outside("outside"));
    struct Case {
        const char* what;
        std::vector<ZipEntry> entries;
    };
    const Case cases[] = {
        {"parent folder", {{"../dotdot.txt", "x"}, {"../outside/victim.txt", "changed"}}},
        {"parent inside a path", {{"a/../../dotdot2.txt", "x"}, {"a/../../outside/new.txt", "x"}}},
        {"absolute path",
         {{outsideDir + "/abs.txt", "x"}, {outsideDir + "/victim.txt", "changed"}}},
        {"absolute link, then a file through it",
         {{"lnk", outsideDir, true}, {"lnk/through.txt", "x"}, {"lnk/victim.txt", "changed"}}},
        {"relative link upwards, then a file through it",
         {{"up", "../../outside", true}, {"up/through.txt", "x"}, {"up/victim.txt", "changed"}}},
        {"link to an outside file, then the same name as a file",
         {{"esc", "../../outside/victim.txt", true}, {"esc", "changed"}}},
    };
    const Names before = outsideEntries();
    for (const Case& c : cases) {
        std::vector<ZipEntry> entries = c.entries;
        entries.push_back({"ok.txt", "ok"});
        write("evil.zip", zip(entries));
        fs::remove(path("ok.txt"));
        writeScript(path("evil.zip.cmd"), unpackScript("evil.zip"));
        runner().start(path("evil.zip.cmd"))->wait({});

        EXPECT_EQ(read("ok.txt"), "ok") << c.what << ": nothing unpacked";
        EXPECT_EQ(lines(outsideEntries()), lines(before)) << c.what;
        ASSERT_TRUE(fs::is_regular_file(outside("outside/victim.txt"))) << c.what;
        EXPECT_EQ(readFile(outside("outside/victim.txt")), "victim") << c.what;
        EXPECT_EQ(lines(linksLeadingOut()), "") << c.what;
    }
}

}  // namespace
}  // namespace volnor::test
