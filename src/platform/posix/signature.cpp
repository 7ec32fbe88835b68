#include "platform/posix/signature.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <fstream>
#include <memory>
#include <vector>

#include "platform/posix/openssl_handles.h"

namespace volnor::posix {

namespace {

using namespace openssl;

const unsigned char* bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// The public key of P-256 at the uncompressed point; nothing when it is none of its points.
Key publicKeyOf(std::string_view point) {
    if (point.size() != SignatureCheck::kPublicKeySize || point[0] != 0x04) return nullptr;
    const KeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!context || EVP_PKEY_fromdata_init(context.get()) != 1) return nullptr;
    char group[] = "P-256";
    std::vector<unsigned char> octets(bytes(point), bytes(point) + point.size());
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
        OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, octets.data(), octets.size()),
        OSSL_PARAM_construct_end(),
    };
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY,
                          const_cast<OSSL_PARAM*>(params)) != 1)
        return nullptr;
    Key owned(key);
    // fromdata takes a point off the curve; the public check refuses it.
    const KeyContext check(EVP_PKEY_CTX_new_from_pkey(nullptr, owned.get(), nullptr));
    if (!check || EVP_PKEY_public_check(check.get()) != 1) return nullptr;
    return owned;
}

// r || s as the DER structure that OpenSSL verifies.
std::vector<unsigned char> derOf(std::string_view signature) {
    const std::size_t half = SignatureCheck::kSignatureSize / 2;
    Sig sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(bytes(signature), static_cast<int>(half), nullptr);
    BIGNUM* s = BN_bin2bn(bytes(signature) + half, static_cast<int>(half), nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return {};
    }
    unsigned char* der = nullptr;
    const int size = i2d_ECDSA_SIG(sig.get(), &der);
    if (size <= 0) return {};
    std::vector<unsigned char> out(der, der + size);
    OPENSSL_free(der);
    return out;
}

}  // namespace

SignatureVerdict OpenSslSignatureCheck::verify(std::string_view publicKey,
                                               const std::filesystem::path& file,
                                               std::string_view signature) const {
    const Key key = publicKeyOf(publicKey);
    if (!key) return SignatureVerdict::BadKey;
    std::ifstream in(file, std::ios::binary);
    if (!in) return SignatureVerdict::Unreadable;
    if (signature.size() != kSignatureSize) return SignatureVerdict::Wrong;
    const std::vector<unsigned char> der = derOf(signature);
    const DigestContext context(EVP_MD_CTX_new());
    if (der.empty() || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        return SignatureVerdict::Wrong;
    // Read in pieces: an update archive may be large.
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.gcount() > 0 && EVP_DigestVerifyUpdate(context.get(), buffer.data(),
                                                      static_cast<std::size_t>(in.gcount())) != 1)
            return SignatureVerdict::Wrong;
    }
    if (!in.eof()) return SignatureVerdict::Unreadable;
    return EVP_DigestVerifyFinal(context.get(), der.data(), der.size()) == 1
               ? SignatureVerdict::Good
               : SignatureVerdict::Wrong;
}

}  // namespace volnor::posix
