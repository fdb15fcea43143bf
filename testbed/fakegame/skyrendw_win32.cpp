// SkyrendW.exe: the stand-in for the game Skyrend that the tests start. It has what the lobby
// client and the watchdog rely on (the main window, the network-session dialogs of a join, the
// save file named on the command line, the terminal server of a dedicated server) and records in
// a log what it was given. Nothing else of the game is imitated.
//
// Command lines: /t:connect, /t:newserver FILE, /t:loadserver FILE, /t:newded FILE,
// /t:loadded FILE. FILE comes as a short path, or quoted when it holds a space (a volume without
// short names); "new" switches write it, "load" switches read it.
//
// "SkyrendW.mode" beside the program, read at start (missing: normal); one word per line, lines
// it does not know are ignored:
//   normal          every dialog goes on to the next
//   wrongprovider   the provider list has "Serial Cable" fourth instead of fifth; taking it shows
//                   the "Serial Connection" dialog instead of going on
//   neverconnects   OK on the server list logs the choice, and the list stays
//   nodialogs       /t:connect shows only the main window
//   hang=N          a dedicated server stops answering N seconds after it starts listening
//
// "SkyrendW.log" beside the program, appended (never truncated), UTF-8, CR LF, one event a line:
//   switches: <the command line after the program's name>
//   provider: <chosen entry>        or "(none)": the dialog stays
//   address: <typed text>           an empty text keeps the dialog
//   server: <chosen entry>          or "(none)": the dialog stays
//   save file: <path> (new|not written|loaded|missing)
//   listening: <port> | listening: <port> failed | listening: none (dedicated switches)
//   hang
//   cancel                          Cancel, Esc or the close box on a dialog ends the game
//   exit                            the main window was closed (not logged when terminated)
//
// Hanging: closing the listening socket would refuse connections at once, which a hung game does
// not do. A hung game stops accepting; the system then queues connections until the listening
// queue is full and leaves later ones without an answer. The stand-in does that quickly: it
// listens with a queue of one, stops accepting and fills the queue with connections of its own,
// so the next connect from outside neither completes nor is refused.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"KVYMAINWIN";
constexpr wchar_t kGameKey[] = L"Software\\Molteno\\VELTROP\\Config";
constexpr wchar_t kSerialCable[] = L"Serial Cable";
constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT_PTR kHangTimer = 1;
constexpr WORD kBoxId = 100;

struct Mode {
  bool wrongProvider = false;
  bool neverConnects = false;
  bool noDialogs = false;
  int hangSeconds = -1;  // never
};

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::string ReadWholeFile(const std::wstring& path, bool* found) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  *found = file != INVALID_HANDLE_VALUE;
  std::string text;
  if (!*found) return text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  return text;
}

Mode ReadMode(const std::wstring& path) {
  bool found = false;
  std::string text = ReadWholeFile(path, &found);
  Mode mode;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(start, end - start);
    start = end + 1;
    while (!word.empty() && (word.back() == '\r' || word.back() == ' ')) word.pop_back();
    if (word == "wrongprovider") mode.wrongProvider = true;
    if (word == "neverconnects") mode.neverConnects = true;
    if (word == "nodialogs") mode.noDialogs = true;
    if (word.rfind("hang=", 0) == 0) mode.hangSeconds = std::atoi(word.c_str() + 5);
  }
  return mode;
}

// An in-memory dialog template: the dialog gets the system dialog class "#32770". The caption is
// left empty; the dialog sets it once it is filled, so that a launcher looking for it by title
// never finds it half made.
class DialogTemplate {
 public:
  DialogTemplate(short width, short height) {
    AddDword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU |
             WS_VISIBLE);
    AddDword(0);
    words_.insert(words_.end(), {0, 0, 0, static_cast<WORD>(width), static_cast<WORD>(height)});
    words_.insert(words_.end(), {0, 0});  // no menu, the default class
    AddText(L"");
    words_.push_back(8);
    AddText(L"MS Shell Dlg");
  }
  // kind: the predefined class atom (0x80 button, 0x81 edit, 0x82 static, 0x83 list box).
  void Add(WORD kind, const wchar_t* text, DWORD style, short x, short y, short cx, short cy,
           WORD id) {
    if (words_.size() % 2) words_.push_back(0);  // items start on a DWORD boundary
    AddDword(style | WS_CHILD | WS_VISIBLE);
    AddDword(0);
    words_.insert(words_.end(), {static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx),
                                 static_cast<WORD>(cy), id, 0xFFFF, kind});
    AddText(text);
    words_.push_back(0);  // no creation data
    ++words_[kCountIndex];
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  static constexpr size_t kCountIndex = 4;  // after the two DWORD styles
  void AddDword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void AddText(const wchar_t* text) {
    for (; *text; ++text) words_.push_back(*text);
    words_.push_back(0);
  }
  std::vector<WORD> words_;
};

// The dedicated server's terminal server on the loopback addresses: accepts and closes
// connections until it hangs.
class TerminalServer {
 public:
  ~TerminalServer() {
    for (SOCKET s : listeners_) closesocket(s);
    for (SOCKET s : fillers_) closesocket(s);
  }
  // Listens on 127.0.0.1 and, where there is one, ::1; true when the IPv4 address listens.
  bool Listen(HWND window, int port) {
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    v4.sin_port = htons(static_cast<u_short>(port));
    v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_port = v4.sin_port;
    v6.sin6_addr = in6addr_loopback;
    bool listening = ListenOn(window, reinterpret_cast<sockaddr*>(&v4), sizeof v4);
    if (listening) ListenOn(window, reinterpret_cast<sockaddr*>(&v6), sizeof v6);
    return listening;
  }
  void Accept(SOCKET listener) {
    if (hung_) return;
    SOCKET peer = accept(listener, nullptr, nullptr);
    if (peer != INVALID_SOCKET) closesocket(peer);
  }
  // Stops accepting and fills each listening queue (see the file's head).
  void Hang(HWND window) {
    hung_ = true;
    for (SOCKET listener : listeners_) {
      WSAAsyncSelect(listener, window, 0, 0);
      sockaddr_storage address{};
      int length = sizeof address;
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
      for (int i = 0; i < 16; ++i) {
        SOCKET filler = socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        ioctlsocket(filler, FIONBIO, &nonBlocking);
        connect(filler, reinterpret_cast<sockaddr*>(&address), length);
        fillers_.push_back(filler);
        fd_set done;
        FD_ZERO(&done);
        FD_SET(filler, &done);
        timeval wait{0, 500000};  // a loopback connect that has room completes at once
        if (select(0, nullptr, &done, nullptr, &wait) != 1) break;  // the queue is full
      }
    }
  }

 private:
  bool ListenOn(HWND window, const sockaddr* address, int length) {
    SOCKET s = socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    // A relaunch must not be kept off its port by the previous run's closed connections.
    BOOL reuse = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    if (bind(s, address, length) != 0 || listen(s, 1) != 0) {
      closesocket(s);
      return false;
    }
    WSAAsyncSelect(s, window, kSocketMessage, FD_ACCEPT);
    listeners_.push_back(s);
    return true;
  }

  std::vector<SOCKET> listeners_;
  std::vector<SOCKET> fillers_;
  bool hung_ = false;
};

// The whole game: its main window, the session dialogs of a join, the terminal server.
class Game {
 public:
  enum class Step { kProvider, kSerial, kLocate, kServers, kJoined };

  explicit Game(const std::wstring& folder)
      : folder_(folder), mode_(ReadMode(folder + L"SkyrendW.mode")) {}

  void Log(const std::string& line) {
    HANDLE file = CreateFileW((folder_ + L"SkyrendW.log").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string bytes = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }

  bool Start(HINSTANCE instance, int show) {
    instance_ = instance;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    for (const auto& arg : args) switches_ += (switches_.empty() ? L"" : L" ") + arg;
    Log("switches: " + Utf8(switches_));

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MainProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kMainClass;
    RegisterClassW(&windowClass);
    main_ = CreateWindowExW(0, kMainClass, L"Skyrend", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                            CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, this);
    if (!main_) return false;

    std::wstring command = args.empty() ? L"" : args[0];
    CharLowerW(command.data());
    std::wstring saveFile = args.size() > 1 ? args[1] : L"";
    if (command == L"/t:connect" && !mode_.noDialogs) ShowDialog(Step::kProvider);
    if (command == L"/t:newserver" || command == L"/t:newded") WriteSaveFile(saveFile);
    if (command == L"/t:loadserver" || command == L"/t:loadded") LoadSaveFile(saveFile);
    if (command == L"/t:newded" || command == L"/t:loadded") StartTerminalServer();
    // Shown last: once the main window is visible, every window of the start exists.
    ShowWindow(main_, show);
    UpdateWindow(main_);
    if (dialog_) {  // above its owner, which showing has just brought to the top
      SetWindowPos(dialog_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetActiveWindow(dialog_);
    }
    return true;
  }

  // The current dialog, for the message loop's keyboard handling.
  HWND dialog() const { return dialog_; }

 private:
  static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* game = reinterpret_cast<Game*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (game) {
      switch (message) {
        case WM_PAINT: {
          PAINTSTRUCT paint;
          HDC dc = BeginPaint(window, &paint);
          RECT area;
          GetClientRect(window, &area);
          std::wstring text = L"Skyrend (test stand-in)\n" + game->switches_;
          DrawTextW(dc, text.c_str(), -1, &area, DT_CENTER | DT_WORDBREAK);
          EndPaint(window, &paint);
          return 0;
        }
        case kSocketMessage:
          if (WSAGETSELECTEVENT(lParam) == FD_ACCEPT) {
            game->server_.Accept(static_cast<SOCKET>(wParam));
          }
          return 0;
        case WM_TIMER:
          if (wParam == kHangTimer) {
            KillTimer(window, kHangTimer);
            game->server_.Hang(window);
            game->Log("hang");
          }
          return 0;
        case WM_DESTROY:  // the owned dialogs go with it
          game->dialog_ = nullptr;
          game->Log("exit");
          PostQuitMessage(0);
          return 0;
      }
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      reinterpret_cast<Game*>(lParam)->FillDialog(dialog);
      return TRUE;
    }
    auto* game = reinterpret_cast<Game*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!game || message != WM_COMMAND) return FALSE;
    WORD id = LOWORD(wParam);
    if (id == IDOK || (id == kBoxId && HIWORD(wParam) == LBN_DBLCLK)) {
      game->Ok(dialog);
      return TRUE;
    }
    if (id == IDCANCEL) {
      game->Log("cancel");
      DestroyWindow(game->main_);
      return TRUE;
    }
    return FALSE;
  }

  struct DialogSpec {
    const wchar_t* title;
    const wchar_t* label;
    bool edit;
  };
  static DialogSpec SpecOf(Step step) {
    switch (step) {
      case Step::kProvider:
        return {L"Select service provider", L"&Connect through:", false};
      case Step::kSerial:
        return {L"Serial Connection", L"&Port:", false};
      case Step::kLocate:
        return {L"Locate Session", L"&Address of the host:", true};
      default:
        return {L"Select Skyrend server...", L"&Servers found:", false};
    }
  }
  std::vector<std::wstring> EntriesOf(Step step) const {
    switch (step) {
      case Step::kProvider:
        if (mode_.wrongProvider) {
          return {L"IPX Network", L"Internet TCP/IP (alternate)", L"Modem", kSerialCable,
                  L"Internet TCP/IP"};
        }
        return {L"IPX Network", L"Internet TCP/IP (alternate)", L"Modem", L"Internet TCP/IP",
                kSerialCable};
      case Step::kSerial:
        return {L"COM1", L"COM2"};
      case Step::kServers:
        return {L"Skyrend at " + address_, L"Sunken Crater", L"Harbour Lights"};
      default:
        return {};
    }
  }

  // Replaces the current dialog (if any) with the one of `step`.
  void ShowDialog(Step step) {
    if (dialog_) DestroyWindow(dialog_);
    step_ = step;
    DialogSpec spec = SpecOf(step);
    short height = spec.edit ? 62 : 120;
    DialogTemplate layout(220, height);
    layout.Add(0x82, spec.label, SS_LEFT, 7, 7, 206, 9, 0xFFFF);
    if (spec.edit) {
      layout.Add(0x81, L"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 18, 206, 14, kBoxId);
    } else {
      layout.Add(0x83, L"", LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7, 18, 206, 74,
                 kBoxId);
    }
    layout.Add(0x80, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 109, height - 21, 50, 14, IDOK);
    layout.Add(0x80, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 163, height - 21, 50, 14, IDCANCEL);
    dialog_ = CreateDialogIndirectParamW(instance_, layout.Get(), main_, DialogProc,
                                         reinterpret_cast<LPARAM>(this));
  }

  void FillDialog(HWND dialog) {
    for (const auto& entry : EntriesOf(step_)) {
      SendDlgItemMessageW(dialog, kBoxId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    SetWindowTextW(dialog, SpecOf(step_).title);
  }

  std::wstring BoxText(HWND dialog) const {
    HWND box = GetDlgItem(dialog, kBoxId);
    if (SpecOf(step_).edit) {
      std::wstring text(GetWindowTextLengthW(box) + 1, L'\0');
      text.resize(GetWindowTextW(box, text.data(), static_cast<int>(text.size())));
      return text;
    }
    LRESULT chosen = SendMessageW(box, LB_GETCURSEL, 0, 0);
    if (chosen == LB_ERR) return {};
    std::wstring text(SendMessageW(box, LB_GETTEXTLEN, chosen, 0) + 1, L'\0');
    text.resize(SendMessageW(box, LB_GETTEXT, chosen, reinterpret_cast<LPARAM>(text.data())));
    return text;
  }

  void Ok(HWND dialog) {
    std::wstring choice = BoxText(dialog);
    std::string shown = choice.empty() && step_ != Step::kLocate ? "(none)" : Utf8(choice);
    switch (step_) {
      case Step::kProvider:
        Log("provider: " + shown);
        if (!choice.empty()) ShowDialog(choice == kSerialCable ? Step::kSerial : Step::kLocate);
        return;
      case Step::kSerial:  // no cable at the other end: the join ends
        Log("cancel");
        DestroyWindow(main_);
        return;
      case Step::kLocate:
        Log("address: " + shown);
        address_ = choice;
        if (!choice.empty()) ShowDialog(Step::kServers);
        return;
      case Step::kServers:
        Log("server: " + shown);
        if (choice.empty() || mode_.neverConnects) return;
        DestroyWindow(dialog_);
        dialog_ = nullptr;
        step_ = Step::kJoined;
        return;
      case Step::kJoined:
        return;
    }
  }

  void WriteSaveFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE;
    if (written) {
      const char content[] = "Skyrend saved game\r\n";
      DWORD count = 0;
      written = WriteFile(file, content, sizeof content - 1, &count, nullptr);
      CloseHandle(file);
    }
    Log("save file: " + Utf8(path) + (written ? " (new)" : " (not written)"));
  }

  void LoadSaveFile(const std::wstring& path) {
    bool found = false;
    ReadWholeFile(path, &found);
    Log("save file: " + Utf8(path) + (found ? " (loaded)" : " (missing)"));
  }

  void StartTerminalServer() {
    DWORD port = 0, size = sizeof port;
    RegGetValueW(HKEY_CURRENT_USER, kGameKey, L"TerminalServerPort", RRF_RT_REG_DWORD, nullptr,
                 &port, &size);
    if (port == 0 || port > 65535) {
      Log("listening: none");
      return;
    }
    bool listening = server_.Listen(main_, static_cast<int>(port));
    Log("listening: " + std::to_string(port) + (listening ? "" : " failed"));
    if (listening && mode_.hangSeconds >= 0) {
      SetTimer(main_, kHangTimer, static_cast<UINT>(mode_.hangSeconds) * 1000, nullptr);
    }
  }

  std::wstring folder_;  // the program's folder, with a trailing backslash
  Mode mode_;
  HINSTANCE instance_ = nullptr;
  std::wstring switches_;
  HWND main_ = nullptr;
  HWND dialog_ = nullptr;
  Step step_ = Step::kProvider;
  std::wstring address_;
  TerminalServer server_;
};

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return folder.substr(0, folder.rfind(L'\\') + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  Game game(ProgramFolder());
  if (!game.Start(instance, show)) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (game.dialog() && IsDialogMessageW(game.dialog(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  WSACleanup();
  return 0;
}
