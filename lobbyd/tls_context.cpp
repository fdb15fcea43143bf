#include "lobbyd/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lobbyd {
namespace {

// Forward secrecy and authenticated encryption only. TLS 1.3's own suites are all of that kind.
constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:ECDHE-ECDSA-AES256-GCM-SHA384:"
    "ECDHE-RSA-AES256-GCM-SHA384:ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";

// OpenSSL's reason for the failure, the first it noticed, and its queue emptied for the next.
std::string OpenSslReason() {
  unsigned long code = ERR_peek_error();
  ERR_clear_error();
  if (code == 0) return "unknown error";
  const char* reason = ERR_reason_error_string(code);
  return reason ? reason : "error " + std::to_string(code);
}

// The file's own trouble (missing, unreadable) said as the system says it, before OpenSSL
// would say it less clearly.
std::string UnreadableReason(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::strerror(errno);
  std::fclose(file);
  return {};
}

std::string FileProblem(const char* what, const std::string& path, const std::string& reason) {
  return std::string(what) + " " + path + ": " + reason;
}

}  // namespace

std::shared_ptr<asio::ssl::context> LoadTlsContext(const TlsFiles& files, std::string& error) {
  for (const auto& [what, path] :
       {std::pair{"--tls-cert", &files.certificate}, std::pair{"--tls-key", &files.key}}) {
    if (auto reason = UnreadableReason(*path); !reason.empty()) {
      error = FileProblem(what, *path, reason);
      return nullptr;
    }
  }
  auto context = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_server);
  SSL_CTX* native = context->native_handle();
  SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION);
  // Windows' TLS stack handles tickets after the handshake badly, and a lobby session is one
  // long connection that gains nothing from resuming; nor is there any reason to renegotiate.
  SSL_CTX_set_options(native, SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION |
                                  SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_COMPRESSION);
  SSL_CTX_set_num_tickets(native, 0);
  SSL_CTX_set_session_cache_mode(native, SSL_SESS_CACHE_OFF);
  // An idle session then holds no read or write buffer of OpenSSL's. A write takes what the
  // socket can take, record by record, and is retried with the rest.
  SSL_CTX_set_mode(native, SSL_MODE_RELEASE_BUFFERS | SSL_MODE_ENABLE_PARTIAL_WRITE |
                               SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (SSL_CTX_set_cipher_list(native, kTls12Ciphers) != 1) {
    error = "TLS: " + OpenSslReason();
    return nullptr;
  }
  ERR_clear_error();
  if (SSL_CTX_use_certificate_chain_file(native, files.certificate.c_str()) != 1) {
    error = FileProblem("--tls-cert", files.certificate, OpenSslReason());
    return nullptr;
  }
  if (SSL_CTX_use_PrivateKey_file(native, files.key.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(native) != 1) {
    bool mismatch = ERR_GET_REASON(ERR_peek_error()) == X509_R_KEY_VALUES_MISMATCH;
    std::string reason = OpenSslReason();
    error = FileProblem(
        "--tls-key", files.key,
        mismatch ? "does not belong to the certificate in " + files.certificate : reason);
    return nullptr;
  }
  return context;
}

}  // namespace lobbyd
