#pragma once
// Test doubles for the Win32 window's tests: what would need a person, the network or the
// parts-database provider. The INI files and the file search are small readers of the real files.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/dialogs.h"
#include "platform/file_search.h"
#include "platform/ini_file.h"
#include "platform/script_runner.h"
#include "platform/shell.h"
#include "platform/signature.h"
#include "platform/system.h"
#include "transfer/ftp_client.h"
#include "transfer/http_client.h"

namespace volnor::test {

struct WindowBox {
    enum class Kind { Confirm, Warning, Message, ErrorReport } kind;
    std::string title;
    std::string text;
};

class WindowDialogs : public Dialogs {
public:
    void confirm(const std::string& text) override {
        shown.push_back({WindowBox::Kind::Confirm, {}, text});
    }
    void warning(const std::string& text) override {
        shown.push_back({WindowBox::Kind::Warning, {}, text});
    }
    void showMessage(const std::string& text) override {
        shown.push_back({WindowBox::Kind::Message, {}, text});
    }
    void errorReport(const std::string& title, const std::string& text) override {
        shown.push_back({WindowBox::Kind::ErrorReport, title, text});
    }
    std::optional<std::string> chooseFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::vector<WindowBox> shown;
};

class WindowShell : public Shell {
public:
    void openUrl(const std::string& url) override { opened.push_back(url); }
    void openFolder(const std::string& folder) override { opened.push_back(folder); }
    std::vector<std::string> opened;
};

// Serves one body for every URL, in blocks of `block` bytes with a work report each, or fails
// every GET when there is no body.
class ServingHttp : public HttpClient {
public:
    std::optional<std::string> body;
    std::size_t block = 1000;
    std::vector<std::string> requested;

    void setHandleRedirects(bool on) override { redirects_ = on; }
    bool handleRedirects() const override { return redirects_; }
    void setUserAgent(const std::string& userAgent) override { userAgent_ = userAgent; }
    std::string userAgent() const override { return userAgent_; }
    void setOnWork(WorkHandler handler) override { onWork_ = std::move(handler); }
    void setPump(Pump pump) override { pump_ = std::move(pump); }
    void Get(const std::string& url, std::string& buffer) override;
    void Get(const std::string& url, ByteSink& sink) override;

private:
    bool redirects_ = false;
    std::string userAgent_ = kStoredUserAgent;
    WorkHandler onWork_;
    Pump pump_;
};

// An FTP server that cannot be reached.
class UnreachableFtp : public FtpClient {
public:
    void setPump(Pump) override {}
    bool Connected() const override { return false; }
    void Disconnect() override {}
    void Connect() override;
    void Get(const std::string&, const std::filesystem::path&, bool, bool) override;
};

// No script can be started.
class NoScripts : public ScriptRunner {
public:
    std::unique_ptr<RunningScript> start(const std::filesystem::path& script) const override;
    bool startDetached(const std::filesystem::path&, std::optional<std::int64_t>) const override {
        return false;
    }
    ProgramResult run(const std::filesystem::path&, const std::vector<std::string>&,
                      std::chrono::milliseconds) const override {
        return {};
    }
};

// Reads "[section]" and "key=value" lines of UTF-8 files, names without regard to ASCII case;
// writes replace the file whole.
class PlainIniFiles : public IniFiles {
public:
    std::string readString(const std::filesystem::path& file, const std::string& section,
                           const std::string& key, const std::string& def) const override;
    void writeString(const std::filesystem::path& file, const std::string& section,
                     const std::string& key, const std::string& value) override;
};

// "*" and "?" over the folder's names, ASCII case ignored.
class PlainFileSearch : public FileSearch {
public:
    std::vector<std::string> find(const std::filesystem::path& folder,
                                  std::string_view mask) const override;
};

// A provider that is not installed: every connection fails to open.
class MissingEngine : public db::Engine {
public:
    std::unique_ptr<db::Connection> connection() override;
    std::unique_ptr<db::Compaction> compaction(const std::string& sourceConnection) override;
    void removeDatabaseFiles(const std::filesystem::path&) override {}
};

class RefusingSignatures : public SignatureCheck {
public:
    SignatureVerdict verify(std::string_view, const std::filesystem::path&,
                            std::string_view) const override {
        return SignatureVerdict::Wrong;
    }
};

// A fixed day, this process, this test program's file, the Russian short date format.
class FixedSystem : public System {
public:
    std::chrono::year_month_day today() const override;
    std::int64_t processId() const override {
        return static_cast<std::int64_t>(GetCurrentProcessId());
    }
    std::filesystem::path executablePath() const override;
    ShortDateFormat shortDateFormat() const override;
};

}  // namespace volnor::test
