// What the roster model needs of the tree control tvObjects: the model decides every node and
// mirrors each change here, in the same order, so the control never holds a rule of its own.
// Implemented by the main window; tests record the calls. UI thread only.
#pragma once

#include <cstdint>
#include <string>

namespace cv3 {

// One node of the roster tree as the view shows it. Group nodes have an empty parentKey.
struct RosterNode {
  std::string key;
  std::string parentKey;
  std::string text;
  int image = 0;
  std::string tag;         // "user", "game" or empty for a group
  uint32_t foreColor = 0;  // 0xRRGGBB as the roster colours are written (0xF8F8F8, 0x808080, 0)
  bool bold = false;
  bool operator==(const RosterNode&) const = default;
};

class RosterView {
 public:
  virtual ~RosterView() = default;
  // Removes every node.
  virtual void TreeClear() = 0;
  // Adds a node as the last child of parentKey (a root node when parentKey is empty). The model
  // has already refused duplicate keys and missing parents, so the view adds unconditionally;
  // the result is only for the view's own failures and the model ignores it.
  virtual bool TreeAdd(const RosterNode& node) = 0;
  virtual void TreeRemove(const std::string& key) = 0;
  virtual void TreeSetImage(const std::string& key, int image) = 0;
  // Sets the four group nodes sorted (children in alphabetical order of their text from now
  // on), then expands each.
  virtual void TreeSortAndExpandGroups() = 0;
  // The key of the selected node (SelectedItem); empty when none is selected. Commands act on
  // this node, never on the one under the mouse pointer.
  virtual std::string SelectedNodeKey() = 0;
};

}  // namespace cv3
