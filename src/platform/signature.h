#pragma once
// The check of a file's signature by the maker: ECDSA on the curve P-256 over the SHA-256 of the
// file's bytes, with the platform's own crypto library.
#include <cstddef>
#include <filesystem>
#include <string_view>

namespace volnor {

enum class SignatureVerdict {
    Good,        // the signature was made over this file with the key's private half
    Wrong,       // it was not
    BadKey,      // the public key is no point of P-256
    Unreadable,  // the file cannot be read
};

class SignatureCheck {
public:
    // The key's size: the uncompressed point, 0x04 then X and Y of 32 bytes each.
    static constexpr std::size_t kPublicKeySize = 65;
    // The signature's size: r then s, 32 bytes each, big-endian.
    static constexpr std::size_t kSignatureSize = 64;

    virtual ~SignatureCheck() = default;
    // publicKey and signature are raw bytes of the sizes above; another size is BadKey or Wrong.
    virtual SignatureVerdict verify(std::string_view publicKey, const std::filesystem::path& file,
                                    std::string_view signature) const = 0;
};

}  // namespace volnor
