#pragma once
// INI files with the platform's private-profile rules (GetPrivateProfileString and
// WritePrivateProfileString on Windows, a reader and writer of the project's own elsewhere).
#include <filesystem>
#include <string>
#include <utility>

namespace volnor {

class IniFiles {
public:
    virtual ~IniFiles() = default;
    // A missing or unreadable file, section or key gives def.
    virtual std::string readString(const std::filesystem::path& file, const std::string& section,
                                   const std::string& key, const std::string& def) const = 0;
    // Creates the file and the section when missing; the file is replaced whole, so a failure
    // leaves it as it was. Throws volnor::Error "Unable to write to <path>".
    virtual void writeString(const std::filesystem::path& file, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

// One INI file by its path (TIniFile). Opening reads nothing; every read reads the file again.
class IniFile {
public:
    IniFile(IniFiles& files, std::filesystem::path path)
        : files_(&files), path_(std::move(path)) {}
    const std::filesystem::path& path() const { return path_; }
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def = {}) const {
        return files_->readString(path_, section, key, def);
    }
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) {
        files_->writeString(path_, section, key, value);
    }

private:
    IniFiles* files_;
    std::filesystem::path path_;
};

}  // namespace volnor
