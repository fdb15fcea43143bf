// The lobby's settings that the operator may change on the command line; the defaults here are
// the program's defaults.
#pragma once

#include <chrono>
#include <cstddef>

#include "lobbyd/address_list.h"

namespace lobbyd {

// Entries a list reply is produced in at a time; the next come once the connection has drained.
inline constexpr size_t kListChunk = 256;
// The longest game version and announcement a pilot may store (they are the game's own words).
inline constexpr unsigned kGameShortFieldLength = 64;

struct LobbyOptions {
  unsigned clientVersion = 300;  // clients reporting a lower version are told to update
  // New accounts one address may create within an hour. A player makes one; a script trying to
  // fill the store is stopped after this many.
  unsigned accountsPerHour = 5;
  // Password checks waiting for the workers: from one address, and in all. A player's client
  // sends one at a time; more only come from scripts or a crowd behind one address.
  unsigned hashQueuePerAddress = 2;
  unsigned hashQueue = 10000;  // as many as connections: a restart storm must fit
  // Connections: from one address, and in all (a few descriptors stay in reserve beyond this,
  // so a connection over the limit is still accepted and closed at once).
  unsigned connectionsPerAddress = 16;
  unsigned maxConnections = 10000;
  // A connection that has not signed in within this time is closed.
  unsigned signInSeconds = 60;
  // Lines queued for all connections together, in MiB; past it, connections that are behind
  // (more than 64 KiB queued) are closed as not reading.
  unsigned outputQueueMb = 256;
  // Lines queued for one connection, in KiB; past it the connection is closed as not reading.
  // Long lists are produced as the connection drains, so they do not count against it whole.
  unsigned connectionQueueKb = 1024;
  // What a pilot may store, in characters, and the games one account may have listed. No player
  // comes near these; they keep one pilot from making everyone's lists huge.
  unsigned maxIdLength = 32;
  unsigned maxGameNameLength = 64;
  unsigned maxAddressLength = 255;
  unsigned maxDescriptionLength = 4000;
  unsigned maxAwayLength = 255;
  unsigned maxProfileFieldLength = 255;
  unsigned maxBioLength = 4000;
  unsigned gamesPerAccount = 10;
  // TCP keepalive on every connection, in seconds and probes: a pilot whose link is gone without
  // a word (a laptop asleep, a NAT that forgot him) is noticed and signed off within
  // idle + interval * probes.
  unsigned keepaliveIdle = 60;
  unsigned keepaliveInterval = 10;
  unsigned keepaliveProbes = 5;
  // Proxies whose connections start with a PROXY protocol header naming the client.
  AddressList proxyFrom = AddressList::None();
  // Notices to one connection are gathered for at least this long (GatherInterval). Not a
  // flag: zero writes everything at once, for in-process harnesses that run the io_context by
  // hand, so that what a turn of their loop queues is written in that turn and a run never
  // depends on the wall clock; tests make it long to see what does not wait.
  std::chrono::microseconds gatherAtLeast{25000};
};

}  // namespace lobbyd
