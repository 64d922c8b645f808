#pragma once

#include "self_signed_certificate.h"

// The server side of TLS with one certificate, shared by every connection that serves it. Ok() is false when OpenSSL
// refuses the certificate or its key.
class TlsServerContext {
public:
    explicit TlsServerContext(const TestCertificate& certificate);
    ~TlsServerContext();
    TlsServerContext(const TlsServerContext&) = delete;
    TlsServerContext& operator=(const TlsServerContext&) = delete;

    bool Ok() const { return m_loaded; }
    struct ssl_ctx_st* Get() const {
        return m_context;
    }

private:
    struct ssl_ctx_st* m_context;
    bool m_loaded = false;
};
