#include "support/tls_test_server.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <stdexcept>

namespace tallyhawk::test
{

namespace
{

// The handshake runs on a blocking socket; this bounds each of its reads and writes, so a client
// that says nothing cannot hold up the server's end.
constexpr timeval kSocketWait{2, 0};

} // namespace

struct TlsTestServer::Context
{
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    SSL_CTX* ssl = nullptr;

    ~Context()
    {
        SSL_CTX_free(ssl);
        X509_free(certificate);
        EVP_PKEY_free(key);
    }
};

TlsTestServer::TlsTestServer()
    : context_(std::make_unique<Context>())
{
    Context& c = *context_;
    c.key = EVP_EC_gen("P-256");
    c.certificate = X509_new();
    if (c.key == nullptr || c.certificate == nullptr) {
        throw std::runtime_error("no key or certificate for the TLS test server");
    }
    X509_set_version(c.certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c.certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(c.certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(c.certificate), 3600);
    X509_set_pubkey(c.certificate, c.key);
    X509_NAME* name = X509_get_subject_name(c.certificate);
    X509_NAME_add_entry_by_txt(
        name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(c.certificate, name);
    c.ssl = SSL_CTX_new(TLS_server_method());
    if (X509_sign(c.certificate, c.key, EVP_sha256()) == 0 || c.ssl == nullptr
        || SSL_CTX_use_certificate(c.ssl, c.certificate) != 1 || SSL_CTX_use_PrivateKey(c.ssl, c.key) != 1) {
        throw std::runtime_error("the TLS test server could not be set up");
    }
    server_ = std::make_unique<LoopbackServer>([this](LoopbackPeer& peer) { Serve(peer); });
}

TlsTestServer::~TlsTestServer()
{
    server_.reset();
}

std::string TlsTestServer::Url(std::string_view target) const
{
    return "https://127.0.0.1:" + std::to_string(server_->port()) + std::string(target);
}

void TlsTestServer::Serve(LoopbackPeer& peer)
{
    const int fd = peer.fd();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &kSocketWait, sizeof kSocketWait);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kSocketWait, sizeof kSocketWait);
    SSL* ssl = SSL_new(context_->ssl);
    if (ssl == nullptr) {
        return;
    }
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1) {
        ++handshakes_;
        char request[4096];
        if (SSL_read(ssl, request, sizeof request) > 0) {
            const std::string_view page
                = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            SSL_write(ssl, page.data(), static_cast<int>(page.size()));
        }
        SSL_shutdown(ssl);
    }
    SSL_free(ssl);
}

} // namespace tallyhawk::test
