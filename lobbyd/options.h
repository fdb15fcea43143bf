// The lobby's settings that the operator may change on the command line; the defaults here are
// the program's defaults.
#pragma once

namespace lobbyd {

struct LobbyOptions {
  unsigned clientVersion = 300;  // clients reporting a lower version are told to update
  // New accounts one address may create within an hour. A player makes one; a script trying to
  // fill the store is stopped after this many.
  unsigned accountsPerHour = 5;
  // Password checks waiting for the workers: from one address, and in all. A player's client
  // sends one at a time; more only come from scripts or a crowd behind one address.
  unsigned hashQueuePerAddress = 2;
  unsigned hashQueue = 256;
};

}  // namespace lobbyd
