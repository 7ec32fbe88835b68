// The check of an archive's entries before 7-Zip unpacks it into the program directory, on real
// zips: the zip's central directory as the program reads it, and the two policies.
#include "download/archive_entries.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "download/program_dir.h"

namespace volnor::test {
namespace {

const std::string kArchive = "архив";
const std::string kUpdate = "архив обновления";

std::string outsideText(const std::string& noun, const std::string& entry) {
    return noun + " содержит путь за пределами папки программы «" + entry + "»";
}
std::string linkText(const std::string& noun, const std::string& entry) {
    return noun + " содержит ссылку «" + entry + "»";
}
std::string throughLinkText(const std::string& noun, const std::string& entry,
                            const std::string& link) {
    return noun + " записал бы «" + entry + "» поверх ссылки «" + link + "» в папке программы";
}
std::string ownedText(const std::string& entry) {
    return kArchive + " записал бы «" + entry + "» поверх файлов самой программы";
}

class ArchiveEntries : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        fs::create_directories(outside("shared"));
        fs::create_directory_symlink(outside("shared"), path("shared"));
    }

    // The entries of a zip made of these, as the program reads them.
    std::vector<ArchiveEntry> entriesOf(const std::vector<ZipEntry>& entries) {
        write("case.zip", zip(entries));
        const ZipDirectory dir = readZipDirectory(path("case.zip"));
        EXPECT_EQ(dir.error, "");
        return dir.entries;
    }
};

TEST_F(ArchiveEntries, TheDirectoryListsNamesFoldersAndLinks) {
    const std::vector<ArchiveEntry> entries = entriesOf({
        {"Щиты ЩРН/щрн-12.edz", "edz"},
        {"data/", ""},
        {"lnk", "/etc", true},
        {"plain.txt", "x", false, "../evil.txt"},
    });
    struct Expected {
        std::string path;
        bool folder;
        bool link;
    };
    // The Unicode path field's name comes first, then the plain one.
    const Expected expected[] = {{"Щиты ЩРН/щрн-12.edz", false, false},
                                 {"data/", true, false},
                                 {"lnk", false, true},
                                 {"../evil.txt", false, false},
                                 {"plain.txt", false, false}};
    ASSERT_EQ(entries.size(), std::size(expected));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].path, expected[i].path) << i;
        EXPECT_EQ(entries[i].folder, expected[i].folder) << expected[i].path;
        EXPECT_EQ(entries[i].link, expected[i].link) << expected[i].path;
    }
}

// Each case's entries follow a harmless one. The update archive's list gets its program added,
// which its policy requires (that rule is checked through the start-up).
TEST_F(ArchiveEntries, EachPolicyRefusesWhatWouldWriteOutsideThroughALinkOrOverTheProgram) {
    struct Case {
        std::vector<ZipEntry> entries;
        std::string catalogue;  // the refusal, empty when accepted
        std::string update;
    };
    const std::string absolute = utf8Of(outside("shared")) + "/abs.edz";
    const Case cases[] = {
        // Accepted by both.
        {{{"Щиты ЩРН/щрн-12.edz", "edz"}, {"sub/", ""}, {"./here.edz", "edz"}}, "", ""},
        {{{"data/cmd.exe", "x"}, {"cmd.exe.edz", "x"}, {"my.cmd.txt", "x"}}, "", ""},
        {{{"7zip/readme.txt", "x"}, {"eplan-config.ini.bak", "x"}, {"update.7z.edz", "x"}}, "", ""},
        {{{"shared.edz", "x"}, {"notes:x.edz", "x"}}, "", ""},
        // Outside the program directory.
        {{{"../Щит.edz", "x"}},
         outsideText(kArchive, "../Щит.edz"),
         outsideText(kUpdate, "../Щит.edz")},
        {{{"a/../../up.edz", "x"}},
         outsideText(kArchive, "a/../../up.edz"),
         outsideText(kUpdate, "a/../../up.edz")},
        {{{"a\\..\\..\\up.edz", "x"}},
         outsideText(kArchive, "a\\..\\..\\up.edz"),
         outsideText(kUpdate, "a\\..\\..\\up.edz")},
        {{{absolute, "x"}}, outsideText(kArchive, absolute), outsideText(kUpdate, absolute)},
        {{{"\\root.edz", "x"}},
         outsideText(kArchive, "\\root.edz"),
         outsideText(kUpdate, "\\root.edz")},
        {{{"C:\\Windows\\x.dll", "x"}},
         outsideText(kArchive, "C:\\Windows\\x.dll"),
         outsideText(kUpdate, "C:\\Windows\\x.dll")},
        // Windows drops the dots at the end of a name: "..." leads upwards there.
        {{{".../up.edz", "x"}}, outsideText(kArchive, ".../up.edz"), ""},
        // Links: an entry that is one, a link of the program directory on the way.
        {{{"lnk", utf8Of(outside("shared")), true}},
         linkText(kArchive, "lnk"),
         linkText(kUpdate, "lnk")},
        {{{"Ссылка", "..", true}}, linkText(kArchive, "Ссылка"), linkText(kUpdate, "Ссылка")},
        {{{"shared/x.edz", "x"}},
         throughLinkText(kArchive, "shared/x.edz", "shared"),
         throughLinkText(kUpdate, "shared/x.edz", "shared")},
        {{{"7z/7z.exe", "x"}},
         throughLinkText(kArchive, "7z/7z.exe", "7z/7z.exe"),
         throughLinkText(kUpdate, "7z/7z.exe", "7z/7z.exe")},
        // The program's own files, names compared as Windows compares them.
        {{{"VOLNOR_Eplan_DB.exe", "x"}}, ownedText("VOLNOR_Eplan_DB.exe"), ""},
        {{{"volnor_eplan_db", "x"}}, ownedText("volnor_eplan_db"), ""},
        {{{"Volnor_Eplan_DB.EXE/x", "x"}}, ownedText("Volnor_Eplan_DB.EXE/x"), ""},
        {{{"VOLNOR~1.EXE", "x"}}, ownedText("VOLNOR~1.EXE"), ""},
        {{{"cmd", "x"}}, ownedText("cmd"), ""},
        {{{"CMD.exe. ", "x"}}, ownedText("CMD.exe. "), ""},
        {{{"7z/7z.dll", "x"}}, ownedText("7z/7z.dll"), ""},
        {{{"7Z\\Codecs\\x.dll", "x"}}, ownedText("7Z\\Codecs\\x.dll"), ""},
        {{{"eplan-config.ini", "x"}}, ownedText("eplan-config.ini"), ""},
        {{{"Eplan-Config_Local.INI", "x"}}, ownedText("Eplan-Config_Local.INI"), ""},
        {{{"eplan-config_local.ini:stream", "x"}}, ownedText("eplan-config_local.ini:stream"), ""},
        {{{"cmdrun.cmd", "x"}}, ownedText("cmdrun.cmd"), ""},
        {{{"other.zip.CMD", "x"}}, ownedText("other.zip.CMD"), ""},
        {{{"UPDATE.7z", "x"}}, ownedText("UPDATE.7z"), ""},
        // A harmless plain name with a hostile Unicode path: the name 7-Zip may use counts.
        {{{"plain.edz", "x", false, "cmd.exe"}}, ownedText("cmd.exe"), ""},
    };
    for (const Case& c : cases) {
        std::vector<ZipEntry> zipped = {{"ok.edz", "ok"}};
        zipped.insert(zipped.end(), c.entries.begin(), c.entries.end());
        const std::string what = c.entries.front().name;
        write("case.zip", zip(zipped));

        const ZipDirectory read = readZipDirectory(path("case.zip"));
        const auto catalogue = catalogueArchiveProblem(dir(), read);
        EXPECT_EQ(catalogue.value_or(""), c.catalogue) << what;

        std::vector<ArchiveEntry> entries = read.entries;
        entries.push_back({"VOLNOR_Eplan_DB"});
        const auto update = entriesProblem(ArchiveKind::Update, dir(), entries);
        EXPECT_EQ(update.value_or(""), c.update) << what;
    }
}

// The zip with the UTF-8 flag of every record cleared: its names are then read in the OEM code
// page, as archivers of Windows write them.
std::string withoutUtf8Flag(std::string zip) {
    for (const auto& [signature, flags] :
         {std::pair{std::string("PK\1\2", 4), 8}, std::pair{std::string("PK\3\4", 4), 6}})
        for (std::size_t at = zip.find(signature); at != std::string::npos;
             at = zip.find(signature, at + 1))
            zip[at + flags + 1] = static_cast<char>(zip[at + flags + 1] & ~0x08);
    return zip;
}

// After 7-Zip has unpacked a zip, every file entry is looked for, whole; the first one missing or
// short is named. The files of the unpack can be taken away again, and nothing else.
TEST_F(ArchiveEntries, AfterTheUnpackEveryFileEntryIsLookedForWhole) {
    struct Case {
        const char* what;
        const std::string& zip;
        std::vector<std::string> changed;  // taken away after the unpack, or cut short: "~name"
        std::string missing;               // the reason, empty when all are there
        bool unpacked = true;
    };
    const std::string plain = zip({{"a.edz", "aaaa"}, {"Щиты ЩРН/б.edz", "bbbb"}, {"data/", ""}});
    const std::string twoNames = zip({{"plain.edz", "p", false, "юникод.edz"}});
    const std::string twice = zip({{"twice.edz", "1"}, {"twice.edz", "longer"}});
    const std::string backslash = zip({{"d\\b.edz", "x"}});
    // 7-Zip reads such a name in the system's OEM code page: no telling what it becomes.
    const std::string oem = withoutUtf8Flag(zip({{"щрн.edz", "x"}}));
    const Case cases[] = {
        {"all there", plain, {}, ""},
        {"one missing in a folder", plain, {"Щиты ЩРН/б.edz"}, "нет файла «Щиты ЩРН/б.edz»"},
        {"one short", plain, {"~a.edz"}, "файл «a.edz» распакован не полностью"},
        {"a folder entry is not looked for", plain, {"data"}, ""},
        {"under either name of a record", twoNames, {}, ""},
        {"under neither name", twoNames, {"plain.edz", "юникод.edz"}, "нет файла «юникод.edz»"},
        {"a name two entries share", twice, {}, ""},
        {"a \\ in a name", backslash, {}, ""},
        {"a \\ in a missing name", backslash, {"d\\b.edz", "d/b.edz"}, "нет файла «d\\b.edz»"},
        {"a name of no known encoding", oem, {}, "", false},
    };
    for (const Case& c : cases) {
        const fs::path folder = path("unpack");
        fs::remove_all(folder);
        fs::create_directories(folder);
        write("case.zip", c.zip);
        if (c.unpacked) {
            const std::string command = "/usr/bin/7zz x -y '-o" + utf8Of(folder) + "' '" +
                                        utf8Of(path("case.zip")) + "' >/dev/null";
            ASSERT_EQ(std::system(command.c_str()), 0) << c.what;
        }
        for (const std::string& name : c.changed) {
            if (name.starts_with('~'))
                fs::resize_file(folder / pathOf(name.substr(1)), 1);
            else
                fs::remove_all(folder / pathOf(name));
        }
        writeFile(folder / "keep.txt", "not of the archive");

        const ZipDirectory dir = readZipDirectory(path("case.zip"));
        ASSERT_EQ(dir.error, "") << c.what;
        EXPECT_EQ(missingEntry(folder, dir.entries).value_or(""), c.missing) << c.what;

        removeUnpacked(folder, dir.entries);
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(utf8Of(entry.path().filename()));
        EXPECT_EQ(files, std::vector<std::string>{"keep.txt"}) << c.what;
    }
}

// The end record and, with ZIP64, its two records replaced; offsets of the directory and its
// size as they are.
std::string asZip64(const std::string& zip) {
    const auto field = [&zip](std::size_t at, int size) {
        std::uint64_t v = 0;
        for (int i = size; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(zip[at + i]);
        return v;
    };
    const auto put = [](std::string& out, std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::size_t end = zip.size() - 22;  // no comment
    const std::uint64_t count = field(end + 10, 2);
    const std::uint64_t size = field(end + 12, 4);
    const std::uint64_t offset = field(end + 16, 4);
    std::string out = zip.substr(0, end);
    put(out, 0x06064b50, 4);
    put(out, 44, 8);
    put(out, 45, 2);
    put(out, 45, 2);
    put(out, 0, 4);
    put(out, 0, 4);
    put(out, count, 8);
    put(out, count, 8);
    put(out, size, 8);
    put(out, offset, 8);
    put(out, 0x07064b50, 4);
    put(out, 0, 4);
    put(out, end, 8);
    put(out, 1, 4);
    put(out, 0x06054b50, 4);
    put(out, 0, 4);
    put(out, 0xFFFF, 2);
    put(out, 0xFFFF, 2);
    put(out, 0xFFFFFFFF, 4);
    put(out, 0xFFFFFFFF, 4);
    put(out, 0, 2);
    return out;
}

TEST_F(ArchiveEntries, AZip64DirectoryIsReadAsTheEndRecordSays) {
    const std::string zip64 = asZip64(zip({{"a.edz", "a"}, {"../up.edz", "x"}}));
    write("z64.zip", zip64);
    // 7-Zip reads the same archive: the fixture is a real ZIP64 one.
    const std::string list = "/usr/bin/7zz l -ba '" + utf8Of(path("z64.zip")) + "' >/dev/null";
    ASSERT_EQ(std::system(list.c_str()), 0);
    const ZipDirectory dir = readZipDirectory(path("z64.zip"));
    EXPECT_EQ(dir.error, "");
    ASSERT_EQ(dir.entries.size(), 2u);
    EXPECT_EQ(dir.entries[1].path, "../up.edz");
    EXPECT_EQ(catalogueArchiveProblem(this->dir(), dir), outsideText(kArchive, "../up.edz"));
}

TEST_F(ArchiveEntries, ADirectoryThatDoesNotAddUpIsADamagedArchive) {
    const std::string good = zip({{"a.edz", "a"}, {"b.edz", "b"}});
    const std::size_t end = good.size() - 22;
    const auto changed = [&good](std::size_t at, char byte) {
        std::string b = good;
        b[at] = byte;
        return b;
    };
    const std::string nulName = [&] {
        std::string b = good;
        const std::size_t name = b.find("b.edz", b.size() - 22 - 46 - 5);
        b[name] = '\0';
        return b;
    }();
    struct Case {
        const char* what;
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"empty", "", "нет оглавления zip"},
        {"no archive", "<html>moved</html>", "нет оглавления zip"},
        {"cut short", good.substr(0, good.size() / 2), "нет оглавления zip"},
        {"bytes after the end record", good + "x", "нет оглавления zip"},
        {"directory one byte off", changed(end + 16, static_cast<char>(good[end + 16] + 1)),
         "оглавление zip не на своём месте"},
        {"one entry more listed", changed(end + 8, 3).replace(end + 10, 1, 1, 3),
         "оглавление zip повреждено"},
        {"one entry less listed", changed(end + 8, 1).replace(end + 10, 1, 1, 1),
         "оглавление zip повреждено"},
        {"entries on two disks", changed(end + 8, 1), "многотомный архив"},
        {"another disk", changed(end + 4, 1), "многотомный архив"},
        {"a NUL in a name", nulName, "имя в оглавлении zip содержит нулевой символ"},
    };
    for (const Case& c : cases) {
        write("bad.zip", c.bytes);
        const ZipDirectory dir = readZipDirectory(path("bad.zip"));
        EXPECT_EQ(dir.error, c.error) << c.what;
        EXPECT_TRUE(dir.entries.empty()) << c.what;
        EXPECT_EQ(catalogueArchiveProblem(this->dir(), dir).value_or(""),
                  "архив повреждён или не распаковался (" + std::string(c.error) + ")")
            << c.what;
    }
    EXPECT_EQ(readZipDirectory(path("missing.zip")).error, "не удалось прочитать файл");
}

}  // namespace
}  // namespace volnor::test
