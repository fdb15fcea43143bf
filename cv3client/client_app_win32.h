// The client program: builds the registry, the socket, the main window and the controllers,
// wires the window's events to them, and runs the message loop. WinMain creates one.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace cv3 {

struct ClientOptions {
  std::wstring programDir;  // pictures and sounds live below it
};

class ClientApp {
 public:
  explicit ClientApp(ClientOptions options);
  ~ClientApp();
  // Start-up, the message loop, and the end. Returns the program's exit code.
  int Run();

  // For in-process tests: the main window once Run has created it (or Start below).
  HWND MainWindow() const;
  // Start-up without the loop, for tests that pump messages themselves; false when the
  // program would end at once (a second copy, a failed load).
  bool Start();
  // Hands bytes to the session as if the socket had received them.
  void InjectData(const std::string& bytes);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace cv3
