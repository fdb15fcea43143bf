// The lobby as a web page: the pilots online by group and the listed games, with the client's
// roster pictures, rendered on the server so it reads without JavaScript; a small script then
// asks for the lobby part again every few seconds (/live) and swaps it in. Links are relative,
// so the pages work behind a proxy that serves them under a folder of its own.
#pragma once

#include <string>
#include <string_view>

#include "lobbyd/lobby_view.h"

namespace lobbyd::web {

// "Corvane lobby: 3 online", counting only the pilots the page shows.
std::string LobbyTitle(const LobbyView& view);

// The lobby part alone, as /live sends it: one element whose data-title is the page's title and
// whose data-tag is `tag` (the reply's ETag), so the script knows what it has.
std::string LobbyPart(const LobbyView& view, std::string_view tag);

// The whole page around the lobby part.
std::string LobbyPage(const LobbyView& view, std::string_view tag);

// The page's style sheet and script.
std::string_view LobbyStyle();
std::string_view LobbyScript();

}  // namespace lobbyd::web
