#include "lobbyd/web/lobby_page.h"

#include <algorithm>

#include "lobbyd/web/html.h"

namespace lobbyd::web {
namespace {

using Kind = LobbyView::PilotEntry::Kind;

// The roster's picture numbers (1-based places in the strip of 16-pixel pictures).
constexpr int kPictureGameUp = 1;
constexpr int kPictureOnline = 2;
constexpr int kPictureAway = 4;
constexpr int kPictureGameDown = 6;
constexpr int kPictureAdmin = 8;

// A roster picture; `label` names it for screen readers, or it is decoration when empty.
std::string Picture(int number, std::string_view label) {
  std::string html = "<span class=\"pic p" + std::to_string(number) + "\"";
  html += label.empty() ? std::string(" aria-hidden=\"true\"")
                        : " role=\"img\" aria-label=\"" + Escape(label) + "\"";
  return html + "></span>";
}

// One group of the roster: its heading, then its entries or a line saying there are none.
std::string Group(std::string_view id, int picture, std::string_view caption,
                  const std::vector<std::string>& entries, std::string_view none) {
  std::string html = "<section aria-labelledby=\"" + std::string(id) + "\">\n<h2 id=\"" +
                     std::string(id) + "\">" + Picture(picture, {}) + Escape(caption) + "</h2>\n";
  if (entries.empty()) return html + "<p class=\"none\">" + Escape(none) + "</p>\n</section>\n";
  html += "<ul>\n";
  for (const auto& entry : entries) html += "<li>" + entry + "</li>\n";
  return html + "</ul>\n</section>\n";
}

std::string GameEntry(const LobbyView::GameEntry& game) {
  std::string players;
  for (const auto& player : game.players) {
    players += (players.empty() ? "" : ", ") + Escape(player);
  }
  std::string entry =
      Picture(game.up ? kPictureGameUp : kPictureGameDown, game.up ? "up" : "down") +
      "<span class=\"name\">" + Escape(game.name) + "</span> <span class=\"state\">" +
      (game.up ? "up" : "down") + "</span>";
  if (game.host.empty()) return entry;  // a host who is not to be seen
  return entry + " <span class=\"host\">hosted by " + Escape(game.host) +
         "</span> <span class=\"players\">players: " + players + "</span>";
}

std::string PilotEntry(const LobbyView::PilotEntry& pilot) {
  switch (pilot.kind) {
    case Kind::kAway:
      return Picture(kPictureAway, "away") + Escape(pilot.name) +
             (pilot.away.empty() ? "" : " (" + Escape(pilot.away) + ")");
    case Kind::kAdmin:
      return Picture(kPictureAdmin, "administrator") + Escape(pilot.name);
    case Kind::kOnline:
      break;
  }
  return Picture(kPictureOnline, "online") + Escape(pilot.name);
}

}  // namespace

std::string LobbyTitle(const LobbyView& view) {
  return "Corvane lobby: " + std::to_string(view.pilots.size()) + " online";
}

std::string LobbyPart(const LobbyView& view, std::string_view tag) {
  std::vector<std::string> games, online, busy;
  for (const auto& game : view.games) games.push_back(GameEntry(game));
  for (const auto& pilot : view.pilots) {
    (pilot.kind == Kind::kAway ? busy : online).push_back(PilotEntry(pilot));
  }
  size_t up = view.GamesUp();
  return "<div id=\"lobby\" data-title=\"" + Escape(LobbyTitle(view)) + "\" data-tag=\"" +
         Escape(tag) +
         "\">\n<p class=\"summary\">Pilots online: " + std::to_string(view.pilots.size()) +
         ". Games listed: " + std::to_string(view.games.size()) + " (" + std::to_string(up) +
         " up).</p>\n" +
         Group("games", kPictureGameUp, "Skyrend Games", games, "No games are listed.") +
         Group("online", kPictureOnline, "Online Pilots", online, "Nobody is online.") +
         Group("busy", kPictureAway, "Busy Pilots", busy, "Nobody is busy.") + "</div>\n";
}

std::string LobbyPage(const LobbyView& view, std::string_view tag) {
  return Page(LobbyTitle(view),
              "<header>\n<h1>Corvane lobby</h1>\n<nav><a href=\"modules.php?name=Downloads\">"
              "Downloads</a> <a href=\"modules.php?name=FAQ\">FAQ</a> "
              "<a href=\"modules.php?name=Forums\">Forums</a></nav>\n</header>\n<main>\n" +
                  LobbyPart(view, tag) + "</main>\n<script src=\"lobby.js\"></script>\n",
              // Without the script the page still comes back now and then.
              "<noscript><meta http-equiv=\"refresh\" content=\"30\"></noscript>\n");
}

std::string_view LobbyStyle() {
  return R"(body { font-family: "DejaVu Sans", Verdana, sans-serif; margin: 0; background: #15223a;
  color: #f8f8f8; }
header, main { max-width: 48rem; margin: 0 auto; padding: 0.5rem 1rem; }
header { display: flex; align-items: baseline; justify-content: space-between; flex-wrap: wrap; }
h1 { font-size: 1.5rem; margin: 0.5rem 0; }
h2 { font-size: 1.1rem; margin: 1rem 0 0.25rem; }
a { color: #9fd0ff; }
nav a { margin-left: 1rem; }
ul { list-style: none; margin: 0; padding: 0; }
li { padding: 0.2rem 0; }
.pic { display: inline-block; width: 16px; height: 16px; margin-right: 0.4rem;
  vertical-align: -3px; background: url(pictures/roster_icons.gif) no-repeat; }
.p1 { background-position: 0 0; } .p2 { background-position: -16px 0; }
.p4 { background-position: -48px 0; } .p6 { background-position: -80px 0; }
.p8 { background-position: -112px 0; }
.state, .host, .players, .none, .summary { color: #b8c8d8; }
.state { text-transform: uppercase; font-size: 0.8rem; }
table { border-collapse: collapse; } th, td { text-align: left; padding: 0.25rem 0.75rem; }
code { word-break: break-all; }
)";
}

std::string_view LobbyScript() {
  return R"(// Keeps the lobby current without a reload: asks for the lobby part every few seconds; the
// server answers 304 while nothing has changed.
(function () {
  function refresh() {
    var part = document.getElementById('lobby');
    var headers = part && part.dataset.tag ? { 'If-None-Match': part.dataset.tag } : {};
    fetch('live', { headers: headers, cache: 'no-store' }).then(function (reply) {
      if (reply.status !== 200) return null;
      return reply.text();
    }).then(function (html) {
      if (!html) return;
      var holder = document.createElement('div');
      holder.innerHTML = html;
      var fresh = holder.firstElementChild;
      var old = document.getElementById('lobby');
      if (fresh && old) {
        old.replaceWith(fresh);
        document.title = fresh.dataset.title;
      }
    }).catch(function () {
      // The server may be restarting: the next turn tries again.
    }).then(function () {
      setTimeout(refresh, 3000);
    });
  }
  setTimeout(refresh, 3000);
})();
)";
}

}  // namespace lobbyd::web
