#pragma once
// The maker's side of the update signature: a P-256 key pair, and the signature of an archive
// in the form the program checks (base64 of r || s over the SHA-256 of the file's bytes).
#include <filesystem>
#include <string>

namespace volnor::sign {

struct KeyPair {
    std::string privatePem;  // PKCS #8, unencrypted: the maker keeps it to himself
    std::string publicKey;   // base64 of the uncompressed point: VOLNOR_UPDATE_KEY
};

// Throw std::runtime_error with the reason.
KeyPair makeKeyPair();
std::string signFile(const std::string& privatePem, const std::filesystem::path& file);

}  // namespace volnor::sign
