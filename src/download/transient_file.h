#pragma once
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "transfer/http_client.h"

namespace volnor {

// A file that lives only for a download (an archive, an unpack script): written under a name of
// its own beside its final path ("<name>.XXXXXX.part", which no script and no mask of the
// archives or EDZ files matches) and given its final name with one rename, which replaces a file
// of that name. Nothing is synced: a crash loses only what the next download makes again, and
// the download command removes the files aside that a crash left (transientFinalName tells
// them). An uncommitted file is removed when the object goes.
class TransientFile : public ByteSink {
public:
    explicit TransientFile(std::filesystem::path path);
    ~TransientFile() override;
    TransientFile(const TransientFile&) = delete;
    TransientFile& operator=(const TransientFile&) = delete;

    // Creates the file aside, with the permissions of a plain new file.
    bool open();
    bool write(std::string_view bytes) override;
    // Closes the file and renames it to the final path; on failure it is removed.
    bool commit();
    // Removes what was written.
    void discard();
    // Why the last step failed.
    std::string errorText() const override { return error_; }

private:
    std::filesystem::path path_;
    std::filesystem::path aside_;  // empty until open() has created it
    std::FILE* file_ = nullptr;
    std::string error_;
};

// The final name that a TransientFile's file aside stands for ("a.zip.Xy12z9.part" -> "a.zip"),
// or nothing when the name is none that TransientFile makes.
std::optional<std::string_view> transientFinalName(std::string_view asideName);

}  // namespace volnor
