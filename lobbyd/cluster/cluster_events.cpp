#include "lobbyd/cluster/cluster_events.h"

#include <charconv>

namespace lobbyd::cluster {

namespace {

constexpr std::size_t kMaxTokenLength = 64;
constexpr std::size_t kIncarnationDigits = 16;

// The next space-separated field of `line`, consumed; a field may not be empty.
std::optional<std::string_view> NextField(std::string_view& line, bool last) {
  std::size_t end = last ? line.size() : line.find(' ');
  if (end == std::string_view::npos || end == 0) return std::nullopt;
  std::string_view field = line.substr(0, end);
  line.remove_prefix(last ? end : end + 1);
  return field;
}

std::optional<std::uint64_t> ParseNumber(std::string_view text, int base) {
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "NODE INCARNATION SEQUENCE KIND", the incarnation in 16 lower-case hex digits.
std::string HeaderLine(const ClusterEvent& event) {
  char hex[kIncarnationDigits];
  auto end = std::to_chars(hex, hex + kIncarnationDigits, event.incarnation, 16).ptr;
  std::string incarnation(kIncarnationDigits - static_cast<std::size_t>(end - hex), '0');
  incarnation.append(hex, end);
  return event.node + ' ' + incarnation + ' ' + std::to_string(event.sequence) + ' ' + event.kind;
}

}  // namespace

bool IsClusterToken(std::string_view text) {
  if (text.empty() || text.size() > kMaxTokenLength) return false;
  for (char c : text) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::optional<std::string> EncodeEvent(const ClusterEvent& event) {
  if (!IsClusterToken(event.node) || !IsClusterToken(event.kind)) return std::nullopt;
  return HeaderLine(event) + '\n' + event.payload;
}

std::optional<ClusterEvent> DecodeEvent(std::string_view body) {
  std::size_t newline = body.find('\n');
  if (newline == std::string_view::npos) return std::nullopt;
  std::string_view header = body.substr(0, newline);
  std::string_view line = header;
  auto node = NextField(line, false);
  auto incarnation = NextField(line, false);
  auto sequence = NextField(line, false);
  auto kind = NextField(line, true);
  if (!node || !incarnation || !sequence || !kind) return std::nullopt;
  if (!IsClusterToken(*node) || !IsClusterToken(*kind)) return std::nullopt;
  auto incarnationValue = ParseNumber(*incarnation, 16);
  auto sequenceValue = ParseNumber(*sequence, 10);
  if (!incarnationValue || !sequenceValue) return std::nullopt;
  ClusterEvent event{std::string(*node), *incarnationValue, *sequenceValue, std::string(*kind), {}};
  // Only one spelling of each number is taken (no short, upper-case or zero-led forms).
  if (HeaderLine(event) != header) return std::nullopt;
  event.payload.assign(body.substr(newline + 1));
  return event;
}

Arrival PeerTracker::Note(const ClusterEvent& event) {
  auto now = clock_.Steady();
  auto [it, added] = peers_.try_emplace(event.node);
  Peer& peer = it->second;
  peer.lastHeard = now;
  if (added || peer.incarnation != event.incarnation) {
    peer.incarnation = event.incarnation;
    peer.lastSequence = event.sequence;
    return Arrival::kNewIncarnation;
  }
  if (event.sequence <= peer.lastSequence) return Arrival::kStale;
  bool next = event.sequence == peer.lastSequence + 1;
  peer.lastSequence = event.sequence;
  return next ? Arrival::kNext : Arrival::kGap;
}

std::vector<std::string> PeerTracker::TakeSilent() {
  auto now = clock_.Steady();
  std::vector<std::string> silent;
  for (auto it = peers_.begin(); it != peers_.end();) {
    if (now - it->second.lastHeard >= kSilenceLimit) {
      silent.push_back(it->first);
      it = peers_.erase(it);
    } else {
      ++it;
    }
  }
  return silent;
}

}  // namespace lobbyd::cluster
