// The sign-in's lists of a crowded lobby, shared by the native and the Wine roster benchmarks:
// pilots of every kind (online, away with a note, offline, admin) and games up and down.
#pragma once

#include <string>

namespace cv3::bench {

inline constexpr int kUsers = 10000;
inline constexpr int kGames = 500;

// kUsers "USER" lines and "USERS_ACK", each with its CR LF.
inline std::string UserLines() {
  static const char* const kKinds[4] = {":online\r\n", ":away:back in five\r\n", ":offline\r\n",
                                        ":admin\r\n"};
  std::string out;
  for (int i = 0; i < kUsers; ++i) out += "USER:pilot" + std::to_string(i) + kKinds[i % 4];
  return out + "USERS_ACK\r\n";
}

// kGames "GAME" lines and "GAMES_ACK".
inline std::string GameLines() {
  std::string out;
  for (int i = 0; i < kGames; ++i) {
    out += "GAME:Arena " + std::to_string(i) + (i % 3 ? ":up\r\n" : ":down\r\n");
  }
  return out + "GAMES_ACK\r\n";
}

}  // namespace cv3::bench
