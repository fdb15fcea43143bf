// End to end under Wine over TLS, against a lobbyd of the test's own with throwaway certificates
// made here by the openssl command: the client signs in with a pin, or through a test CA put in
// the trusted roots; each certificate that does not verify shows its box and nothing is sent;
// and a tap between client and server never sees the sign-in in clear text.
#include <gtest/gtest.h>

#include "tests/win32/e2e_support.h"
// After windows.h, which the support header brings.
#include <wincrypt.h>

namespace cv3::e2e {
namespace {

// In the lobby's folder: a self-signed certificate; a test CA with a current and an expired
// certificate for "localhost" (one key); the pins of both keys.
constexpr char kMakeCertificates[] = R"(
set -e
exec 2>>openssl.log
ec='-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes'
openssl req -x509 $ec -days 2 -subj /CN=localhost -keyout self.key -out self.crt
openssl req -x509 $ec -days 2 -subj '/CN=Corvane Test CA' \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
  -keyout ca.key -out ca.crt
openssl x509 -in ca.crt -outform der -out ca.der
openssl req -new $ec -subj /CN=localhost -keyout site.key -out site.csr
printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n' > site.ext
printf '[ca]\ndefault_ca=t\n[t]\ndatabase=index.txt\nnew_certs_dir=.\nserial=serial\n' > ca.cnf
printf 'default_md=sha256\npolicy=p\nunique_subject=no\n[p]\ncommonName=supplied\n' >> ca.cnf
touch index.txt
echo 01 > serial
sign() { openssl ca -batch -config ca.cnf -cert ca.crt -keyfile ca.key -in site.csr \
  -extfile site.ext "$@"; }
sign -days 2 -out site.crt
sign -startdate 20200101000000Z -enddate 20200201000000Z -out expired.crt
pin() { openssl x509 -in $1 -pubkey -noout | openssl pkey -pubin -outform der |
  openssl dgst -sha256 -binary | base64; }
pin self.crt > self.pin
pin site.crt > site.pin
)";

std::string ReadFile(const std::string& unixPath) {
  std::ifstream in("Z:" + unixPath, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// A certificate in the current user's trusted roots for as long as this lives.
class TrustedRoot {
 public:
  explicit TrustedRoot(const std::string& der) {
    store_ = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!store_) return;
    CertAddEncodedCertificateToStore(
        store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added_);
  }
  ~TrustedRoot() {
    if (added_) CertDeleteCertificateFromStore(added_);
    if (store_) CertCloseStore(store_, 0);
  }
  bool ok() const { return added_ != nullptr; }

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT added_ = nullptr;
};

// A passive tap: a TCP relay on loopback between one client and the server, keeping every byte
// that crosses it in either direction.
class Tap {
 public:
  explicit Tap(int serverPort) : serverPort_(serverPort) {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    int length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 1);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    InitializeCriticalSection(&lock_);
    thread_ = CreateThread(nullptr, 0, &Tap::Run, this, 0, nullptr);
  }
  ~Tap() {
    stop_ = true;
    closesocket(listener_);
    WaitForSingleObject(thread_, kDeadlineMs);
    CloseHandle(thread_);
    DeleteCriticalSection(&lock_);
  }
  int Port() const { return port_; }
  std::string Seen() {
    EnterCriticalSection(&lock_);
    std::string seen = seen_;
    LeaveCriticalSection(&lock_);
    return seen;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<Tap*>(self)->Relay();
    return 0;
  }
  void Relay() {
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(serverPort_));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    bool open = connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    while (open && !stop_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(client, &readable);
      FD_SET(server, &readable);
      timeval tick{0, 100 * 1000};
      if (select(0, &readable, nullptr, nullptr, &tick) <= 0) continue;
      for (auto [from, to] : {std::pair{client, server}, std::pair{server, client}}) {
        if (!FD_ISSET(from, &readable)) continue;
        char chunk[4096];
        int got = recv(from, chunk, sizeof chunk, 0);
        if (got <= 0 || send(to, chunk, got, 0) != got) {
          open = false;
          break;
        }
        EnterCriticalSection(&lock_);
        seen_.append(chunk, got);
        LeaveCriticalSection(&lock_);
      }
    }
    closesocket(server);
    closesocket(client);
  }

  int serverPort_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  HANDLE thread_ = nullptr;
  CRITICAL_SECTION lock_;
  std::string seen_;
  volatile bool stop_ = false;
};

// Wine tells the client it runs on Windows 10 1903 while this lives, when asked to; otherwise
// this prefix's Windows 7.
class Windows10 {
 public:
  explicit Windows10(bool on) : on_(on) {
    static const wchar_t version[] = L"win10";
    if (on_) RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Version", REG_SZ, version, sizeof version);
  }
  ~Windows10() {
    if (on_) RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
  }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\cv3client.exe";
  bool on_;
};

class TlsEndToEnd : public OwnLobbyEndToEnd {
 protected:
  // Starts a lobbyd of its own serving this certificate (with the key of its name) over TLS,
  // with the test's certificates made in its folder, and points the client at its TLS port.
  bool StartTlsLobby(const std::string& certificate) {
    lobby_ = std::make_unique<OwnLobby>("--add-account pilot:skyrend");
    if (!lobby_->ok()) return false;
    lobby_->RunShell("cd '" + lobby_->Folder() + "'\n" + kMakeCertificates);
    std::string key = certificate == "self.crt" ? "self.key" : "site.key";
    lobby_->ServeTls(certificate, key);
    if (!lobby_->Start()) return false;
    SetString("CvPort", std::to_string(lobby_->TlsPort()));
    SetDWord("CvTls", 1);
    return true;
  }
  std::string File(const std::string& name) { return ReadFile(lobby_->Folder() + "/" + name); }
  void TearDown() override {
    OwnLobbyEndToEnd::TearDown();
    // The other end-to-end tests share this prefix's settings.
    SetDWord("CvTls", 0);
    SetString("CvTlsPin", "");
  }
};

TEST_F(TlsEndToEnd, SignsInOrShowsWhyTheCertificateIsRefused) {
  const std::string untrusted =
      "The server's certificate is not trusted by Windows. If your community uses its own "
      "certificate, enter its pin in the preferences.";
  struct Case {
    const char* certificate;  // what lobbyd serves
    const char* address;      // "CvAddress"
    const char* pin;          // the file "CvTlsPin" is read from, or none
    std::string reason;       // the box's reason; none: the client signs in
    // The client sees Windows 10 (credentials as SCH_CREDENTIALS), or Windows 7 (SCHANNEL_CRED).
    bool windows10 = false;
    bool plainPort = false;  // the client is pointed at lobbyd's plain port instead
  } cases[] = {
      {"self.crt", "127.0.0.1", "self.pin", ""},
      {"self.crt", "127.0.0.1", "self.pin", "", true},
      {"site.crt", "localhost", nullptr, ""},
      {"self.crt", "127.0.0.1", "site.pin",
       "The server's key does not match the pin in the preferences."},
      {"site.crt", "127.0.0.1", nullptr, "The server's certificate is not for \"127.0.0.1\"."},
      {"expired.crt", "localhost", nullptr, "The server's certificate has expired."},
      {"self.crt", "127.0.0.1", nullptr, untrusted},
      {"self.crt", "127.0.0.1", "self.pin",
       "The secure connection failed (0x80090318 SEC_E_INCOMPLETE_MESSAGE).", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.certificate) + " at " + c.address + " pinned by " +
                 (c.pin ? c.pin : "none") + (c.windows10 ? " on Windows 10" : "") +
                 (c.plainPort ? " on the plain port" : ""));
    Windows10 version(c.windows10);
    ASSERT_TRUE(StartTlsLobby(c.certificate));
    TrustedRoot root(File("ca.der"));
    ASSERT_TRUE(root.ok());
    SetString("CvAddress", c.address);
    SetString("CvTlsPin", c.pin ? File(c.pin) : "");
    int port = c.plainPort ? lobby_->Port() : lobby_->TlsPort();
    SetString("CvPort", std::to_string(port));
    ASSERT_TRUE(StartClient());
    if (c.reason.empty()) {
      EXPECT_TRUE(Online()) << Status();
      EXPECT_NE(lobby_->Log().find("signed in"), std::string::npos) << lobby_->Log();
    } else {
      HWND box = ShownWindow(L"Error!");
      ASSERT_NE(box, nullptr) << Status();
      EXPECT_TRUE(ShowsText(box, "Corvane could not connect securely to " + std::string(c.address) +
                                     ":" + std::to_string(port) + ", so nothing was sent.\n\n" +
                                     c.reason));
      ASSERT_TRUE(Click(box, L"OK"));
      EXPECT_TRUE(WaitFor([&] { return Status() == "Not Connected"; }, kDeadlineMs)) << Status();
      EXPECT_EQ(lobby_->Log().find("signed in"), std::string::npos) << lobby_->Log();
    }
    Exit();
    TearDown();
    process_ = {};
  }
}

// The server's end is reported (after its close_notify) as a lost connection, and the retry
// signs in over TLS again.
TEST_F(TlsEndToEnd, ARestartedServerIsSignedInToAgainOverTls) {
  ASSERT_TRUE(StartTlsLobby("self.crt"));
  SetString("CvTlsPin", File("self.pin"));
  SetDWord("Reconnect", 1);
  ASSERT_TRUE(StartedOnline()) << Status();
  lobby_->Stop();
  ASSERT_NE(ShownWindow(L"Connecting to Corvane"), nullptr) << Status();
  ASSERT_TRUE(lobby_->Start());
  EXPECT_TRUE(Online()) << Status();
  Exit();
}

TEST_F(TlsEndToEnd, ATapBetweenClientAndServerSeesNoSignInInClearText) {
  ASSERT_TRUE(StartTlsLobby("self.crt"));
  SetString("CvTlsPin", File("self.pin"));
  Tap tap(lobby_->TlsPort());
  SetString("CvPort", std::to_string(tap.Port()));
  ASSERT_TRUE(StartedOnline()) << Status();
  Exit();
  std::string seen = tap.Seen();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0], '\x16');  // a TLS handshake record opens the conversation
  EXPECT_EQ(seen.find("AUTH"), std::string::npos);
  EXPECT_EQ(seen.find(Digest("skyrend")), std::string::npos);
}

}  // namespace
}  // namespace cv3::e2e
