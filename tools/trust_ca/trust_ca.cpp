#include "trust_ca.h"

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace volnor::tools {

void trustCa(const std::string& pem) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        throw std::runtime_error("the test CA is no PEM certificate");
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
        throw std::runtime_error("the test CA is no PEM certificate");
    // No dialog under Wine; the store is kept in the prefix's registry.
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT");
    if (!store) throw std::runtime_error("the root store cannot be opened");
    const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added)
        throw std::runtime_error("the test CA was not added to the root store (error " +
                                 std::to_string(error) + ")");
}

}  // namespace volnor::tools
