#include "support/window_doubles.h"

#include <fstream>
#include <sstream>

#include "platform/error.h"
#include "platform/text.h"
#include "transfer/transfer_error.h"

namespace volnor::test {

namespace {

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool matches(std::string_view name, std::string_view mask) {
    if (mask.empty()) return name.empty();
    if (mask.front() == '*')
        return matches(name, mask.substr(1)) || (!name.empty() && matches(name.substr(1), mask));
    if (name.empty()) return false;
    const bool same =
        mask.front() == '?' || equalsAsciiNoCase(name.substr(0, 1), mask.substr(0, 1));
    return same && matches(name.substr(1), mask.substr(1));
}

}  // namespace

void ServingHttp::Get(const std::string& url, std::string& buffer) {
    requested.push_back(url);
    if (!body)
        throw TransferError("Сервер недоступен (тест)", TransferError::Kind::NoConnection, 0);
    buffer.clear();
    for (std::size_t at = 0; at < body->size(); at += block) {
        const std::string part = body->substr(at, block);
        buffer += part;
        if (onWork_) onWork_(*this, WorkMode::Read, static_cast<std::int64_t>(part.size()));
        if (pump_) pump_();
    }
}

void ServingHttp::Get(const std::string& url, ByteSink& sink) {
    std::string buffer;
    Get(url, buffer);
    if (!sink.write(buffer)) throw TransferError(sink.errorText(), TransferError::Kind::Other, 200);
}

void UnreachableFtp::Connect() { throw FtpConnectError("Сервер FTP недоступен (тест)"); }

void UnreachableFtp::Get(const std::string&, const std::filesystem::path&, bool, bool) {
    throw FtpGetError("Нет соединения (тест)");
}

namespace {
class EndedScript : public RunningScript {
public:
    ScriptResult wait(const Pump&) override { return {false, -1, "не запущен (тест)"}; }
};
}  // namespace

std::unique_ptr<RunningScript> NoScripts::start(const std::filesystem::path&) const {
    return std::make_unique<EndedScript>();
}

std::string PlainIniFiles::readString(const std::filesystem::path& file, const std::string& section,
                                      const std::string& key, const std::string& def) const {
    std::istringstream lines(readAll(file));
    std::string line;
    bool inSection = false;
    while (std::getline(lines, line)) {
        const std::string_view text = trimmed(line);
        if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
            inSection = equalsAsciiNoCase(text.substr(1, text.size() - 2), section);
            continue;
        }
        const std::size_t eq = text.find('=');
        if (inSection && eq != std::string_view::npos &&
            equalsAsciiNoCase(trimmed(text.substr(0, eq)), key))
            return std::string(trimmed(text.substr(eq + 1)));
    }
    return def;
}

void PlainIniFiles::writeString(const std::filesystem::path& file, const std::string& section,
                                const std::string& key, const std::string& value) {
    // Enough for the tests: one section with one key.
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "[" << section << "]\r\n" << key << "=" << value << "\r\n";
    if (!out) throw Error("Unable to write to " + utf8Of(file));
}

std::vector<std::string> PlainFileSearch::find(const std::filesystem::path& folder,
                                               std::string_view mask) const {
    std::vector<std::string> names;
    std::error_code error;
    const std::filesystem::path where = folder.empty() ? std::filesystem::path(".") : folder;
    for (const auto& entry : std::filesystem::directory_iterator(where, error)) {
        const std::string name = utf8Of(entry.path().filename());
        if (matches(name, mask)) names.push_back(name);
    }
    return names;
}

namespace {
constexpr char kMissing[] = "Поставщик базы данных не установлен (тест)";

class MissingConnection : public db::Connection {
public:
    void open(const std::string&) override { throw Error(kMissing); }
    void close() override {}
    bool isOpen() const override { return false; }
    void beginTransaction() override { throw Error(kMissing); }
    void commit() override { throw Error(kMissing); }
    void rollback() override {}
    int execute(const std::string&, const std::map<std::string, std::string>&) override {
        throw Error(kMissing);
    }
};
}  // namespace

std::unique_ptr<db::Connection> MissingEngine::connection() {
    return std::make_unique<MissingConnection>();
}

std::unique_ptr<db::Compaction> MissingEngine::compaction(const std::string&) {
    throw Error(kMissing);
}

std::chrono::year_month_day FixedSystem::today() const {
    using namespace std::chrono;
    return year_month_day{year(2026), month(12), day(11)};
}

std::filesystem::path FixedSystem::executablePath() const {
    std::wstring name(MAX_PATH, L'\0');
    name.resize(GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size())));
    return std::filesystem::path(name);
}

ShortDateFormat FixedSystem::shortDateFormat() const {
    return *ShortDateFormat::fromPicture("dd.MM.yyyy");
}

}  // namespace volnor::test
