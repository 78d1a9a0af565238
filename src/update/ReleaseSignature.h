#pragma once

#include <QString>

#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

// Whether a program file was signed with the private half of the release key (Ed25519). Only
// the public half is known here: the build's own, or one handed in (tests make their own pair).
// Copies share the key; verifying does not change it, so copies may verify on any thread.
class ReleaseSignature {
public:
    // The build's public key (-DKEVRA_UPDATE_KEY); empty when the build names none.
    static QString builtInKey();

    // publicKey: base64 of the key's DER form (the body of its PEM file) or of its 32 raw
    // bytes. Anything else leaves the object without a key, and then nothing verifies.
    explicit ReleaseSignature(const QString& publicKey = builtInKey());

    bool hasKey() const { return key_ != nullptr; }
    // signature: base64, as the version page carries it.
    bool verifies(const QString& filePath, const QString& signature) const;

private:
    std::shared_ptr<EVP_PKEY> key_;
};
