#include "cv3client/client_app_win32.h"

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include "common/files_win32.h"
#include "common/game_windows_win32.h"
#include "common/instance_check_win32.h"
#include "common/processes_win32.h"
#include "common/registry.h"
#include "common/registry_win32.h"
#include "cv3client/client_core.h"
#include "cv3client/games/frm_game_details_win32.h"
#include "cv3client/games/frm_host_game_win32.h"
#include "cv3client/session/frm_create_id_win32.h"
#include "cv3client/session/frm_login_win32.h"
#include "cv3client/session/frm_reconnect_win32.h"
#include "cv3client/session/lobby_socket.h"
#include "cv3client/support/client_settings.h"
#include "cv3client/support/system_info.h"
#include "cv3client/support/system_info_win32.h"
#include "cv3client/ui/frm_about_win32.h"
#include "cv3client/ui/frm_away_win32.h"
#include "cv3client/ui/frm_chat_win32.h"
#include "cv3client/ui/frm_main_win32.h"
#include "cv3client/ui/frm_preferences_win32.h"
#include "cv3client/ui/frm_user_info_win32.h"
#include "cv3client/window_registry.h"
#include "win32/deferral_win32.h"
#include "win32/timers_win32.h"
#include "win32/waiting.h"
#include "win32/winsock_connection_win32.h"

namespace cv3 {
namespace {

constexpr wchar_t kInstanceMutex[] = L"Corvane3.cv3client.instance";
constexpr wchar_t kMessageSound[] = L"\\sounds\\comp1.wav";

// The chat windows' sound, in the background, by its whole path in UTF-16: the folder may hold
// letters of any language and have no short form. A missing file plays nothing (not even the
// default sound) and says nothing.
void PlayMessageSound(const std::wstring& programDir) {
  std::wstring path = programDir + kMessageSound;
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    sndPlaySoundW(path.c_str(), SND_ASYNC);
  }
}

SocketClose ToSocketClose(WinsockConnection::CloseKind kind) {
  switch (kind) {
    case WinsockConnection::CloseKind::kByServer:
      return SocketClose::kByServer;
    case WinsockConnection::CloseKind::kCancelled:
      return SocketClose::kCancelled;
    case WinsockConnection::CloseKind::kFailed:
      break;
  }
  return SocketClose::kFailed;
}

// wskChat: the Winsock connection as the session controller sees it. Every connection, a
// reconnect's too, is made secure or not as the settings say at that moment.
class WinsockLobbySocket : public LobbySocket {
 public:
  WinsockLobbySocket(WinsockConnection::Events events, Registry& registry)
      : connection_(std::move(events)), registry_(registry) {}
  bool IsConnected() const override { return connection_.IsConnected(); }
  void SendData(std::string_view bytes) override { connection_.SendData(bytes); }
  void Connect(const std::string& host, int port) override {
    connection_.Connect(host, port, settings::ConnectionSecurity(registry_));
  }
  void Close() override { connection_.Close(); }
  std::string LocalAddress() const override { return connection_.LocalAddress(); }

 private:
  WinsockConnection connection_;
  Registry& registry_;
};

}  // namespace

struct ClientApp::Parts {
  explicit Parts(ClientOptions o)
      : options(std::move(o)),
        registry(
            registryBackend, [this](const MessageBoxSpec& box) { main.ShowMessage(box); },
            "Corvane"),
        socket(
            {[this] { core.OnSocketConnect(); },
             [this](std::string_view bytes) { core.OnDataArrival(bytes); },
             [this](WinsockConnection::CloseKind kind) { core.OnSocketClose(ToSocketClose(kind)); },
             [this](const TlsFailure& failure) { core.OnSocketInsecure(failure); }},
            registry),
        core(ClientPlatform{.status = main,
                            .menus = main,
                            .messages = main,
                            .shell = main,
                            .tree = main,
                            .windows = windows,
                            .deferral = deferral,
                            .factory = factory,
                            .socket = socket,
                            .registry = registry,
                            .timers = timers,
                            .processes = processes,
                            .gameWindows = gameWindows,
                            .files = files,
                            .programFolder = Narrow(options.programDir),
                            .wait = [](int ms) { WaitWhileProcessing(ms); },
                            .playMessageSound = [this] { PlayMessageSound(options.programDir); }}) {
    // The windows that come and go, by their view kinds.
    factory.Provide<LoginView>([this] { return std::make_unique<frmLogin>(main.hwnd()); });
    factory.Provide<AboutView>([this] { return std::make_unique<frmAbout>(main.hwnd()); });
    factory.Provide<ReconnectView>([this] { return std::make_unique<frmReconnect>(main.hwnd()); });
    factory.Provide<CreateIdView>([this] { return std::make_unique<frmCreateId>(main.hwnd()); });
    factory.Provide<AwayView>([this] { return std::make_unique<frmAway>(main.hwnd()); });
    // A chat window takes its look from SlowCPU as it is when the window is made.
    factory.Provide<ChatView>([this] {
      return std::make_unique<frmChat>(
          ChatLook{main.hwnd(), !settings::PlainLook(registry), options.programDir});
    });
    factory.Provide<ProfileView>([this] { return std::make_unique<frmUserInfo>(main.hwnd()); });
    factory.Provide<GameDetailsView>(
        [this] { return std::make_unique<frmGameDetails>(main.hwnd()); });
    factory.Provide<HostGameView>([this] { return std::make_unique<frmHostGame>(main.hwnd()); });
    factory.Provide<PreferencesView>(
        [this] { return std::make_unique<frmPreferences>(main.hwnd()); });
  }

  bool Start() {
    InstanceClaim claim = ClaimInstance(kInstanceMutex);
    instanceMutex = claim.mutex;
    if (claim.check == InstanceCheck::kAnotherCopyRuns) {
      wchar_t path[MAX_PATH] = {};
      GetModuleFileNameW(nullptr, path, MAX_PATH);
      std::wstring exe = path;
      exe = exe.substr(exe.find_last_of(L"\\/") + 1);
      ShowMessageBox(nullptr, AnotherInstanceBox(Narrow(exe)));
      return false;
    }
    SessionController& session = core.Session();
    // A window without its maker would never open: the program refuses to start instead.
    if (std::string missing = core.MissingWindowMaker(); !missing.empty()) {
      session.StartupFailed(missing);
      return false;
    }
    OsVersion version = QueryOsVersion();
    bool keyMade =
        session.Startup(cSystemInfo(version.ok, version.major, version.minor).WinVersion());
    MainWindowLook look{!settings::PlainLook(registry), options.programDir};
    if (!keyMade || !main.Load(look, &core)) {
      session.StartupFailed();
      return false;
    }
    core.FinishStartup();
    return true;
  }

  ClientOptions options;
  HANDLE instanceMutex = nullptr;
  Win32Registry registryBackend;
  frmMain main;
  Registry registry;
  WindowTimers timers;
  Win32Processes processes;
  Win32Files files;
  Win32GameWindows gameWindows;
  MessageLoopDeferral deferral;
  WindowRegistry windows;
  WindowFactory factory;
  WinsockLobbySocket socket;
  ClientCore core;
};

ClientApp::ClientApp(ClientOptions options) : parts_(std::make_unique<Parts>(std::move(options))) {}

ClientApp::~ClientApp() {
  // The window goes first: none of its events may reach the parts being torn down.
  if (parts_ && parts_->main.hwnd()) DestroyWindow(parts_->main.hwnd());
  if (parts_ && parts_->instanceMutex) CloseHandle(parts_->instanceMutex);
}

HWND ClientApp::MainWindow() const { return parts_->main.hwnd(); }

bool ClientApp::Start() { return parts_->Start(); }

void ClientApp::InjectData(const std::string& bytes) { parts_->core.OnDataArrival(bytes); }

int ClientApp::Run() {
  if (!Start()) return 0;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace cv3
