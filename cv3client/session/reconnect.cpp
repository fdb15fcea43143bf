#include "cv3client/session/reconnect.h"

#include <utility>

#include "cv3client/session/session_controller.h"

namespace cv3 {

void ReconnectController::Open() {
  if (open_) return;
  open_ = true;
  attempts_ = 1;
  countdown_ = kReconnectCountdown;
  parts_.status.SetLogoCaption(std::string(kStatusConnecting));
  parts_.status.SetStatusText(std::string(kStatusConnecting));
  parts_.timers.StartTimer(kReconnectTimerId, kReconnectTickMs, [this] { Tick(); });
  parts_.deferral.Defer([this] { ShowWindow(); });
}

void ReconnectController::ShowWindow() {
  // A connection may have come, or the player cancelled, before the loop got here.
  if (!open_ || view_ || !parts_.makeView) return;
  std::unique_ptr<ReconnectView> view = parts_.makeView();
  if (!view) return;
  ReconnectView* shown = view.get();
  view_ = shown;
  shown->SetCountText(CountText());
  shown->SetRetryText(RetryText());
  shown->ShowModal(*this);
  // A new window may already stand in for this one (a failure right after a close).
  if (view_ == shown) view_ = nullptr;
}

void ReconnectController::Tick() {
  if (!open_) return;
  --countdown_;
  if (view_) view_->SetRetryText(RetryText());
  if (countdown_ > 0) return;
  parts_.timers.StopTimer(kReconnectTimerId);
  ++attempts_;
  if (view_) view_->SetCountText(CountText());
  // An attempt still pending after 13 s is given up for a fresh one: the socket takes a new
  // Connect only when closed, and the counter counts started attempts.
  auto [host, port] = parts_.lastServer();
  parts_.socket.Close();
  parts_.socket.Connect(host, port);
  parts_.timers.StartTimer(kReconnectTimerId, kReconnectTickMs, [this] { Tick(); });
  countdown_ = kReconnectCountdown;
}

void ReconnectController::Close() {
  if (open_) Unload();
}

void ReconnectController::cmdCancel_Click() {
  if (!open_) return;
  // A player who cancelled is not signed in a minute later by an attempt still under way.
  parts_.socket.Close();
  Unload();
}

void ReconnectController::Unload() {
  open_ = false;
  parts_.timers.StopTimer(kReconnectTimerId);
  parts_.status.SetLogoCaption(std::string(kLogoIdle));
  parts_.status.SetStatusText(std::string(kStatusNotConnected));
  if (ReconnectView* view = std::exchange(view_, nullptr)) view->Unload();
}

std::string ReconnectController::CountText() const {
  return std::string(kReconnectCountPrefix) + std::to_string(attempts_);
}

std::string ReconnectController::RetryText() const {
  return std::string(kRetryConnectPrefix) + std::to_string(countdown_);
}

}  // namespace cv3
