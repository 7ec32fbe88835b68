// The parts-database engine on Windows: ADO's Connection and Command over the Jet 4.0 OLE DB
// provider, and JRO's JetEngine for compaction, through their interfaces (late binding fails
// under Wine). The ADO headers' older interface ids are the ones every system answers to.
#include "platform/win32/ado_engine.h"

#include <windows.h>
// The ids are defined here, so initguid.h comes before adoid.h; adojet.h needs adoint.h.
// clang-format off
#include <initguid.h>
#include <adoid.h>
#include <adoint.h>
#include <adojet.h>
// clang-format on
#include <oleauto.h>

#include <cstdio>
#include <map>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "partsdb/connection_string.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/win32/ado_texts.h"
#include "platform/win32/wide.h"

// JRO's interface; the headers declare it, no library defines it.
DEFINE_GUID(IID_IJetEngine, 0x9F63D980, 0xFF25, 0x11D1, 0xBB, 0x6F, 0x00, 0xC0, 0x4F, 0xAE, 0x22,
            0xDA);

namespace volnor::win32 {
namespace {

namespace fs = std::filesystem;
namespace text = ado::text;

// ---- COM's small things ----------------------------------------------------------------------

// One reference to a COM object, released when it goes.
template <class T>
class Com {
public:
    Com() = default;
    ~Com() { reset(); }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    Com(Com&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Com& operator=(Com&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For a call that hands out a reference.
    T** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(std::string_view utf8) {
        const std::wstring w = wide(utf8);
        b_ = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    }
    Bstr() = default;
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return b_; }
    BSTR* put() {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    // Hands the string over to a VARIANT, which frees it.
    BSTR release() { return std::exchange(b_, nullptr); }
    std::string utf8() const { return b_ ? narrow(std::wstring_view(b_, SysStringLen(b_))) : ""; }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &v_; }
    VARIANT& operator*() { return v_; }

private:
    VARIANT v_;
};

// The value COM takes for an optional argument left out.
VARIANT missingArgument() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// ---- Failures --------------------------------------------------------------------------------

// What a provider that cannot be created answers: no class under that name (Wine: no Jet at
// all), a name without a class, or ADO's "provider cannot be found" (Windows without it).
bool isClassMissing(HRESULT hr) {
    return hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG ||
           hr == static_cast<HRESULT>(0x800A0E7A);
}

// The words the failed call's object left for its caller: the provider's, through ADO.
std::string errorInfoWords() {
    Com<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return {};
    Bstr words;
    if (FAILED(info->GetDescription(words.put()))) return {};
    return std::string(trimmed(words.utf8()));
}

// The provider's own words from the connection's Errors, the first that says anything.
std::string connectionErrorWords(_ADOConnection* connection) {
    if (!connection) return {};
    Com<ADOErrors> errors;
    long count = 0;
    if (FAILED(connection->get_Errors(errors.put())) || !errors ||
        FAILED(errors->get_Count(&count)))
        return {};
    for (long i = 0; i < count; ++i) {
        Variant index;
        (*index).vt = VT_I4;
        (*index).lVal = i;
        Com<ADOError> error;
        Bstr words;
        if (SUCCEEDED(errors->get_Item(*index, error.put())) && error &&
            SUCCEEDED(error->get_Description(words.put()))) {
            std::string said(trimmed(words.utf8()));
            if (!said.empty()) return said;
        }
    }
    return {};
}

// "HRESULT 0x80004005" and the words of the call's object where it left any.
std::string comDetail(HRESULT hr, _ADOConnection* connection = nullptr) {
    std::string words = errorInfoWords();
    if (words.empty()) words = connectionErrorWords(connection);
    char code[32];
    std::snprintf(code, sizeof code, "HRESULT 0x%08lX", static_cast<unsigned long>(hr));
    return words.empty() ? std::string(code) : concat(code, ": ", words);
}

// ---- The data source -------------------------------------------------------------------------

// The database file the string names as its data source, as an absolute path.
fs::path dataSource(const std::string& connectionString) {
    const auto options = partsdb::parseConnectionString(connectionString);
    const auto it = options.find("data source");
    if (it == options.end() || it->second.empty()) throw Error(text::noDataSource());
    std::error_code ec;
    fs::path file = fs::absolute(pathOf(it->second), ec);
    if (ec) file = pathOf(it->second);
    return file.lexically_normal();
}

// The provider's words for a missing file are English and name no folder: said here first.
void requireFile(const fs::path& file) {
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (!fs::exists(status)) throw Error(text::notFound(file));
    if (fs::is_directory(status)) throw Error(text::folderNotFile(file));
}

// An ADO connection opened with the string, or why not: ADO itself could not be created, or
// opening failed (the call's result and its detail).
struct Opened {
    Com<_ADOConnection> connection;
    bool adoMissing = false;
    HRESULT hr = S_OK;
    std::string detail;
};

// The string with OLE DB's session pooling turned off: a pooled session keeps the file open for
// a minute after close(), and the compaction needs the source free, the copy free to take its
// place.
std::string withoutPooling(const std::string& connectionString) {
    std::string out = connectionString;
    if (!out.empty() && out.back() != ';') out += ';';
    return out + "OLE DB Services=-2;";
}

Opened openAdo(const std::string& connectionString) {
    Opened out;
    out.hr = CoCreateInstance(CLSID_CADOConnection, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IADOConnection, out.connection.putVoid());
    if (FAILED(out.hr)) {
        out.adoMissing = true;
        out.detail = comDetail(out.hr);
        out.connection.reset();
        return out;
    }
    const Bstr string(withoutPooling(connectionString));
    out.hr = out.connection->Open(string.get(), nullptr, nullptr, adOptionUnspecified);
    if (FAILED(out.hr)) {
        out.detail = comDetail(out.hr, out.connection.get());
        out.connection.reset();
    }
    return out;
}

// An open ADO connection to the file the string names; throws volnor::Error naming it.
Com<_ADOConnection> openConnection(const std::string& connectionString, const fs::path& file) {
    Opened opened = openAdo(connectionString);
    if (opened.connection) return std::move(opened.connection);
    if (opened.adoMissing) throw Error(text::adoMissing(file, opened.detail));
    if (isClassMissing(opened.hr)) throw Error(text::providerMissing(file, opened.detail));
    throw Error(text::openFailed(file, opened.detail));
}

// ---- Statements ------------------------------------------------------------------------------

bool isNameByte(char c) {
    return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The statement with every ":name" outside literals and [names] made a "?" marker, which is
// what the provider binds (by position), and the names in the order of their markers.
std::pair<std::string, std::vector<std::string>> withMarkers(std::string_view sql) {
    std::string out;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        const char close = c == '\'' ? '\'' : c == '"' ? '"' : c == '[' ? ']' : '\0';
        if (close != '\0') {
            const std::size_t end = sql.find(close, i + 1);
            const std::size_t next = end == std::string_view::npos ? sql.size() : end + 1;
            out.append(sql.substr(i, next - i));
            i = next;
        } else if (c == ':' && i + 1 < sql.size() && isNameByte(sql[i + 1])) {
            std::size_t end = i + 1;
            while (end < sql.size() && isNameByte(sql[end])) ++end;
            names.emplace_back(sql.substr(i + 1, end - i - 1));
            out += '?';
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return {out, names};
}

class AdoConnection : public db::Connection {
public:
    AdoConnection() = default;
    ~AdoConnection() override { close(); }
    AdoConnection(const AdoConnection&) = delete;
    AdoConnection& operator=(const AdoConnection&) = delete;

    void open(const std::string& connectionString) override {
        close();
        const fs::path file = dataSource(connectionString);
        requireFile(file);
        connection_ = openConnection(connectionString, file);
        file_ = file;
    }

    void close() override {
        if (!connection_) return;
        // A transaction still open is given up, not committed.
        if (inTransaction_) connection_->RollbackTrans();
        inTransaction_ = false;
        connection_->Close();
        connection_.reset();
    }

    bool isOpen() const override { return static_cast<bool>(connection_); }

    void beginTransaction() override {
        long level = 0;
        check(requireOpen()->BeginTrans(&level));
        inTransaction_ = true;
    }

    void commit() override {
        check(requireOpen()->CommitTrans());
        inTransaction_ = false;
    }

    void rollback() override {
        if (!connection_ || !inTransaction_) return;
        inTransaction_ = false;
        check(connection_->RollbackTrans());
    }

    int execute(const std::string& sql,
                const std::map<std::string, std::string>& parameters) override {
        _ADOConnection* connection = requireOpen();
        const auto [statement, names] = withMarkers(sql);
        Com<_ADOCommand> command;
        HRESULT hr = CoCreateInstance(CLSID_CADOCommand, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IADOCommand, command.putVoid());
        if (FAILED(hr)) throw Error(text::adoMissing(file_, comDetail(hr)));
        check(command->putref_ActiveConnection(connection));
        const Bstr commandText(statement);
        check(command->put_CommandText(commandText.get()));
        check(command->put_CommandType(adCmdText));

        Com<ADOParameters> list;
        check(command->get_Parameters(list.put()));
        for (std::size_t k = 0; k < names.size(); ++k) {
            const std::string& name = names[k];
            auto it = parameters.begin();
            while (it != parameters.end() && !equalsAsciiNoCase(it->first, name)) ++it;
            if (it == parameters.end()) throw Error(text::missingParameter(name));
            const std::wstring value = wide(it->second);
            Variant bound;
            (*bound).vt = VT_BSTR;
            (*bound).bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
            // The collection takes a name once; a name used again gets a number.
            const Bstr label(k == 0 ? name : concat(name, "_", std::to_string(k)));
            Com<_ADOParameter> parameter;
            check(command->CreateParameter(label.get(), adVarWChar, adParamInput,
                                           static_cast<long>(value.size() ? value.size() : 1),
                                           *bound, parameter.put()));
            check(list->Append(parameter.get()));
        }

        Variant affected;
        VARIANT none = missingArgument();
        Com<_ADORecordset> rows;
        check(command->Execute(affected.get(), &none,
                               static_cast<long>(adCmdText) | static_cast<long>(adExecuteNoRecords),
                               rows.put()));
        if (SUCCEEDED(VariantChangeType(affected.get(), affected.get(), 0, VT_I4)))
            return static_cast<int>((*affected).lVal);
        return 0;
    }

private:
    _ADOConnection* requireOpen() const {
        if (!connection_) throw Error(text::connectionClosed());
        return connection_.get();
    }

    void check(HRESULT hr) const {
        if (FAILED(hr)) throw Error(text::statementFailed(file_, comDetail(hr, connection_.get())));
    }

    Com<_ADOConnection> connection_;
    fs::path file_;
    bool inTransaction_ = false;
};

// ---- Compaction ------------------------------------------------------------------------------

// A handle on the source that lets readers in and no writer: CreateFileW fails with a sharing
// violation while anyone holds the file open for writing.
HANDLE holdAgainstWriters(const fs::path& file) {
    return CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void removeFiles(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
    fs::path lock = path;
    lock.replace_extension(".ldb");
    fs::remove(lock, ec);
}

class JroCompaction : public db::Compaction {
public:
    explicit JroCompaction(const std::string& sourceConnection)
        : sourceConnection_(sourceConnection), source_(dataSource(sourceConnection)) {
        requireFile(source_);
        // Jet would say "in use" in its own words; whether EPLAN holds it is known beforehand.
        const HANDLE probe = holdAgainstWriters(source_);
        if (probe == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_SHARING_VIOLATION) throw Error(text::sourceBusy(source_));
        } else {
            CloseHandle(probe);
        }
    }
    ~JroCompaction() override { release(); }
    JroCompaction(const JroCompaction&) = delete;
    JroCompaction& operator=(const JroCompaction&) = delete;

    void writeCopy(const std::string& destConnection) override {
        const fs::path copy = dataSource(destConnection);
        std::error_code ec;
        if (fs::exists(fs::symlink_status(copy, ec))) throw Error(text::copyExists(copy));
        try {
            compact(destConnection, copy);
            hold_ = holdAgainstWriters(source_);
            if (hold_ == INVALID_HANDLE_VALUE) {
                const DWORD error = GetLastError();
                if (error == ERROR_SHARING_VIOLATION) throw Error(text::sourceBusy(source_));
                throw Error(text::sourceNotReplaced(source_, lastErrorText(error)));
            }
            sync(copy);
            // The copy opens, with the source's password: Jet finished it.
            const Opened check = openAdo(destConnection);
            if (!check.connection) throw Error(text::copyCheckFailed(copy, source_, check.detail));
            check.connection->Close();
        } catch (const Error&) {
            release();
            removeFiles(copy);
            throw;
        }
    }

    void replaceSource(const fs::path& copy) override {
        const DWORD attributes = GetFileAttributesW(source_.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            throw Error(text::sourceReadOnly(source_));
        // No handle may stay open on a file that another replaces: the hold ends right before.
        release();
        if (!MoveFileExW(copy.c_str(), source_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                error == ERROR_LOCK_VIOLATION)
                throw Error(text::sourceHeldOpen(source_, lastErrorText(error)));
            throw Error(text::sourceNotReplaced(source_, lastErrorText(error)));
        }
    }

private:
    void compact(const std::string& destConnection, const fs::path& destFile) {
        CLSID engineClass;
        HRESULT hr = CLSIDFromProgID(L"JRO.JetEngine", &engineClass);
        if (FAILED(hr)) throw Error(text::engineMissing(source_, comDetail(hr)));
        Com<IJetEngine> engine;
        hr = CoCreateInstance(engineClass, nullptr, CLSCTX_INPROC_SERVER, IID_IJetEngine,
                              engine.putVoid());
        if (FAILED(hr)) {
            const std::string detail = comDetail(hr);
            if (isClassMissing(hr)) throw Error(text::engineMissing(source_, detail));
            throw Error(text::copyNotWritten(destFile, source_, detail));
        }
        const Bstr from(sourceConnection_);
        const Bstr to(destConnection);
        hr = engine->CompactDatabase(from.get(), to.get());
        if (FAILED(hr)) {
            const std::string detail = comDetail(hr);
            if (isClassMissing(hr)) throw Error(text::providerMissing(source_, detail));
            throw Error(text::copyNotWritten(destFile, source_, detail));
        }
    }

    void sync(const fs::path& copy) const {
        const HANDLE file = CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool ok = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
        const DWORD error = GetLastError();
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (!ok) throw Error(text::copyNotSynced(copy, source_, lastErrorText(error)));
    }

    void release() {
        if (hold_ != INVALID_HANDLE_VALUE) CloseHandle(hold_);
        hold_ = INVALID_HANDLE_VALUE;
    }

    std::string sourceConnection_;
    fs::path source_;
    HANDLE hold_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<db::Connection> AdoEngine::connection() {
    return std::make_unique<AdoConnection>();
}

std::unique_ptr<db::Compaction> AdoEngine::compaction(const std::string& sourceConnection) {
    return std::make_unique<JroCompaction>(sourceConnection);
}

void AdoEngine::removeDatabaseFiles(const fs::path& path) { removeFiles(path); }

}  // namespace volnor::win32
