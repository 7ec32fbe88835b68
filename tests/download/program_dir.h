#pragma once
// A throwaway program directory for tests that run scripts: a temporary folder holding
// "7z/7z.exe" (a link to the real 7-Zip), made the process's current directory for the test
// and the old one restored afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/script_runner.h"
#include "platform/text.h"
#include "support/files.h"

namespace volnor::test {

class ProgramDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Canonical, as the current directory reads back.
        root_ = fs::canonical(temp_.path());
        dir_ = root_ / "prog";
        fs::create_directories(dir_ / "7z");
        fs::create_symlink("/usr/bin/7zz", dir_ / "7z" / "7z.exe");
        current_.emplace(dir_);
    }
    void TearDown() override { current_.reset(); }

    // The program directory, and its parent, which a hostile archive must not reach.
    const fs::path& dir() const { return dir_; }
    fs::path outside(std::string_view name) const { return root_ / pathOf(name); }
    fs::path path(std::string_view name) const { return dir_ / pathOf(name); }

    // The interpreter of the build's program directory.
    const posix::InterpreterRunner& runner() const { return runner_; }

    void write(std::string_view name, std::string_view bytes) const {
        ASSERT_NO_THROW(writeFile(path(name), bytes)) << name;
    }
    std::string read(std::string_view name) const { return readFile(path(name)); }
    bool exists(std::string_view name) const { return fs::exists(path(name)); }

    struct ZipEntry {
        std::string name;
        std::string data;  // for a link: its target
        bool link = false;
        std::string unicodePath = {};  // when set, an Info-ZIP Unicode path field naming it so
    };
    // A zip archive as Python's zipfile writes it, entry names stored exactly as given.
    static std::string zip(const std::vector<ZipEntry>& entries) {
        const TempDir work;
        // One entry a line: name, data and Unicode path in hex, then 1 for a link.
        std::string list;
        for (const ZipEntry& e : entries)
            list += hex(e.name) + ' ' + hex(e.data) + ' ' + hex(e.unicodePath) + ' ' +
                    (e.link ? "1\n" : "0\n");
        writeFile(work.file("entries"), list);
        writeFile(work.file("zip.py"), kZipMaker);
        const std::string command = "/usr/bin/python3 '" + utf8Of(work.file("zip.py")) + "' '" +
                                    utf8Of(work.file("entries")) + "' '" +
                                    utf8Of(work.file("a.zip")) + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return readFile(work.file("a.zip"));
    }

private:
    static std::string hex(std::string_view bytes) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string out;
        for (const unsigned char c : bytes) {
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
        }
        return out.empty() ? "-" : out;
    }

    static constexpr char kZipMaker[] = R"(
import stat, struct, sys, zipfile, zlib
unhex = lambda h: b"" if h == "-" else bytes.fromhex(h)
with zipfile.ZipFile(sys.argv[2], "w") as z, open(sys.argv[1]) as entries:
    for line in entries:
        name, data, unicode, link = line.split()
        info = zipfile.ZipInfo(unhex(name).decode("utf-8"))
        info.create_system = 3
        info.external_attr = ((stat.S_IFLNK | 0o777) if link == "1" else (stat.S_IFREG | 0o644)) << 16
        if unicode != "-":
            path = unhex(unicode)
            info.extra = struct.pack("<HHBI", 0x7075, 5 + len(path), 1,
                                     zlib.crc32(unhex(name))) + path
        z.writestr(info, unhex(data))
)";
    TempDir temp_;
    fs::path root_;
    fs::path dir_;
    std::optional<CurrentDir> current_;
    posix::InterpreterRunner runner_{VOLNOR_BIN_DIR};
};

}  // namespace volnor::test
