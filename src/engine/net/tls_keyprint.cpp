#include "engine/net/tls_keyprint.h"

#include <openssl/sha.h>

#include <algorithm>
#include <array>

#include "engine/adc/base32.h"

namespace {

constexpr std::string_view kAlgorithm = "SHA256/";

}  // namespace

std::string_view AddressKeyprint(std::string_view address) {
    const std::size_t query = address.find('?');
    if (query == std::string_view::npos) return {};
    std::string_view rest = address.substr(query + 1);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('&'), rest.size());
        const std::string_view parameter = rest.substr(0, end);
        if (parameter.starts_with("kp=")) return parameter.substr(3);
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return {};
}

std::string CertificateKeyprint(std::span<const uint8_t> derCertificate) {
    std::array<uint8_t, SHA256_DIGEST_LENGTH> digest{};
    SHA256(derCertificate.data(), derCertificate.size(), digest.data());
    return std::string(kAlgorithm) + Base32Encode(digest);
}

bool CertificateMatchesKeyprint(std::span<const uint8_t> derCertificate, std::string_view keyprint) {
    return keyprint == CertificateKeyprint(derCertificate);
}
