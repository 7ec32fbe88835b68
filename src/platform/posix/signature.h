#pragma once
#include "platform/signature.h"

namespace volnor::posix {

// The check with OpenSSL's libcrypto.
class OpenSslSignatureCheck : public SignatureCheck {
public:
    SignatureVerdict verify(std::string_view publicKey, const std::filesystem::path& file,
                            std::string_view signature) const override;
};

}  // namespace volnor::posix
