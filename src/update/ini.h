#pragma once
// INI files with the platform's private-profile rules. QSettings' INI rules differ (comments,
// escapes, quoting, its own encoding), so the program has this small reader and writer.
//
// The rules: section and key names match without regard to letter case, Cyrillic too; only the
// first section of a name is searched and the first key of a name in it wins, even with an empty
// value. A section line is "[" (after blanks) up to the last "]" of the line, its name trimmed;
// "[X" without "]" starts no section. Keys before the first section belong to none. A line
// without "=" is no key; its name is the text before the first "=", trimmed. ";" and "#" start
// no comment. A value is the text after the first "=", up to a NUL, without surrounding blanks
// (spaces and tabs), without one pair of matching double or single quotes around the whole of
// it, at most 2047 characters. CR LF, LF and CR each end a line. The text is Windows-1251, or
// UTF-16 when the file begins with its byte-order mark (little- or big-endian); a UTF-8 mark is
// not recognised.
#include <QByteArray>
#include <QString>
#include <optional>

namespace volnor {

inline constexpr int kIniValueLimit = 2047;

// The value of key in section, read from the bytes of a whole file; nothing when the section or
// the key is missing.
std::optional<QString> iniValue(const QByteArray& content, const QString& section,
                                const QString& key);

// The bytes of the file with key set to value: the key's line is replaced where it stands, or a
// line is added at the end of its section, or the section is added at the end of the file. Every
// other line keeps its bytes. Nothing when the value cannot be written in the file's encoding.
std::optional<QByteArray> iniWithValue(const QByteArray& content, const QString& section,
                                       const QString& key, const QString& value);

// One INI file by its path (TIniFile). Opening reads nothing; every read reads the file again.
class IniFile {
public:
    explicit IniFile(QString path) : path_(std::move(path)) {}
    QString path() const { return path_; }

    // A missing or unreadable file, section or key gives def.
    QString ReadString(const QString& section, const QString& key, const QString& def = {}) const;
    // Creates the file and the section when missing. The file is replaced whole (a synced
    // temporary file beside it, then a rename), so a failure leaves it as it was. Throws
    // volnor::Error "Unable to write to <path>".
    void WriteString(const QString& section, const QString& key, const QString& value);

private:
    QString path_;
};

}  // namespace volnor
