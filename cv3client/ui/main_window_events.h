// What frmMain reports to the core: its commands by id, the tree's clicks, the status bar, the
// tray icon and the close box. ClientCore implements it. UI thread only.
#pragma once

#include <string>

#include "cv3client/ui/main_commands.h"

namespace cv3 {

class MainWindowEvents {
 public:
  virtual void OnCommand(MainCommand command) = 0;
  // The tree, on its selected node (RosterView::SelectedNodeKey).
  virtual void OnTreeDoubleClick() = 0;
  virtual void OnTreeRightClick() = 0;
  virtual void OnStatusPanelClick() = 0;
  virtual void OnToolbarDropDown(int button) = 0;           // 1 to 3, before its menu opens
  virtual void OnTrayMouse(const std::string& action) = 0;  // "LEFTDOUBLE", "RIGHTUP", ...
  // The close box: true lets the window be destroyed, false keeps it (hidden to the tray).
  virtual bool OnCloseRequested() = 0;

 protected:
  ~MainWindowEvents() = default;
};

}  // namespace cv3
