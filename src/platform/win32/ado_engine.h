#pragma once
// The parts-database provider and the compaction engine on Windows: ADO over the Jet 4.0 OLE DB
// provider ("Microsoft.Jet.OLEDB.4.0", 32-bit only) and JRO's JetEngine. COM must be
// initialised on the calling thread; the window's thread is a single-threaded apartment.
#include <filesystem>
#include <memory>
#include <string>

#include "platform/database.h"

namespace volnor::win32 {

// The hold of a compaction: Jet opens the source exclusively while it reads it, and no handle
// of ours may be open then, or Jet could not. So the compaction first makes sure that no program
// holds the source open for writing, leaves it to Jet during the copy, and from the end of the
// copy keeps a handle on it that lets no writer in. That handle must close right before the one
// MoveFileExW that puts the copy in place, which Windows refuses while anyone holds the source.
class AdoEngine : public db::Engine {
public:
    std::unique_ptr<db::Connection> connection() override;
    std::unique_ptr<db::Compaction> compaction(const std::string& sourceConnection) override;
    // The file and the lock file ("name.ldb") Jet keeps beside it.
    void removeDatabaseFiles(const std::filesystem::path& path) override;
};

}  // namespace volnor::win32
