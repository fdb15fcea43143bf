// The store in PostgreSQL over libpq, for servers that share one database. The connection string
// never carries the password: libpq takes it from a password file (~/.pgpass, PGPASSFILE,
// passfile=) or PGPASSWORD, so it shows in no process list. A server lost while lobbyd runs makes
// every job fail at once (the lobby refuses changes as it does on a full disk); before a later job
// the connection is made again, at most once per retry interval, so a server that is down is not
// hammered. The log hears once when it is lost and once when it is back (TakeNotices).
#pragma once

#include <memory>
#include <string>

#include "lobbyd/store.h"

namespace lobbyd {

// Connects, then makes or upgrades the schema. Null with `error` set (naming the server, never
// the password) when the string is refused, the server cannot be reached or the schema cannot be
// made.
std::unique_ptr<Store> OpenPostgresStore(const std::string& connection, std::string& error);

// Empty when `connection` is a libpq connection string (a URI or key=value pairs) without a
// password; else why it cannot be used.
std::string ConnectionStringProblem(const std::string& connection);

}  // namespace lobbyd
