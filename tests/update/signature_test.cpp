// The update archive's signature: the base64 reader, the OpenSSL check against signatures made by
// the maker's tool, and what the self-update makes of each answer.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/base64.h"
#include "platform/posix/signature.h"
#include "platform/text.h"
#include "sign/sign.h"
#include "support/files.h"
#include "update/self_update.h"

namespace volnor::test {
namespace {

TEST(Base64, ReadsOnlyTheOneTextTheWriterMakes) {
    struct Case {
        const char* text;
        std::optional<std::string> bytes;
    };
    const Case cases[] = {
        {"", std::string()},
        {"TWFu", std::string("Man")},
        {"TWE=", std::string("Ma")},
        {"TQ==", std::string("M")},
        {"/+8=", std::string("\xff\xef")},
        {"TR==", std::nullopt},    // bits left over after the last byte
        {"TWF", std::nullopt},     // no multiple of 4
        {"TWFuTQ", std::nullopt},  // padding left out
        {"TQ=A", std::nullopt},    // padding inside
        {"T===", std::nullopt},
        {"====", std::nullopt},
        {"TW Fu", std::nullopt},
        {"TWFu\r\n", std::nullopt},
        {"TW-_", std::nullopt},  // the URL alphabet
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeBase64(c.text), c.bytes) << c.text;
        if (c.bytes) {
            EXPECT_EQ(encodeBase64(*c.bytes), c.text);
        }
    }
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(decodeBase64(encodeBase64(all)), all);
}

class Signature : public ::testing::Test {
protected:
    // The archive's bytes as a file of the test's folder.
    fs::path archive(const std::string& name, const std::string& bytes) const {
        writeFile(dir_.file(name), bytes);
        return dir_.file(name);
    }
    std::string sign(const fs::path& file) const { return sign::signFile(maker_.privatePem, file); }

    TempDir dir_;
    const sign::KeyPair maker_ = sign::makeKeyPair();
    const std::string key_ = *decodeBase64(maker_.publicKey);
    const posix::OpenSslSignatureCheck check_;
};

TEST_F(Signature, TheKeyToolMakesAPointAndSignaturesOfP256) {
    EXPECT_EQ(key_.size(), SignatureCheck::kPublicKeySize);
    EXPECT_EQ(key_[0], '\x04');
    const fs::path file = archive("update.7z", "program");
    const std::optional<std::string> signature = decodeBase64(sign(file));
    ASSERT_TRUE(signature.has_value());
    EXPECT_EQ(signature->size(), SignatureCheck::kSignatureSize);
    // ECDSA signs with a random number each time: two signatures differ, both hold.
    EXPECT_NE(sign(file), sign(file));
    EXPECT_EQ(check_.verify(key_, file, *decodeBase64(sign(file))), SignatureVerdict::Good);
    EXPECT_NE(sign::makeKeyPair().publicKey, maker_.publicKey);
    EXPECT_THROW(sign::signFile("not a key", file), std::runtime_error);
    EXPECT_THROW(sign(dir_.file("missing.7z")), std::runtime_error);
}

TEST_F(Signature, TheCheckHoldsOnlyForTheSignedBytesTheKeyAndTheFile) {
    const std::string bytes(100000, 'u');
    const fs::path signedFile = archive("update.7z", bytes);
    const std::string good = *decodeBase64(sign(signedFile));
    std::string changed = bytes;
    changed[77777] = 'v';
    const std::string other = *decodeBase64(sign(archive("other.7z", "another archive")));
    const std::string stranger = *decodeBase64(sign::makeKeyPair().publicKey);
    std::string offCurve = key_;
    offCurve[64] = static_cast<char>(offCurve[64] ^ 1);
    std::string flipped = good;
    flipped[10] = static_cast<char>(flipped[10] ^ 1);
    const std::string zero(SignatureCheck::kSignatureSize, '\0');

    struct Case {
        const char* what;
        std::string key;
        fs::path file;
        std::string signature;
        SignatureVerdict verdict;
    };
    const Case cases[] = {
        {"good", key_, signedFile, good, SignatureVerdict::Good},
        {"one byte changed", key_, archive("changed.7z", changed), good, SignatureVerdict::Wrong},
        {"cut short", key_, archive("cut.7z", bytes.substr(1)), good, SignatureVerdict::Wrong},
        {"another archive's signature", key_, signedFile, other, SignatureVerdict::Wrong},
        {"a bit of the signature changed", key_, signedFile, flipped, SignatureVerdict::Wrong},
        {"zeros", key_, signedFile, zero, SignatureVerdict::Wrong},
        {"a signature too short", key_, signedFile, good.substr(1), SignatureVerdict::Wrong},
        {"another maker's key", stranger, signedFile, good, SignatureVerdict::Wrong},
        {"a key off the curve", offCurve, signedFile, good, SignatureVerdict::BadKey},
        {"a compressed key", key_.substr(0, 33), signedFile, good, SignatureVerdict::BadKey},
        {"no key", "", signedFile, good, SignatureVerdict::BadKey},
        {"no file", key_, dir_.file("missing.7z"), good, SignatureVerdict::Unreadable},
        {"a folder", key_, dir_.path(), good, SignatureVerdict::Unreadable},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check_.verify(c.key, c.file, c.signature), c.verdict) << c.what;
}

TEST_F(Signature, TheSelfUpdateNamesWhyAnArchiveIsRefused) {
    const fs::path file = archive("update.7z", "program");
    const std::string good = sign(file);
    const std::string other = sign(archive("other.7z", "other"));
    struct Case {
        const char* what;
        std::string key;
        std::string signature;
        std::optional<std::string> problem;
    };
    const Case cases[] = {
        {"good", maker_.publicKey, good, std::nullopt},
        {"a build without a key", "", "", std::nullopt},
        {"a build without a key, a signature that is none", "", "nonsense", std::nullopt},
        {"no signature", maker_.publicKey, "", "в конфигурации нет подписи архива обновления"},
        {"no base64", maker_.publicKey, "nonsense!",
         "подпись архива обновления в конфигурации повреждена"},
        {"base64 of another length", maker_.publicKey, encodeBase64("0123456789"),
         "подпись архива обновления в конфигурации повреждена"},
        {"another archive's", maker_.publicKey, other,
         "подпись архива обновления не совпадает: архив не от производителя или изменён"},
        {"a key that is none", "AAAA", good, "ключ проверки подписи в программе неверен"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(update::signatureProblem(check_, c.key, c.signature, file), c.problem) << c.what;
    EXPECT_EQ(update::signatureProblem(check_, maker_.publicKey, good, dir_.file("gone.7z")),
              "не удалось прочитать архив обновления «" + utf8Of(dir_.file("gone.7z")) + "»");
}

}  // namespace
}  // namespace volnor::test
