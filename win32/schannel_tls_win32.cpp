#include "win32/schannel_tls_win32.h"

#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace cv3 {
namespace {

// The certificate is verified by us after the handshake (ISC_REQ_MANUAL_CRED_VALIDATION): with a
// pin the chain is not required, which Schannel's own check could not allow.
constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                           ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                           ISC_REQ_MANUAL_CRED_VALIDATION | ISC_REQ_USE_SUPPLIED_CREDS;
constexpr DWORD kCredentialFlags =
    SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;

bool SystemHasSchCredentials() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionFunction>(
                                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                          : nullptr;
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!getVersion || getVersion(&version) != 0) return false;
  return HasSchCredentials(version.dwMajorVersion, version.dwBuildNumber);
}

// TLS 1.2 and 1.3 only, in whichever structure this Windows knows; both ask the same.
SECURITY_STATUS AcquireCredentials(CredHandle* credentials) {
  TimeStamp expiry;
  wchar_t package[] = UNISP_NAME_W;
  if (SystemHasSchCredentials()) {
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols =
        SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
    SCH_CREDENTIALS data{};
    data.dwVersion = SCH_CREDENTIALS_VERSION;
    data.dwFlags = kCredentialFlags;
    data.cTlsParameters = 1;
    data.pTlsParameters = &parameters;
    return AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &data,
                                     nullptr, nullptr, credentials, &expiry);
  }
  SCHANNEL_CRED data{};
  data.dwVersion = SCHANNEL_CRED_VERSION;
  data.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  data.dwFlags = kCredentialFlags;
  return AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &data, nullptr,
                                   nullptr, credentials, &expiry);
}

// SHA-256 over the DER of the certificate's SubjectPublicKeyInfo, as a pin-sha256 is made.
std::optional<Sha256Digest> KeyDigest(PCCERT_CONTEXT certificate) {
  CERT_PUBLIC_KEY_INFO* key = &certificate->pCertInfo->SubjectPublicKeyInfo;
  DWORD size = 0;
  if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, nullptr, &size)) {
    return std::nullopt;
  }
  std::vector<BYTE> der(size);
  if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, der.data(), &size)) {
    return std::nullopt;
  }
  Sha256Digest digest{};
  DWORD length = digest.size();
  if (!CryptHashCertificate2(L"SHA256", 0, nullptr, der.data(), size, digest.data(), &length) ||
      length != digest.size()) {
    return std::nullopt;
  }
  return digest;
}

// The chain to a root in Windows' store, for a server, under this name.
std::optional<TlsFailure> CheckChain(PCCERT_CONTEXT certificate, std::wstring host) {
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                               0, nullptr, &chain)) {
    return TlsFailure{TlsProblem::kHandshake, static_cast<uint32_t>(GetLastError())};
  }
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbStruct = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = host.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  BOOL checked = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
  DWORD error = checked ? status.dwError : GetLastError();
  CertFreeCertificateChain(chain);
  if (!checked) return TlsFailure{TlsProblem::kHandshake, static_cast<uint32_t>(error)};
  if (error != 0) return TlsFailure{ProblemOfPolicyError(error), static_cast<uint32_t>(error)};
  return std::nullopt;
}

std::wstring Wide(const std::string& text) {
  int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

void TakeToken(SecBuffer& token, std::string& toSend) {
  if (!token.pvBuffer) return;
  toSend.append(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
  FreeContextBuffer(token.pvBuffer);
  token.pvBuffer = nullptr;
}

}  // namespace

SchannelTls::SchannelTls(const std::string& host, std::string pin)
    : host_(Wide(host)), pin_(std::move(pin)) {}

SchannelTls::~SchannelTls() {
  if (haveContext_) DeleteSecurityContext(&context_);
  if (haveCredentials_) FreeCredentialsHandle(&credentials_);
}

SchannelTls::State SchannelTls::Fail(TlsProblem problem, uint32_t status) {
  failure_ = {problem, status};
  state_ = State::kFailed;
  return state_;
}

SchannelTls::State SchannelTls::Start(std::string& toSend) {
  SECURITY_STATUS status = AcquireCredentials(&credentials_);
  if (status != SEC_E_OK) return Fail(TlsProblem::kHandshake, static_cast<uint32_t>(status));
  haveCredentials_ = true;
  return Handshake(toSend);
}

// Feeds what has come into the context until it is done or wants more; SEC_E_INCOMPLETE_MESSAGE
// is that wish, SEC_E_OK the end.
SchannelTls::State SchannelTls::Handshake(std::string& toSend) {
  for (;;) {
    bool first = !haveContext_;
    SecBuffer input[2] = {{static_cast<ULONG>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
                          {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
    SecBuffer output[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc outputDesc{SECBUFFER_VERSION, 1, output};
    ULONG attributes = 0;
    SECURITY_STATUS status = InitializeSecurityContextW(
        &credentials_, first ? nullptr : &context_, host_.data(), kRequest, 0, 0,
        first ? nullptr : &inputDesc, 0, &context_, &outputDesc, &attributes, nullptr);
    if (first && !FAILED(status)) haveContext_ = true;
    TakeToken(output[0], toSend);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return state_;  // a partial record: wait for more
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
      return Fail(TlsProblem::kHandshake, static_cast<uint32_t>(status));
    }
    // What followed the message the context took stays for the next step.
    if (!first) {
      if (input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer <= incoming_.size()) {
        incoming_.erase(0, incoming_.size() - input[1].cbBuffer);
      } else {
        incoming_.clear();
      }
    }
    if (status == SEC_E_OK) {
      renegotiating_ = false;
      return state_ == State::kHandshaking ? Opened() : state_;
    }
    if (incoming_.empty()) return state_;
  }
}

SchannelTls::State SchannelTls::Opened() {
  SECURITY_STATUS status = QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
  if (status != SEC_E_OK) return Fail(TlsProblem::kHandshake, static_cast<uint32_t>(status));
  if (!Verify()) return state_;
  state_ = State::kOpen;
  return state_;
}

bool SchannelTls::Verify() {
  PCCERT_CONTEXT certificate = nullptr;
  SECURITY_STATUS status =
      QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
  if (status != SEC_E_OK || !certificate) {
    Fail(TlsProblem::kHandshake,
         static_cast<uint32_t>(status != SEC_E_OK ? status : SEC_E_CERT_UNKNOWN));
    return false;
  }
  std::optional<TlsFailure> problem;
  if (pin_.empty()) {
    problem = CheckChain(certificate, host_);
  } else if (std::optional<Sha256Digest> digest = KeyDigest(certificate)) {
    if (std::optional<TlsProblem> verdict = CheckPin(pin_, *digest)) problem = TlsFailure{*verdict};
  } else {
    problem = TlsFailure{TlsProblem::kHandshake, static_cast<uint32_t>(GetLastError())};
  }
  CertFreeCertificateContext(certificate);
  if (problem) Fail(problem->problem, problem->status);
  return !problem;
}

SchannelTls::State SchannelTls::Receive(std::string_view bytes, std::string& toSend,
                                        std::string& plain) {
  if (state_ != State::kHandshaking && state_ != State::kOpen) return state_;
  incoming_.append(bytes);
  if (state_ == State::kHandshaking) {
    if (Handshake(toSend) != State::kOpen) return state_;
  }
  return Decrypt(toSend, plain);
}

SchannelTls::State SchannelTls::Decrypt(std::string& toSend, std::string& plain) {
  while (!incoming_.empty() && state_ == State::kOpen) {
    if (renegotiating_) {
      Handshake(toSend);
      if (renegotiating_) return state_;  // more of it to come, or failed
      continue;
    }
    SecBuffer buffers[4] = {
        {static_cast<ULONG>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return state_;  // a partial record: wait for more
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
      return Fail(TlsProblem::kHandshake, static_cast<uint32_t>(status));
    }
    std::string extra;
    for (const SecBuffer& buffer : buffers) {
      const char* data = static_cast<const char*>(buffer.pvBuffer);
      if (buffer.BufferType == SECBUFFER_DATA && data) plain.append(data, buffer.cbBuffer);
      if (buffer.BufferType == SECBUFFER_EXTRA && data) extra.assign(data, buffer.cbBuffer);
    }
    incoming_ = std::move(extra);
    if (status == SEC_I_CONTEXT_EXPIRED) {
      state_ = State::kClosedByPeer;  // close_notify: the server's data came before it
      return state_;
    }
    if (status == SEC_I_RENEGOTIATE) {
      // A post-handshake message (a TLS 1.3 ticket or key update): the context takes it, with
      // whatever followed, and reading goes on.
      renegotiating_ = true;
      Handshake(toSend);
      if (renegotiating_) return state_;
    }
  }
  return state_;
}

bool SchannelTls::Encrypt(std::string_view plain, std::string& toSend) {
  if (state_ != State::kOpen) return false;
  while (!plain.empty()) {
    size_t chunk = std::min<size_t>(plain.size(), sizes_.cbMaximumMessage);
    std::string record(sizes_.cbHeader + chunk + sizes_.cbTrailer, '\0');
    std::memcpy(record.data() + sizes_.cbHeader, plain.data(), chunk);
    SecBuffer buffers[4] = {
        {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
        {static_cast<ULONG>(chunk), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
        {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + chunk},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return false;
    toSend.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    plain.remove_prefix(chunk);
  }
  return true;
}

std::string SchannelTls::Shutdown() {
  if (state_ != State::kOpen) return {};
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
  if (ApplyControlToken(&context_, &controlDesc) != SEC_E_OK) return {};
  SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc outputDesc{SECBUFFER_VERSION, 1, &output};
  ULONG attributes = 0;
  InitializeSecurityContextW(&credentials_, &context_, host_.data(), kRequest, 0, 0, nullptr, 0,
                             &context_, &outputDesc, &attributes, nullptr);
  std::string closeNotify;
  TakeToken(output, closeNotify);
  return closeNotify;
}

}  // namespace cv3
