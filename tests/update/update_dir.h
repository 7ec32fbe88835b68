#pragma once
// A throwaway program directory for the self-update: its "7z/7z.exe" leads to a copy of 7-Zip of
// the test's own, never to the system's program, since update archives may name that file.
#include <cstdlib>
#include <string>
#include <vector>

#include "download/program_dir.h"
#include "sign/sign.h"
#include "update/dates.h"

namespace volnor::test {

class UpdateDirTest : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        fs::create_directories(outside("tools"));
        fs::copy_file("/usr/bin/7zz", sevenZipCopy());
        fs::remove(path("7z/7z.exe"));
        fs::create_symlink(sevenZipCopy(), path("7z/7z.exe"));
        sevenZipBytes_ = readFile(sevenZipCopy());
        ASSERT_FALSE(sevenZipBytes_.empty());
    }

    fs::path sevenZipCopy() const { return outside("tools/7zz"); }
    bool sevenZipIntact() const { return readFile(sevenZipCopy()) == sevenZipBytes_; }

    struct File {
        std::string name;
        std::string data;
    };
    // A 7z archive of the files, made by 7-Zip in a folder of its own.
    static std::string sevenZip(const std::vector<File>& files) {
        const TempDir stage;
        for (const File& f : files) {
            writeFile(stage.file(f.name), f.data);
            fs::permissions(stage.file(f.name), fs::perms::owner_exec, fs::perm_options::add);
        }
        return sevenZipOf(stage.path(), {"-snl"});
    }
    // A 7z archive of a folder's content, links stored as links when the switches say so.
    static std::string sevenZipOf(const fs::path& folder,
                                  const std::vector<std::string>& switches) {
        const TempDir work;
        const fs::path archive = work.file("a.7z");
        std::string command = "cd ";
        command += quoted(utf8Of(folder));
        command += " && /usr/bin/7zz a -bd -y";
        for (const std::string& s : switches) (command += ' ') += quoted(s);
        (command += ' ') += quoted(utf8Of(archive));
        command += " . >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return readFile(archive);
    }

    static ShortDateFormat russian() { return *ShortDateFormat::fromPicture("dd.MM.yyyy"); }

    // The configuration's SIGNATURE of the archive's bytes, made as the maker makes it.
    static std::string signatureOf(const sign::KeyPair& key, const std::string& archive) {
        const TempDir work;
        writeFile(work.file("update.7z"), archive);
        return sign::signFile(key.privatePem, work.file("update.7z"));
    }

private:
    // For the shell: the text between single quotes.
    static std::string quoted(const std::string& text) {
        // Appended piece by piece: GCC 12 warns (-Wrestrict) about "'" + std::string at -O3.
        std::string out = "'";
        out += replaceAll(text, "'", "'\\''");
        out += '\'';
        return out;
    }

    std::string sevenZipBytes_;
};

}  // namespace volnor::test
