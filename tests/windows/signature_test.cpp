// The update archive's signature checked by the system's CNG against signatures made as the
// maker makes them (OpenSSL: ECDSA P-256 over SHA-256, r || s in base64), and what the
// self-update makes of each answer.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base64.h"
#include "platform/text.h"
#include "platform/win32/cng_signature.h"
#include "support/servers.h"
#include "update/self_update.h"

namespace volnor::wintest {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;
using test::fs::path;

const std::string kSigner = VOLNOR_TESTS_DIR "/servers/sign_archive.py";

// One key pair of the maker for all the tests (the openssl command makes it in a Linux process).
class CngSignature : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        keys_ = std::make_unique<TempDir>();
        runUntil({"/usr/bin/python3", kSigner, "keygen", unixPath(keys_->path())},
                 keys_->file("maker.pub"));
    }
    static void TearDownTestSuite() { keys_.reset(); }

    static std::string makerKey() {
        return std::string(trimmed(readFile(keys_->file("maker.pub"))));
    }

    path archive(const std::string& name, const std::string& bytes) const {
        writeFile(dir_.file(name), bytes);
        return dir_.file(name);
    }
    // The base64 signature of the file, as the configuration carries it.
    std::string sign(const path& file) const {
        const path out = dir_.file(utf8Of(file.filename()) + ".sig." + std::to_string(++signs_));
        runUntil({"/usr/bin/python3", kSigner, "sign", unixPath(keys_->file("maker.key")),
                  unixPath(file), unixPath(out)},
                 out);
        return std::string(trimmed(readFile(out)));
    }
    // Another maker's public key.
    std::string strangerKey() const {
        const TempDir other;
        runUntil({"/usr/bin/python3", kSigner, "keygen", unixPath(other.path())},
                 other.file("maker.pub"));
        return std::string(trimmed(readFile(other.file("maker.pub"))));
    }

    static std::unique_ptr<TempDir> keys_;
    TempDir dir_;
    mutable int signs_ = 0;
    const win32::CngSignatureCheck check_;
};

std::unique_ptr<TempDir> CngSignature::keys_;

TEST_F(CngSignature, TheCheckHoldsOnlyForTheSignedBytesTheKeyAndTheFile) {
    const std::string key = *decodeBase64(makerKey());
    ASSERT_EQ(key.size(), SignatureCheck::kPublicKeySize);
    const std::string bytes(100000, 'u');
    const path signedFile = archive("update.7z", bytes);
    const std::string good = *decodeBase64(sign(signedFile));
    ASSERT_EQ(good.size(), SignatureCheck::kSignatureSize);
    std::string changed = bytes;
    changed[77777] = 'v';
    const std::string other = *decodeBase64(sign(archive("other.7z", "another archive")));
    const std::string stranger = *decodeBase64(strangerKey());
    std::string offCurve = key;
    offCurve[64] = static_cast<char>(offCurve[64] ^ 1);
    std::string flipped = good;
    flipped[10] = static_cast<char>(flipped[10] ^ 1);
    const std::string zero(SignatureCheck::kSignatureSize, '\0');
    // X = p: no number of the field P-256 is over.
    std::string outOfField = key;
    outOfField.replace(
        1, 32,
        std::string("\xff\xff\xff\xff\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00"
                    "\x00\x00\x00\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff",
                    32));

    struct Case {
        const char* what;
        std::string key;
        path file;
        std::string signature;
        SignatureVerdict verdict;
    };
    const Case cases[] = {
        {"good", key, signedFile, good, SignatureVerdict::Good},
        {"one byte changed", key, archive("changed.7z", changed), good, SignatureVerdict::Wrong},
        {"cut short", key, archive("cut.7z", bytes.substr(1)), good, SignatureVerdict::Wrong},
        {"another archive's signature", key, signedFile, other, SignatureVerdict::Wrong},
        {"a bit of the signature changed", key, signedFile, flipped, SignatureVerdict::Wrong},
        {"zeros", key, signedFile, zero, SignatureVerdict::Wrong},
        {"a signature too short", key, signedFile, good.substr(1), SignatureVerdict::Wrong},
        {"another maker's key", stranger, signedFile, good, SignatureVerdict::Wrong},
        // CNG under Wine takes such a key and only fails to verify; the check refuses it first.
        {"a key off the curve", offCurve, signedFile, good, SignatureVerdict::BadKey},
        {"a coordinate out of the field", outOfField, signedFile, good, SignatureVerdict::BadKey},
        {"a compressed key", key.substr(0, 33), signedFile, good, SignatureVerdict::BadKey},
        {"no key", "", signedFile, good, SignatureVerdict::BadKey},
        {"no file", key, dir_.file("missing.7z"), good, SignatureVerdict::Unreadable},
        {"a folder", key, dir_.path(), good, SignatureVerdict::Unreadable},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check_.verify(c.key, c.file, c.signature), c.verdict) << c.what;
}

TEST_F(CngSignature, TheSelfUpdateNamesWhyAnArchiveIsRefused) {
    const path file = archive("update.7z", "program");
    const std::string good = sign(file);
    const std::string other = sign(archive("other.7z", "other"));
    const std::string maker = makerKey();
    struct Case {
        const char* what;
        std::string key;
        std::string signature;
        std::optional<std::string> problem;
    };
    const Case cases[] = {
        {"good", maker, good, std::nullopt},
        {"a build without a key", "", "", std::nullopt},
        {"no signature", maker, "", "в конфигурации нет подписи архива обновления"},
        {"another archive's", maker, other,
         "подпись архива обновления не совпадает: архив не от производителя или изменён"},
        {"a key that is none", "AAAA", good, "ключ проверки подписи в программе неверен"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(update::signatureProblem(check_, c.key, c.signature, file), c.problem) << c.what;
}

}  // namespace
}  // namespace volnor::wintest
