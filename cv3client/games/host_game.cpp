#include "cv3client/games/host_game.h"

#include "cv3client/games/game_details.h"
#include "protocol/catalogue.h"
#include "protocol/cp1252.h"
#include "protocol/text_helpers.h"

namespace cv3 {
namespace {

constexpr std::string_view kGuardFile = "\\cv3guard.exe";
constexpr std::string_view kSaveExtension = ".sav";

MessageBoxSpec Box(std::string_view text, const char* title, BoxIcon icon) {
  return {std::string(text), title, icon, BoxButtons::kOk};
}

}  // namespace

std::string SaveFileNameOf(std::string_view gameName) {
  constexpr std::u32string_view kDropped = U"'|><\"?:*/\\";
  std::string name;
  for (size_t pos = 0; pos < gameName.size();) {
    char32_t c = NextCodePoint(gameName, pos);
    // Control characters (C0, DEL, C1) would reach a file name and a command line.
    bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    if (c == U' ') {
      name += '_';
    } else if (!control && kDropped.find(c) == std::u32string_view::npos) {
      AppendUtf8(name, c);
    }
  }
  return name;
}

std::string HostAddressOf(std::string_view localAddress) {
  constexpr std::string_view kMappedPrefix = "::ffff:";
  if (localAddress.find(':') == std::string_view::npos) return std::string(localAddress);
  if (localAddress.size() > kMappedPrefix.size() &&
      SameName(localAddress.substr(0, kMappedPrefix.size()), kMappedPrefix)) {
    std::string_view ipv4 = localAddress.substr(kMappedPrefix.size());
    if (ipv4.find(':') == std::string_view::npos && ipv4.find('.') != std::string_view::npos) {
      return std::string(ipv4);
    }
  }
  return {};
}

std::optional<MessageBoxSpec> HostEntriesRefusal(const HostedGame& entries, bool guardPresent) {
  if (!IsSafeText(entries.name) || !IsSafeName(entries.address)) {
    return WarningBox(std::string(kDisallowedText));
  }
  if (TrimSpaces(entries.address).empty()) return WarningBox(std::string(kNoAddressText));
  // Only the first group counts: 172.16.x.x and 100.x.x.x pass.
  std::string firstGroup = TextBefore(entries.address, ".");
  if (firstGroup == "192" || firstGroup == "127" || firstGroup == "10") {
    return Box(kInternalAddressText, "Networking Error", BoxIcon::kExclamation);
  }
  if (!guardPresent && entries.dedicated) return ErrorBox(std::string(kNoGuardText));
  return std::nullopt;
}

void WriteHostSettings(Registry& registry, const HostedGame& entries) {
  for (size_t i = 0; i < std::size(kAnnounceItems); ++i) {
    if (entries.announcement == kAnnounceItems[i]) {
      registry.SetDWord(kGameKey, "PlayerAnnounce", static_cast<int32_t>(i));
    }
  }
  const std::pair<std::string_view, bool> values[] = {
      {"IncludeCPU", entries.includeCpus},       {"RestrictAlpha", entries.restrictAlpha},
      {"MothHopping", entries.mothHopping},      {"CashOnKill", entries.bloodMoney},
      {"PersistentGame", entries.dedicated},     {"PilotPasswords", entries.passwords},
      {"LinkAllowGodHangar", entries.godHanger}, {"LogFile", entries.fileLogging},
      {"GameDebugLog", entries.fullDebug}};
  for (const auto& [name, on] : values) registry.SetDWord(kGameKey, name, on ? 1 : 0);
  registry.SetDWord(kGameKey, kTerminalServerPort, kHostTerminalServerPort);
}

void HostGameController::Register(Dispatcher& dispatcher) {
  using S = const std::string&;
  dispatcher.On(std::string(msg::kHostGameAck), [this](S args) { OnHostGameAck(args); });
  dispatcher.On(std::string(msg::kResumeInfoAck), [this](S args) { OnResumeInfoAck(args); });
  dispatcher.On(std::string(msg::kResumeGameAck), [this](S args) { OnResumeGameAck(args); });
}

void HostGameController::Open() {
  // A window left hidden by an unfinished resume is not offered for hosting.
  if (view_ && mode_ == Mode::kResume && !showing_) UnloadWindow();
  if (!view_ && !MakeWindow()) return;
  ShowLater();
}

bool HostGameController::MakeWindow() {
  view_ = parts_.makeView ? parts_.makeView() : nullptr;
  if (!view_) return false;
  mode_ = Mode::kHost;
  pending_ = showing_ = reshow_ = unload_ = hidden_ = wasShown_ = false;
  std::string own = parts_.ownName ? parts_.ownName() : std::string();
  HostedGame entries;
  entries.name = own + "'s game";
  entries.address = parts_.localAddress ? HostAddressOf(parts_.localAddress()) : std::string();
  entries.version = parts_.registry.GetString(kHostVersionKey, "Version");
  entries.announcement = kDefaultAnnouncement;
  view_->SetCaption(std::string(kHostGameCaption));
  view_->SetHostPlayer(own);
  view_->SetEntries(entries);
  return true;
}

void HostGameController::ShowLater() {
  if (showing_) {
    // Hidden but still inside ShowModal (the answer came during the pause after the send).
    if (hidden_) reshow_ = true;
    return;
  }
  if (pending_) return;
  pending_ = true;
  parts_.deferral.Defer([this] {
    pending_ = false;
    ShowWindow();
  });
}

void HostGameController::ShowWindow() {
  if (!view_ || showing_) return;
  showing_ = wasShown_ = true;
  do {
    reshow_ = hidden_ = false;
    view_->ShowModal(*this);
  } while (reshow_ && !unload_);
  showing_ = false;
  if (unload_) {
    unload_ = false;
    view_.reset();
  }
}

void HostGameController::UnloadWindow() {
  if (!view_) return;
  if (showing_) {
    // Destroyed once ShowModal has returned.
    unload_ = true;
    view_->Unload();
  } else {
    view_->Unload();
    view_.reset();
  }
}

void HostGameController::cmdCancel_Click() { UnloadWindow(); }

void HostGameController::cmdHost_Click() {
  installed_ = ReadInstalledGame(parts_.registry);
  if (!InstallationComplete(parts_.files, installed_)) {
    view_->ShowMessage(NotInstalledBox());
    return;
  }
  HostedGame entries = view_->Entries();
  bool guardPresent = FileExists(parts_.files, parts_.programFolder + std::string(kGuardFile));
  if (auto refusal = HostEntriesRefusal(entries, guardPresent)) {
    view_->ShowMessage(*refusal);
    return;
  }
  WriteHostSettings(parts_.registry, entries);
  if (mode_ == Mode::kResume) {
    // The name came from the server and is locked; the version must be the installed one.
    if (installed_.version != entries.version) {
      view_->ShowMessage(WarningBox(std::string(kResumeVersionText)));
      return;
    }
  } else if (TrimSpaces(entries.name).empty()) {
    view_->ShowMessage(Box(kNoNameText, "Error!", BoxIcon::kExclamation));
    return;
  }
  entries.address = TrimSpaces(entries.address);
  entries.description = LineBreaksToParagraphs(entries.description);
  hidden_ = true;
  view_->Hide();
  std::string line = mode_ == Mode::kResume ? ResumeGameCommand(entries) : HostGameCommand(entries);
  if (parts_.send) parts_.send(line);
}

void HostGameController::OnHostGameAck(std::string_view args) {
  if (args == msg::kOk) {
    StartServer();
    return;
  }
  std::string_view text = args == msg::kDupName   ? kDupNameText
                          : args == msg::kDupAddy ? kDupAddyText
                                                  : std::string_view();
  if (text.empty()) return;
  parts_.messages.ShowMessage(Box(text, "Error!", BoxIcon::kExclamation));
  if (view_) ShowLater();
}

void HostGameController::OnResumeGameAck(std::string_view args) {
  if (args == msg::kOk) StartServer();
}

void HostGameController::OnResumeInfoAck(std::string_view args) {
  if (args == msg::kOk) {
    if (showing_) return;  // the window is in use
    // A window left hidden by an earlier attempt would keep its description: start afresh.
    if (view_ && wasShown_) UnloadWindow();
    if (!view_ && !MakeWindow()) return;
    mode_ = Mode::kResume;
    view_->SetCaption(std::string(kResumeGameCaption));
    view_->SetResumeMode();
    // Resume waits for every stored setting.
    view_->SetHostEnabled(false);
    ShowLater();
    return;
  }
  if (args == msg::kDone) {
    if (view_ && mode_ == Mode::kResume) view_->SetHostEnabled(true);
    return;
  }
  if (args == msg::kNoAccess) {
    parts_.messages.ShowMessage(WarningBox(std::string(kNoAccessText)));
    return;
  }
  if (!view_ && !MakeWindow()) return;
  HostedGame entries = view_->Entries();
  entries.description = LineBreaksToParagraphs(entries.description);
  if (!ApplyResumeInfoLine(entries, args)) return;  // keys outside the table are ignored
  entries.description = ParagraphsToLineBreaks(entries.description);
  view_->SetEntries(entries);
  if (TextBefore(args, ":") == kGameNameKey) {
    view_->SetCaption(entries.name + std::string(kResumeGameSuffix));
  }
}

BoxResult HostGameController::Ask(std::string_view text) {
  return parts_.messages.ShowMessage(
      {std::string(text), "Question", BoxIcon::kNone, BoxButtons::kYesNo});
}

void HostGameController::StartServer() {
  if (!view_) return;
  HostedGame entries = view_->Entries();
  std::string saveFileName = SaveFileNameOf(entries.name) + std::string(kSaveExtension);
  std::string path = installed_.savePath + "\\" + saveFileName;
  int dedicated = entries.dedicated ? 1 : 0;
  GameStarter& starter = parts_.starter;
  bool started = false;
  if (FileExists(parts_.files, path)) {
    if (mode_ == Mode::kResume || Ask(kSaveExistsText) == BoxResult::kYes) {
      started = starter.StartSavedServer(installed_.runPath, installed_.savePath, saveFileName,
                                         dedicated);
    } else if (Ask(kOverwriteText) == BoxResult::kYes) {
      // Not checked: the new server overwrites the file or fails on its own.
      parts_.files.RemoveFile(path);
      started =
          starter.StartNewServer(installed_.runPath, installed_.savePath, saveFileName, dedicated);
    } else {
      return;  // nothing started; the window stays hidden with its entries
    }
  } else {
    if (mode_ == Mode::kResume && Ask(kSaveMissingText) != BoxResult::kYes) return;
    started =
        starter.StartNewServer(installed_.runPath, installed_.savePath, saveFileName, dedicated);
  }
  // A game just listed that nobody serves is taken off the list again. A resumed game keeps
  // its listing: removing it would lose its stored settings.
  if (!started && mode_ == Mode::kHost && parts_.send) {
    parts_.send(FormatLine(msg::kRemGame, entries.name));
  }
  UnloadWindow();
}

}  // namespace cv3
