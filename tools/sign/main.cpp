// volnor-sign: the maker's key pair and the signatures of update archives.
//   volnor-sign keygen PRIVATE PUBLIC   writes a new key pair; PUBLIC holds VOLNOR_UPDATE_KEY
//   volnor-sign sign PRIVATE ARCHIVE    prints the archive's SIGNATURE for eplan-config.ini
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "sign/sign.h"

namespace {

int usage() {
    std::cerr << "usage: volnor-sign keygen PRIVATE PUBLIC\n"
                 "       volnor-sign sign PRIVATE ARCHIVE\n";
    return 2;
}

// A new file only: an existing key is never written over.
void writeNew(const std::string& file, const std::string& text, mode_t mode) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    std::FILE* out = fd < 0 ? nullptr : ::fdopen(fd, "w");
    if (!out) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error(file + ": cannot create it (does it exist already?)");
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) throw std::runtime_error(file + ": cannot write it");
}

std::string readAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error(file + ": cannot open it");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return usage();
    const std::string command = argv[1];
    try {
        if (command == "keygen") {
            const volnor::sign::KeyPair pair = volnor::sign::makeKeyPair();
            writeNew(argv[2], pair.privatePem, 0600);
            writeNew(argv[3], pair.publicKey + "\n", 0644);
        } else if (command == "sign") {
            std::cout << volnor::sign::signFile(readAll(argv[2]), argv[3]) << '\n';
        } else {
            return usage();
        }
    } catch (const std::exception& e) {
        std::cerr << "volnor-sign: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
