#pragma once
#include "platform/signature.h"

namespace volnor::win32 {

// The check with the system's CNG (bcrypt): the key imported as an ECC public blob, the file's
// SHA-256 verified against r || s as CNG takes it.
class CngSignatureCheck : public SignatureCheck {
public:
    SignatureVerdict verify(std::string_view publicKey, const std::filesystem::path& file,
                            std::string_view signature) const override;
};

}  // namespace volnor::win32
