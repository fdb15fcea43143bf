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
  char incarnation[kIncarnationDigits + 1];
  auto hex = std::to_chars(incarnation, incarnation + kIncarnationDigits, event.incarnation, 16);
  std::string padded(kIncarnationDigits - static_cast<std::size_t>(hex.ptr - incarnation), '0');
  padded.append(incarnation, hex.ptr);
  return event.node + ' ' + padded + ' ' + std::to_string(event.sequence) + ' ' + event.kind +
         '\n' + event.payload;
}

std::optional<ClusterEvent> DecodeEvent(std::string_view body) {
  std::size_t newline = body.find('\n');
  if (newline == std::string_view::npos) return std::nullopt;
  std::string_view line = body.substr(0, newline);
  auto node = NextField(line, false);
  auto incarnation = NextField(line, false);
  auto sequence = NextField(line, false);
  auto kind = NextField(line, true);
  if (!node || !incarnation || !sequence || !kind) return std::nullopt;
  if (!IsClusterToken(*node) || !IsClusterToken(*kind)) return std::nullopt;
  if (incarnation->size() != kIncarnationDigits) return std::nullopt;
  // Exactly as written: no sign, no leading zero, no upper-case hex.
  if (!sequence->empty() && (*sequence)[0] == '0' && sequence->size() > 1) return std::nullopt;
  for (char c : *incarnation) {
    if (c >= 'A' && c <= 'F') return std::nullopt;
  }
  auto incarnationValue = ParseNumber(*incarnation, 16);
  auto sequenceValue = ParseNumber(*sequence, 10);
  if (!incarnationValue || !sequenceValue) return std::nullopt;
  return ClusterEvent{std::string(*node), *incarnationValue, *sequenceValue, std::string(*kind),
                      std::string(body.substr(newline + 1))};
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
