#include "platform/win32/cng_signature.h"

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace volnor::win32 {

namespace {

// ---- P-256 membership -------------------------------------------------------------------------
// CNG under Wine imports a point that is off the curve (and then only fails to verify), so the
// key is checked here: 0 <= x, y < p and y^2 = x^3 - 3x + b (mod p). Numbers are eight 32-bit
// limbs, least significant first; the few operations run once per check, so plain shift-and-add
// multiplication is quick enough.
using Limbs = std::array<std::uint32_t, 8>;

constexpr Limbs kP = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0x00000000,
                      0x00000000, 0x00000000, 0x00000001, 0xFFFFFFFF};
constexpr Limbs kB = {0x27D2604B, 0x3BCE3C3E, 0xCC53B0F6, 0x651D06B0,
                      0x769886BC, 0xB3EBBD55, 0xAA3A93E7, 0x5AC635D8};

Limbs fromBigEndian(const unsigned char* bytes) {
    Limbs out{};
    for (int i = 0; i < 8; ++i) {
        const unsigned char* b = bytes + 28 - 4 * i;
        out[i] = std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 |
                 std::uint32_t{b[3]};
    }
    return out;
}

bool lessThan(const Limbs& a, const Limbs& b) {
    for (int i = 7; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i];
    return false;
}

// a + b and a - b, both modulo 2^256.
Limbs plus(const Limbs& a, const Limbs& b, bool& carry) {
    Limbs out{};
    std::uint64_t c = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t s = std::uint64_t{a[i]} + b[i] + c;
        out[i] = static_cast<std::uint32_t>(s);
        c = s >> 32;
    }
    carry = c != 0;
    return out;
}

Limbs minus(const Limbs& a, const Limbs& b) {
    Limbs out{};
    std::uint64_t borrow = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t d = std::uint64_t{a[i]} - b[i] - borrow;
        out[i] = static_cast<std::uint32_t>(d);
        borrow = (d >> 63) & 1;
    }
    return out;
}

// The same modulo p, for a, b < p.
Limbs addMod(const Limbs& a, const Limbs& b) {
    bool carry = false;
    const Limbs sum = plus(a, b, carry);
    return carry || !lessThan(sum, kP) ? minus(sum, kP) : sum;
}

Limbs subMod(const Limbs& a, const Limbs& b) {
    bool carry = false;
    return lessThan(a, b) ? minus(plus(a, kP, carry), b) : minus(a, b);
}

// (a * b) mod p, for a, b < p: the bits of b from the top, doubling and adding.
Limbs mulMod(const Limbs& a, const Limbs& b) {
    Limbs r{};
    for (int i = 255; i >= 0; --i) {
        r = addMod(r, r);
        if ((b[i / 32] >> (i % 32)) & 1) r = addMod(r, a);
    }
    return r;
}

// point: X then Y, 32 bytes each, big-endian.
bool onP256(const unsigned char* point) {
    const Limbs x = fromBigEndian(point);
    const Limbs y = fromBigEndian(point + 32);
    if (!lessThan(x, kP) || !lessThan(y, kP)) return false;
    const Limbs threeX = addMod(addMod(x, x), x);
    const Limbs rhs = subMod(addMod(mulMod(mulMod(x, x), x), kB), threeX);
    return mulMod(y, y) == rhs;
}

// ---- CNG handles ------------------------------------------------------------------------------

struct Algorithm {
    BCRYPT_ALG_HANDLE handle = nullptr;
    explicit Algorithm(LPCWSTR id) {
        if (BCryptOpenAlgorithmProvider(&handle, id, nullptr, 0) != 0) handle = nullptr;
    }
    ~Algorithm() {
        if (handle) BCryptCloseAlgorithmProvider(handle, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
};

struct Key {
    BCRYPT_KEY_HANDLE handle = nullptr;
    Key() = default;
    ~Key() {
        if (handle) BCryptDestroyKey(handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
};

struct Hash {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~Hash() {
        if (handle) BCryptDestroyHash(handle);
    }
};

PUCHAR bytes(std::string_view text) {
    return reinterpret_cast<PUCHAR>(const_cast<char*>(text.data()));
}

}  // namespace

SignatureVerdict CngSignatureCheck::verify(std::string_view publicKey,
                                           const std::filesystem::path& file,
                                           std::string_view signature) const {
    if (publicKey.size() != kPublicKeySize || publicKey[0] != 0x04 ||
        !onP256(reinterpret_cast<const unsigned char*>(publicKey.data()) + 1))
        return SignatureVerdict::BadKey;
    const Algorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    // The blob: its header, then X and Y as in the point.
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + kPublicKeySize - 1);
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, publicKey.data() + 1, kPublicKeySize - 1);
    Key key;
    if (!ecdsa.handle ||
        BCryptImportKeyPair(ecdsa.handle, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key.handle, blob.data(),
                            static_cast<ULONG>(blob.size()), 0) != 0)
        return SignatureVerdict::BadKey;

    std::ifstream in(file, std::ios::binary);
    if (!in) return SignatureVerdict::Unreadable;
    const Algorithm sha256(BCRYPT_SHA256_ALGORITHM);
    Hash hash;
    if (!sha256.handle ||
        BCryptCreateHash(sha256.handle, &hash.handle, nullptr, 0, nullptr, 0, 0) != 0)
        return SignatureVerdict::Wrong;
    // Read in pieces: an update archive may be large.
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<ULONG>(in.gcount());
        if (got > 0 &&
            BCryptHashData(hash.handle, reinterpret_cast<PUCHAR>(buffer.data()), got, 0) != 0)
            return SignatureVerdict::Wrong;
    }
    if (!in.eof()) return SignatureVerdict::Unreadable;
    unsigned char digest[32];
    if (BCryptFinishHash(hash.handle, digest, sizeof digest, 0) != 0)
        return SignatureVerdict::Wrong;
    if (signature.size() != kSignatureSize) return SignatureVerdict::Wrong;
    return BCryptVerifySignature(key.handle, nullptr, digest, sizeof digest, bytes(signature),
                                 static_cast<ULONG>(signature.size()), 0) == 0
               ? SignatureVerdict::Good
               : SignatureVerdict::Wrong;
}

}  // namespace volnor::win32
