#pragma once
#include <QString>
#include <QTemporaryFile>

namespace volnor {

// A file that lives only for a download (an archive, an unpack script): written under a name of
// its own beside its final path ("<name>.XXXXXX.part", which no script and no arrangement mask
// uses) and given its final name with one rename, which replaces a file of that name. Nothing is
// synced: a crash loses only what the next download makes again. An uncommitted file is removed
// when the object goes.
class TransientFile {
public:
    explicit TransientFile(const QString& path);
    ~TransientFile();
    TransientFile(const TransientFile&) = delete;
    TransientFile& operator=(const TransientFile&) = delete;

    bool open();
    QIODevice& device() { return file_; }
    // Closes the file and renames it to the final path; on failure it is removed.
    bool commit();
    // Removes what was written.
    void discard();
    QString errorString() const { return error_; }

private:
    QString path_;
    QTemporaryFile file_;
    QString error_;
};

}  // namespace volnor
