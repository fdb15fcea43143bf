// TLS over Windows' Schannel for the lobby connection, as a transform of bytes: what arrives from
// the server goes in, what to send and the plain text that came out come back. The connection
// owns the socket; this owns the security context. The certificate is checked here after the
// handshake (the pin, or the chain against Windows' store and the host name), never by Schannel
// on its own. UI thread only.
#pragma once

// clang-format off
#include <windows.h>
#include <subauth.h>
// clang-format on
#define SECURITY_WIN32
#include <security.h>
// SCH_CREDENTIALS and TLS_PARAMETERS are declared only with this.
#define SCHANNEL_USE_BLACKLISTS
#include <schannel.h>

#include <string>
#include <string_view>

#include "common/tls_trust.h"

namespace cv3 {

class SchannelTls {
 public:
  enum class State {
    kHandshaking,   // more from the server is needed
    kOpen,          // the handshake is done and the certificate verified
    kClosedByPeer,  // the server's close_notify came, after its data
    kFailed,        // failure() says why
  };

  // host: the name connected to, for SNI and the name check; pin: "CvTlsPin" as set.
  SchannelTls(const std::string& host, std::string pin);
  ~SchannelTls();
  SchannelTls(const SchannelTls&) = delete;
  SchannelTls& operator=(const SchannelTls&) = delete;

  // Starts the handshake: its first message is appended to toSend.
  State Start(std::string& toSend);
  // Takes bytes from the server; appends what must be sent back and the decrypted text. Data
  // that came with the last handshake message comes out with the kOpen that ends it.
  State Receive(std::string_view bytes, std::string& toSend, std::string& plain);
  // Appends the records carrying `plain`; false when the context cannot encrypt.
  bool Encrypt(std::string_view plain, std::string& toSend);
  // The close_notify to send before closing; empty when there is none. Nothing more may be
  // sent or received after it.
  std::string Shutdown();

  State state() const { return state_; }
  const TlsFailure& failure() const { return failure_; }

 private:
  State Fail(TlsProblem problem, uint32_t status);
  State Handshake(std::string& toSend);
  State Decrypt(std::string& toSend, std::string& plain);
  State Opened();
  bool Verify();

  std::wstring host_;
  std::string pin_;
  CredHandle credentials_{};
  bool haveCredentials_ = false;
  CtxtHandle context_{};
  bool haveContext_ = false;
  SecPkgContext_StreamSizes sizes_{};
  // Bytes from the server not yet taken by Schannel: a partial record, or what followed one.
  std::string incoming_;
  // A post-handshake message (SEC_I_RENEGOTIATE) is being fed back into the context.
  bool renegotiating_ = false;
  State state_ = State::kHandshaking;
  TlsFailure failure_;
};

}  // namespace cv3
