#include "sampledb/sampledb.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <random>
#include <system_error>

#include "partsdb/removal_table.h"
#include "platform/error.h"
#include "platform/posix/jet_engine.h"
#include "platform/text.h"

namespace volnor::sampledb {
namespace {

namespace fs = std::filesystem;
using partsdb::RemovalStep;
using partsdb::removalTable;

void addOnce(std::vector<std::string>& list, const std::string& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

std::vector<std::string> tablePatterns() {
    std::vector<std::string> out;
    for (const auto& entry : removalTable())
        for (const auto& step : entry.steps)
            if (step.kind == RemovalStep::Kind::ClearSql) addOnce(out, step.text);
    return out;
}

std::vector<std::string> tableTokens() {
    std::vector<std::string> out;
    for (const auto& entry : removalTable())
        for (const auto& step : entry.steps)
            if (step.kind == RemovalStep::Kind::DFile)
                for (const std::string& t : split(step.text, ';', true)) addOnce(out, t);
    return out;
}

// Letter case of the alphabets the patterns and the maker's name are written in: Latin and the
// Russian Cyrillic block (U+0400 to U+045F).
std::string changeCase(std::string_view text, bool upper) {
    std::u16string s = toUtf16(text);
    for (char16_t& c : s) {
        if (upper) {
            if (c >= u'a' && c <= u'z')
                c = char16_t(c - 0x20);
            else if (c >= 0x430 && c <= 0x44F)
                c = char16_t(c - 0x20);
            else if (c >= 0x450 && c <= 0x45F)
                c = char16_t(c - 0x50);
        } else {
            if (c >= u'A' && c <= u'Z')
                c = char16_t(c + 0x20);
            else if (c >= 0x410 && c <= 0x42F)
                c = char16_t(c + 0x20);
            else if (c >= 0x400 && c <= 0x40F)
                c = char16_t(c + 0x50);
        }
    }
    return fromUtf16(s);
}

// A type number of another maker: digits between dots, so no pattern (letters, digits, blanks
// and hyphens, at least two of them) can occur in it.
std::string otherTypenr(int n) {
    std::string out = "K";
    for (const char c : std::to_string(n)) (out += '.') += c;
    return out;
}

class Db {
public:
    explicit Db(const fs::path& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            const std::string why = error();
            sqlite3_close(db_);
            throw Error("Cannot create '" + utf8Of(path) + "': " + why);
        }
    }
    ~Db() {
        for (auto* st : statements_) sqlite3_finalize(st);
        sqlite3_close(db_);
    }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Error("Sample database: " + error());
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK)
            throw Error("Sample database: " + error());
        statements_.push_back(st);
        return st;
    }
    void step(sqlite3_stmt* st) {
        if (sqlite3_step(st) != SQLITE_DONE) throw Error("Sample database: " + error());
        sqlite3_reset(st);
    }

private:
    std::string error() const { return db_ ? sqlite3_errmsg(db_) : "out of memory"; }
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
};

void bindText(sqlite3_stmt* st, int index, const std::optional<std::string>& text) {
    if (!text)
        sqlite3_bind_null(st, index);
    else
        sqlite3_bind_text(st, index, text->data(), int(text->size()), SQLITE_TRANSIENT);
}

}  // namespace

SampleCounts makeSampleDatabase(const fs::path& path, int parts, const std::string& password) {
    std::error_code ec;
    if (fs::exists(path, ec)) throw Error("'" + utf8Of(path) + "' already exists.");
    const std::vector<std::string> patterns = tablePatterns();
    if (patterns.empty()) throw Error("The removal table holds no pattern.");

    SampleCounts counts;
    {
        Db db(path);
        db.exec("PRAGMA journal_mode=OFF");
        db.exec("PRAGMA synchronous=OFF");
        db.exec(
            "CREATE TABLE tblpart(id INTEGER PRIMARY KEY, typenr TEXT, manufacturer TEXT, "
            "partnr TEXT, description TEXT);"
            "CREATE TABLE tblVariant(id INTEGER, variant INTEGER, description TEXT);"
            "CREATE TABLE tblFunctionTemplate(id INTEGER, position INTEGER, functiondef TEXT);"
            "CREATE INDEX tblVariant_id ON tblVariant(id);"
            "CREATE INDEX tblFunctionTemplate_id ON tblFunctionTemplate(id);");
        db.exec("BEGIN");
        auto* part = db.prepare("INSERT INTO tblpart VALUES (?, ?, ?, ?, ?)");
        auto* variant = db.prepare("INSERT INTO tblVariant VALUES (?, ?, ?)");
        auto* templ = db.prepare("INSERT INTO tblFunctionTemplate VALUES (?, ?, ?)");

        std::mt19937 random(20261210);
        const std::string maker = "ВОЛНОР";
        static const std::vector<std::string> others = {"ЭлектроЗавод", "Nordlicht", "ТехноСвет"};
        for (int id = 1; id <= parts; ++id) {
            std::optional<std::string> typenr;
            std::string manufacturer;
            const int kind = id % 20;
            if (kind < 12) {  // the maker's parts, the pattern at the start, middle or end
                std::string p = patterns[random() % patterns.size()];
                if (kind == 3) p = changeCase(p, false);
                if (kind == 7) p = changeCase(p, true);
                switch (id % 3) {
                    case 0:
                        typenr = p + " " + std::to_string(random() % 1000);
                        break;
                    case 1:
                        typenr = std::to_string(random() % 100) + "-" + p + "-C";
                        break;
                    default:
                        typenr = std::to_string(random() % 100) + " " + p;
                        break;
                }
                manufacturer = kind == 5 ? changeCase(maker, false) : maker;
                ++counts.makerParts;
            } else if (kind == 12) {
                manufacturer = maker;  // typenr stays null
                ++counts.nullTypenr;
                ++counts.makerParts;
            } else if (kind == 13) {
                manufacturer = "VOLNOR";
                typenr = otherTypenr(id);
                ++counts.latinParts;
            } else {
                manufacturer = others[std::size_t(id) % others.size()];
                typenr = otherTypenr(id);
                ++counts.otherParts;
            }
            sqlite3_bind_int(part, 1, id);
            bindText(part, 2, typenr);
            bindText(part, 3, manufacturer);
            bindText(part, 4, utf16Mid(manufacturer, 0, 3) + "." + std::to_string(id));
            bindText(part, 5, "Изделие " + std::to_string(id));
            db.step(part);
            const int variants = 1 + id % 2;
            for (int v = 1; v <= variants; ++v) {
                sqlite3_bind_int(variant, 1, id);
                sqlite3_bind_int(variant, 2, v);
                bindText(variant, 3, "Вариант " + std::to_string(v));
                db.step(variant);
                ++counts.variants;
            }
            sqlite3_bind_int(templ, 1, id);
            sqlite3_bind_int(templ, 2, 1);
            bindText(templ, 3, "Функция " + std::to_string(id % 7));
            db.step(templ);
            ++counts.functionTemplates;
        }
        db.exec("COMMIT");
    }
    if (!password.empty()) posix::setDatabasePassword(path, password);
    return counts;
}

std::vector<std::string> makeMacroFolder(const fs::path& folder, int files) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) throw Error("Cannot create '" + utf8Of(folder) + "'.");
    const std::vector<std::string> tokens = tableTokens();
    const fs::path dir = fs::absolute(folder, ec);
    std::vector<std::string> names;
    auto write = [&](const std::string& name) {
        const fs::path file = dir / pathOf(name);
        std::ofstream out(file, std::ios::binary);
        out << "macro\n";
        out.close();
        if (!out) throw Error("Cannot write '" + utf8Of(file) + "'.");
        names.push_back(name);
    };
    for (int i = 0; i < files; ++i) {
        const std::string n = std::to_string(i);
        if (i % 2 == 0 && !tokens.empty())
            write("VN_" + tokens[std::size_t(i / 2) % tokens.size()] + "_" + n + ".ema");
        else if (i % 10 == 1)
            write("other_" + n + ".EMA");
        else
            write("other_" + n + ".ema");
    }
    write("readme.txt");
    return names;
}

}  // namespace volnor::sampledb
