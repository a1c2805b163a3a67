#pragma once

#include <optional>
#include <span>
#include <string>

#include "base/secret_text.h"
#include "platform/cert_store.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id {

// A fresh RSA key pair of 2048 bits; null when generation fails.
EvpPkeyPtr GenerateRsaKey();

// The DER form of a PKCS #10 request for the key, with an empty subject, signed with SHA-256;
// empty when any step fails.
Bytes MakePkcs10Request(EVP_PKEY* key);

// The private key as unencrypted PKCS #8 PEM text (the key stays exportable), in a buffer wiped
// when freed; empty on failure.
SecretBytes PrivateKeyToPem(EVP_PKEY* key);

// A private key read from PEM text; null when the text holds none.
EvpPkeyPtr PrivateKeyFromPem(std::span<const std::uint8_t> pem);

// Hexadecimal text naming a key: the start of the SHA-1 digest of its public key.
std::string PublicKeyTag(EVP_PKEY* key);

}  // namespace digital_id
