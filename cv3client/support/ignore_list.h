// The ignore list, the setting "Ignored": pilot names, each followed by "," ("alice,bob,"). One
// type for every reader and writer (the roster, the chat, Ignore User, the preferences), so that a
// pilot is silenced exactly when he is greyed. Portable; UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/registry.h"

namespace cv3 {

class IgnoreList {
 public:
  enum class AddResult { kAdded, kAlreadyPresent, kUnusableName };

  IgnoreList() = default;
  // Entries as they stand (the preferences' list box), in order.
  explicit IgnoreList(std::vector<std::string> entries);
  // The stored text cut at each ","; the last name may lack its comma. The empty text (and a
  // missing value, which readers turn into it) is the empty list.
  static IgnoreList Parse(std::string_view stored);

  // Whether the name equals a whole entry, ignoring case as names are compared everywhere else
  // ("alice" silences Alice but not lic). A name holding "," is never an entry: stored, it would
  // be read back as two names.
  bool Contains(std::string_view name) const;
  // Appends the name unless it is empty, holds ",", or is already present.
  AddResult Add(std::string_view name);
  // Every entry followed by ","; the empty list gives the empty text.
  std::string Format() const;

  const std::vector<std::string>& Names() const { return names_; }

 private:
  std::vector<std::string> names_;          // stored order
  std::unordered_set<std::string> folded_;  // the names as Contains compares them
};

// "Ignored" as stored; a missing value is the empty list. So is a value too long for its read
// buffer, which then silences nobody: such a reading is never to be written back.
IgnoreList ReadIgnoreList(Registry& registry);
// "Ignored" to be changed and written back: as ReadIgnoreList, but nothing for a value that is
// there and cannot be read, which a writer must leave as it is (written back, the list would hold
// only the new names).
std::optional<IgnoreList> ReadIgnoreListToChange(Registry& registry);
void WriteIgnoreList(Registry& registry, const IgnoreList& list);

}  // namespace cv3
