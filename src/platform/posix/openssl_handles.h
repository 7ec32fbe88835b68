#pragma once
// OpenSSL's objects owned by unique_ptr, freed by their own free functions. For the .cpp files
// of the signature check and the signing tool only: it shows OpenSSL's types.
#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

#include <memory>

namespace volnor::openssl {

template <auto Free>
struct Deleter {
    template <class T>
    void operator()(T* p) const {
        Free(p);
    }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>>;
using Sig = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free>>;

}  // namespace volnor::openssl
