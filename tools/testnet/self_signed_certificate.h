#pragma once

#include <string>

// A fresh self-signed certificate for 127.0.0.1 and its key, in PEM, with the keyprint a hub list would give it.
struct TestCertificate {
    std::string CertificatePem;
    std::string KeyPem;
    std::string Keyprint;  // "SHA256/<base32>"
};
TestCertificate MakeSelfSignedCertificate();
