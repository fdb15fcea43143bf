#include "cv3client/games/game_details.h"

#include "common/game_installation.h"
#include "protocol/catalogue.h"
#include "protocol/text_helpers.h"

namespace cv3 {

std::string PlayersCaption(size_t count) { return "Players (" + std::to_string(count) + "/13)"; }

void GameDetailsController::Register(Dispatcher& dispatcher) {
  dispatcher.On(std::string(msg::kGameInfoAck),
                [this](const std::string& args) { OnGameInfoAck(args); });
}

void GameDetailsController::OnGameInfoAck(std::string_view args) {
  // The window exists from the first line that touches it, before or after "OK".
  if (!view_ && !MakeWindow()) return;
  if (args == msg::kOk) {
    if (showing_) return;
    showing_ = true;
    parts_.deferral.Defer([this] { ShowWindow(); });
    return;
  }
  if (!ApplyGameInfoLine(details_, args)) return;  // keys outside the table are ignored
  GameDetails shown = details_;
  shown.game.description = ParagraphsToLineBreaks(details_.game.description);
  view_->SetDetails(shown);
  if (TextBefore(args, ":") == kGameNameKey) {
    view_->SetCaption(details_.game.name + std::string(kGameDetailsSuffix));
  }
  view_->SetPlayersCaption(PlayersCaption(details_.players.size()));
  view_->SetPlayEnabled(details_.up);
}

bool GameDetailsController::MakeWindow() {
  view_ = parts_.makeView ? parts_.makeView() : nullptr;
  if (!view_) return false;
  details_ = {};
  showing_ = false;
  view_->SetCaption(std::string(kGameDetailsCaption));
  view_->SetPlayersCaption(PlayersCaption(0));
  view_->SetPlayEnabled(false);
  return true;
}

void GameDetailsController::ShowWindow() {
  if (!view_) return;
  view_->ShowModal(*this);
  // Play or Cancel unloaded it: the next answer starts from a fresh window.
  view_.reset();
  showing_ = false;
}

void GameDetailsController::cmdPlay_Click() {
  InstalledGame installed = ReadInstalledGame(parts_.registry);
  if (!InstallationComplete(parts_.files, installed)) {
    view_->ShowMessage(NotInstalledBox());
    return;
  }
  if (installed.version != details_.game.version) {
    view_->ShowMessage(WarningBox(std::string(kVersionMismatchText)));
    return;
  }
  parts_.starter.StartJoin(installed.runPath, details_.game.address);
  view_->Unload();
}

void GameDetailsController::cmdCancel_Click() { view_->Unload(); }

}  // namespace cv3
