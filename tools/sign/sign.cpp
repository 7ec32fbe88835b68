#include "sign/sign.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/base64.h"
#include "platform/posix/openssl_handles.h"

namespace volnor::sign {

namespace {

using namespace openssl;

[[noreturn]] void fail(const std::string& what) {
    std::string text = what;
    if (const unsigned long code = ERR_get_error()) {
        char reason[256];
        ERR_error_string_n(code, reason, sizeof reason);
        (text += ": ") += reason;
    }
    ERR_clear_error();
    throw std::runtime_error(text);
}

constexpr std::size_t kHalf = 32;

}  // namespace

KeyPair makeKeyPair() {
    const Key key(EVP_EC_gen("P-256"));
    if (!key) fail("cannot make a P-256 key");
    KeyPair pair;
    const Bio out(BIO_new(BIO_s_mem()));
    if (!out ||
        PEM_write_bio_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        fail("cannot write the private key");
    char* data = nullptr;
    const long size = BIO_get_mem_data(out.get(), &data);
    pair.privatePem.assign(data, static_cast<std::size_t>(size));

    unsigned char point[2 * kHalf + 1];
    std::size_t length = 0;
    if (EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point,
                                        &length) != 1 ||
        length != sizeof point || point[0] != 0x04)
        fail("cannot read the public key");
    pair.publicKey = encodeBase64({reinterpret_cast<const char*>(point), length});
    return pair;
}

std::string signFile(const std::string& privatePem, const std::filesystem::path& file) {
    const Bio in(BIO_new_mem_buf(privatePem.data(), static_cast<int>(privatePem.size())));
    const Key key(in ? PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key) fail("cannot read the private key");
    if (!EVP_PKEY_is_a(key.get(), "EC") || EVP_PKEY_get_bits(key.get()) != 256)
        fail("the private key is no P-256 key");

    std::ifstream archive(file, std::ios::binary);
    if (!archive) fail(file.string() + ": cannot open it");
    const DigestContext context(EVP_MD_CTX_new());
    if (!context ||
        EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        fail("cannot start the signature");
    std::vector<char> buffer(1 << 16);
    while (archive) {
        archive.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (archive.gcount() > 0 &&
            EVP_DigestSignUpdate(context.get(), buffer.data(),
                                 static_cast<std::size_t>(archive.gcount())) != 1)
            fail("cannot sign");
    }
    if (!archive.eof()) fail(file.string() + ": cannot read it");
    std::size_t size = 0;
    if (EVP_DigestSignFinal(context.get(), nullptr, &size) != 1) fail("cannot sign");
    std::vector<unsigned char> der(size);
    if (EVP_DigestSignFinal(context.get(), der.data(), &size) != 1) fail("cannot sign");

    // OpenSSL writes the DER structure; the program takes r and s of 32 bytes each.
    const unsigned char* p = der.data();
    const Sig sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(size)));
    if (!sig) fail("cannot read the signature");
    unsigned char rs[2 * kHalf];
    if (BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), rs, kHalf) != kHalf ||
        BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), rs + kHalf, kHalf) != kHalf)
        fail("cannot write the signature");
    return encodeBase64({reinterpret_cast<const char*>(rs), sizeof rs});
}

}  // namespace volnor::sign
