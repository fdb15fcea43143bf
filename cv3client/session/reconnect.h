// frmReconnect's rules: after a failed session, count down 10 ticks of 1300 ms and try the last
// server again, without end, until a connection stands or the player cancels. The countdown
// starts at once; the window itself opens from the top of the message loop and shows it. Owned
// by ClientCore; UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/deferral.h"
#include "common/timers.h"
#include "cv3client/model/views.h"
#include "cv3client/session/lobby_socket.h"

namespace cv3 {

inline constexpr std::string_view kReconnectCaption = "Connecting to Corvane";
inline constexpr std::string_view kReconnectCountPrefix = "Reconnect count: ";
inline constexpr std::string_view kRetryConnectPrefix = "Retry connect in: ";
inline constexpr int kReconnectTimerId = 7302;  // timeReconTimeout
inline constexpr int kReconnectTickMs = 1300;
inline constexpr int kReconnectCountdown = 10;

// What frmReconnect reports.
class ReconnectEvents {
 public:
  virtual void cmdCancel_Click() = 0;
  virtual void Form_Unload() = 0;  // the close box

 protected:
  ~ReconnectEvents() = default;
};

// What the controller needs of frmReconnect.
class ReconnectView {
 public:
  virtual ~ReconnectView() = default;
  // Shows the window modally over the main window and returns when it is closed; socket events
  // and timer ticks keep being handled meanwhile. `events` outlives the call.
  virtual void ShowModal(ReconnectEvents& events) = 0;
  virtual void SetCountText(const std::string& text) = 0;  // lblRecnctCnt
  virtual void SetRetryText(const std::string& text) = 0;  // lblRetryCnct
  // Ends the modal window; the controller makes no further calls on the view after it.
  virtual void Unload() = 0;
};

class ReconnectController : public ReconnectEvents {
 public:
  struct Parts {
    StatusView& status;
    LobbySocket& socket;
    Timers& timers;
    Deferral& deferral;
    // Makes the window; nullptr when there is none (the countdown runs all the same).
    std::function<std::unique_ptr<ReconnectView>()> makeView;
    // The host and port of the last ConnectToServer.
    std::function<std::pair<std::string, int>()> lastServer;
  };

  explicit ReconnectController(Parts parts) : parts_(std::move(parts)) {}

  // Opens the window and starts the countdown; does nothing while it is open.
  void Open();
  // Closes the window (a connection stands); does nothing when it is not open.
  void Close();
  bool IsOpen() const { return open_; }
  int AttemptCount() const { return attempts_; }
  int Countdown() const { return countdown_; }

  // ReconnectEvents
  void cmdCancel_Click() override;
  void Form_Unload() override { cmdCancel_Click(); }

 private:
  void ShowWindow();
  void Tick();
  void Unload();
  std::string CountText() const;
  std::string RetryText() const;

  Parts parts_;
  bool open_ = false;
  int attempts_ = 1;
  int countdown_ = kReconnectCountdown;
  ReconnectView* view_ = nullptr;  // while the window is shown
};

}  // namespace cv3
