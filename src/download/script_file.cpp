#include "download/script_file.h"

#include "download/transient_file.h"
#include "platform/ansi_codec.h"
#include "platform/error.h"
#include "platform/text.h"

namespace volnor {

void writeScript(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    const auto fail = [&path](const std::string& reason) {
        throw Error("Cannot create file \"" + utf8Of(path) + "\". " + reason);
    };
    std::string bytes;
    for (const std::string& line : lines) {
        const auto ansi = utf8ToAnsi(line);
        if (!ansi) fail("The line \"" + line + "\" has a character outside code page 1251.");
        bytes += *ansi;
        bytes += "\r\n";
    }
    // Written aside and renamed into place, so a failed write never leaves half a script.
    TransientFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit()) fail(file.errorText());
}

std::vector<std::string> unpackScript(std::string_view shortweb) {
    const std::string name(shortweb);
    return {
        "cd 7z\\",
        "7z.exe x -r ..\\" + name + " -o..\\ -y",
        "cd ..\\",
        "del " + name,
    };
}

}  // namespace volnor
