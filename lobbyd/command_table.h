// The lobby's one table of commands: each area of rules adds its own, by name, with whether it
// may be sent before signing in, after, or both, and which flood control it is under. The lobby
// looks a line's name up here.
#pragma once

#include <cassert>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "lobbyd/flood.h"
#include "lobbyd/participant.h"

namespace lobbyd {

class CommandTable {
 public:
  using Handler = std::function<void(Participant& session, const std::string& args)>;
  enum class When { kBeforeSignIn, kSignedIn, kEither };
  // A command under flood control: the kind of bucket it takes from, and the whole line that
  // answers it when it is dropped. A command that has an answer is never left without one, so
  // the refusal is empty only where the protocol has no answer at all (chat).
  struct Limit {
    FloodKind kind;
    std::string refusal;
  };
  struct Command {
    When when;
    Handler handler;
    std::optional<Limit> limit;
  };

  // `name` must outlive the table (the protocol's names do).
  void Add(std::string_view name, When when, Handler handler,
           std::optional<Limit> limit = std::nullopt) {
    [[maybe_unused]] bool added =
        commands_.emplace(name, Command{when, std::move(handler), std::move(limit)}).second;
    assert(added && "a command is handled by one area only");
  }
  template <typename Rules>
  void Add(std::string_view name, When when, Rules* rules,
           void (Rules::*handler)(Participant&, const std::string&),
           std::optional<Limit> limit = std::nullopt) {
    Add(
        name, when,
        [rules, handler](Participant& session, const std::string& args) {
          (rules->*handler)(session, args);
        },
        std::move(limit));
  }

  // The command `name` for a pilot signed in or not; null when it has none then.
  const Command* Find(std::string_view name, bool signedIn) const {
    auto it = commands_.find(name);
    if (it == commands_.end()) return nullptr;
    When when = it->second.when;
    if (when != When::kEither && (when == When::kSignedIn) != signedIn) return nullptr;
    return &it->second;
  }

 private:
  std::unordered_map<std::string_view, Command> commands_;
};

}  // namespace lobbyd
