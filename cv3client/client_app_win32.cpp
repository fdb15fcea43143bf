#include "cv3client/client_app_win32.h"

#include "common/registry.h"
#include "common/registry_win32.h"
#include "common/timers.h"
#include "win32/waiting.h"
#include "cv3client/session/frm_login_win32.h"
#include "cv3client/session/lobby_socket.h"
#include "win32/winsock_connection_win32.h"
#include "cv3client/session/login_controller.h"
#include "cv3client/session/session_controller.h"
#include "cv3client/support/client_settings.h"
#include "cv3client/support/system_info.h"
#include "cv3client/support/system_info_win32.h"
#include "cv3client/ui/frm_about_win32.h"
#include "cv3client/ui/frm_main_win32.h"
#include "cv3client/ui/main_commands.h"
#include "cv3client/ui/main_window_parts_win32.h"
#include "cv3client/ui/roster.h"

namespace cv3 {
namespace {

constexpr wchar_t kInstanceMutex[] = L"Corvane3.cv3client.instance";

class WindowTimers : public Timers {
 public:
  void SetWindow(HWND hwnd) { hwnd_ = hwnd; }
  void StartTimer(int id, int intervalMs) override {
    if (hwnd_) SetTimer(hwnd_, static_cast<UINT_PTR>(id), static_cast<UINT>(intervalMs), nullptr);
  }
  void StopTimer(int id) override {
    if (hwnd_) KillTimer(hwnd_, static_cast<UINT_PTR>(id));
  }

 private:
  HWND hwnd_ = nullptr;
};

// wskChat: the Winsock connection as the session controller sees it.
class WinsockLobbySocket : public LobbySocket {
 public:
  explicit WinsockLobbySocket(WinsockConnection::Events events) : connection_(std::move(events)) {}
  bool IsConnected() const override { return connection_.IsConnected(); }
  void SendData(std::string_view bytes) override { connection_.SendData(bytes); }
  void Connect(const std::string& host, int port) override { connection_.Connect(host, port); }
  void Close() override { connection_.Close(); }

 private:
  WinsockConnection connection_;
};

// frmLogin as the login controller sees it, and its clicks passed to the controller.
class LoginWindow : public LoginView, public LoginWindowEvents {
 public:
  LoginWindow(Registry& registry, SessionController& session, MainView& mainView)
      : controller_(*this, registry, session.Values(),
                    {[&session] { session.ConnectToServer(); },
                     [&mainView] { mainView.ShowCreateIdWindow(); }}) {}

  void ShowModal(HWND owner) {
    if (!window_.Create(owner, this)) return;
    controller_.Form_Load();
    window_.ShowModal();
  }

  bool RememberChecked() const override { return window_.RememberChecked(); }
  bool AutoChecked() const override { return window_.AutoChecked(); }
  void SetRemember(bool checked) override { window_.SetRemember(checked); }
  void SetAuto(bool checked) override { window_.SetAuto(checked); }
  std::string LoginId() const override { return window_.LoginId(); }
  std::string Password() const override { return window_.Password(); }
  void SetLoginId(const std::string& text) override { window_.SetLoginId(text); }
  void SetPassword(const std::string& text) override { window_.SetPassword(text); }
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    return ShowMessageBox(window_.hwnd(), box);
  }
  void Hide() override { window_.Hide(); }
  void Unload() override { window_.Unload(); }
  void RunMinimized(const std::string& commandLine) override {
    std::wstring line = Widen(commandLine);
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }

  void cmdLogin_Click() override { controller_.cmdLogin_Click(); }
  void chkRememberIDPass_Click(bool) override { controller_.chkRememberIDPass_Click(); }
  void chkAutoLogin_Click(bool) override { controller_.chkAutoLogin_Click(); }
  void Command2_Click() override { controller_.Command2_Click(); }
  void Command3_Click() override { controller_.Command3_Click(); }
  void Command4_Click() override { controller_.Command4_Click(); }

 private:
  frmLogin window_;
  LoginController controller_;
};

}  // namespace

struct ClientApp::Parts : MainWindowEvents {
  explicit Parts(ClientOptions o)
      : options(std::move(o)),
        registry(registryBackend, [this](const MessageBoxSpec& box) { main.ShowMessage(box); },
                 "Corvane"),
        socket({[this] { session.OnSocketConnect(); },
                [this](std::string_view bytes) { session.OnDataArrival(bytes); },
                [this] { session.OnSocketError(); }}),
        roster(main, registry),
        session(main, socket, registry, timers, roster, [](int ms) { WaitWhileProcessing(ms); }),
        commands(main, session, roster) {}

  bool Start() {
    instanceMutex = CreateMutexW(nullptr, FALSE, kInstanceMutex);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      wchar_t path[MAX_PATH] = {};
      GetModuleFileNameW(nullptr, path, MAX_PATH);
      std::wstring exe = path;
      exe = exe.substr(exe.find_last_of(L"\\/") + 1);
      ShowMessageBox(nullptr, AnotherInstanceBox(Narrow(exe)));
      return false;
    }
    OsVersion version = QueryOsVersion();
    session.Startup(cSystemInfo(version.ok, version.major, version.minor).WinVersion());
    MainWindowLook look{!settings::PlainLook(registry), options.programDir};
    bool loaded = main.Load(look, this);
    timers.SetWindow(main.hwnd());
    if (!loaded) {
      session.StartupFailed();
      return false;
    }
    session.FinishStartup();
    return true;
  }

  // MainWindowEvents
  void OnCommand(MainCommand command) override {
    switch (command) {
      case MainCommand::mnuEditProfile: commands.mnuEditProfile_Click(); break;
      case MainCommand::mnuPreferences: commands.mnuPreferences_Click(); break;
      case MainCommand::mnuLogin: commands.mnuLogin_Click(); break;
      case MainCommand::mnuDisconnect: commands.mnuDisconnect_Click(); break;
      case MainCommand::mnuExit: commands.mnuExit_Click(); break;
      case MainCommand::mnuOnline: commands.mnuOnline_Click(); break;
      case MainCommand::mnuNewAway: commands.mnuNewAway_Click(); break;
      case MainCommand::mnuInvisible: commands.mnuInvisible_Click(); break;
      case MainCommand::mnuGetHelp: commands.mnuGetHelp_Click(); break;
      case MainCommand::mnuFaq: commands.mnuFaq_Click(); break;
      case MainCommand::mnuAbout: commands.mnuAbout_Click(); break;
      case MainCommand::mnuGameDetails: commands.mnuGameDetails_Click(); break;
      case MainCommand::mnuResumeGame: commands.mnuResumeGame_Click(); break;
      case MainCommand::mnuRemoveGame: commands.mnuRemoveGame_Click(); break;
      case MainCommand::mnuRemUser: commands.mnuRemUser_Click(); break;
      case MainCommand::mnuSuspend: commands.mnuSuspend_Click(); break;
      case MainCommand::mnuUnsuspend: commands.mnuUnsuspend_Click(); break;
      case MainCommand::mnuChangePass: commands.mnuChangePass_Click(); break;
      case MainCommand::mnuViewProfile: commands.mnuViewProfile_Click(); break;
      case MainCommand::mnuIgnore: commands.mnuIgnore_Click(); break;
      case MainCommand::toolButton1: commands.barTool_ButtonClick(1); break;
      case MainCommand::toolButton2: commands.barTool_ButtonClick(2); break;
      case MainCommand::toolButton3: commands.barTool_ButtonClick(3); break;
      case MainCommand::toolItem: break;
    }
  }
  void OnToolbarItem(const std::string& text) override { commands.barTool_ButtonMenuClick(text); }
  void OnTreeDoubleClick() override { commands.tvObjects_DblClick(); }
  void OnTreeRightClick() override { commands.tvObjects_MouseUp(2); }
  void OnStatusPanelClick() override { commands.barStatus_PanelClick(); }
  void OnTrayMouse(const std::string& action) override { commands.TrayMouse(action); }
  bool OnCloseRequested() override { return session.MainWindowCloseRequested(); }
  void OnTimer(UINT_PTR id) override { session.TimerFired(static_cast<int>(id)); }
  void OnDeferred(int what) override {
    if (what == kDeferLogin) {
      LoginWindow login(registry, session, main);
      login.ShowModal(main.hwnd());
    } else if (what == kDeferAbout) {
      frmAbout about;
      about.ShowModal(main.hwnd(), reinterpret_cast<HICON>(GetClassLongPtrW(main.hwnd(), GCLP_HICON)),
                      [this] { commands.AboutWebSite_Click(); });
    }
  }

  ClientOptions options;
  HANDLE instanceMutex = nullptr;
  Win32Registry registryBackend;
  frmMain main;
  Registry registry;
  WindowTimers timers;
  WinsockLobbySocket socket;
  RosterModel roster;
  SessionController session;
  MainCommands commands;
};

ClientApp::ClientApp(ClientOptions options)
    : parts_(std::make_unique<Parts>(std::move(options))) {}

ClientApp::~ClientApp() {
  if (parts_ && parts_->instanceMutex) CloseHandle(parts_->instanceMutex);
}

HWND ClientApp::MainWindow() const { return parts_->main.hwnd(); }

bool ClientApp::Start() { return parts_->Start(); }

void ClientApp::InjectData(const std::string& bytes) { parts_->session.OnDataArrival(bytes); }

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
