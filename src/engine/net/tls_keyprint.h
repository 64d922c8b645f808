#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Hub lists pin a TLS hub's certificate with a keyprint in the address: "adcs://host:port/?kp=SHA256/<base32>",
// the SHA-256 of the certificate in DER form.

// The keyprint an address carries ("SHA256/..."), or empty text when it carries none.
std::string_view AddressKeyprint(std::string_view address);
// "SHA256/" and the base32 digest of the DER certificate.
std::string CertificateKeyprint(std::span<const uint8_t> derCertificate);
// Whether the certificate is the one keyprint names. A keyprint of another algorithm or a malformed one matches no
// certificate.
bool CertificateMatchesKeyprint(std::span<const uint8_t> derCertificate, std::string_view keyprint);
