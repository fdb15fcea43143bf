#include "lobbyd/flags.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "lobbyd/cluster/cluster_events.h"
#include "lobbyd/pg_store.h"
#include "lobbyd/session.h"
#include "lobbyd/text.h"
#include "lobbyd/web/faq.h"
#include "protocol/catalogue.h"

namespace lobbyd {
namespace {

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& value) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value <= max;
}

// The lobby's limits, each a flag taking a number from 1 to its maximum; the usage text is made
// from this table, with each default read from LobbyOptions.
struct LimitFlag {
  const char* flag;
  unsigned LobbyOptions::*value;
  unsigned long max;
  const char* help;
};
constexpr LimitFlag kLimitFlags[] = {
    {"--accounts-per-hour", &LobbyOptions::accountsPerHour, 1000000,
     "accounts one address may create within an hour"},
    {"--hash-queue", &LobbyOptions::hashQueue, 1000000,
     "password checks waiting or running in all; more are refused as busy"},
    {"--hash-queue-per-address", &LobbyOptions::hashQueuePerAddress, 1000,
     "password checks of one address waiting or running"},
    {"--connections-per-address", &LobbyOptions::connectionsPerAddress, 1000000,
     "connections one address may hold"},
    {"--max-connections", &LobbyOptions::maxConnections, 1000000, "connections in all"},
    {"--sign-in-seconds", &LobbyOptions::signInSeconds, 3600, "time a connection has to sign in"},
    {"--output-queue-mb", &LobbyOptions::outputQueueMb, 65536,
     "lines queued for all connections together, in MiB; past it, connections behind on "
     "reading are closed"},
    {"--connection-queue-kb", &LobbyOptions::connectionQueueKb, 1048576,
     "lines queued for one connection, in KiB; past it the connection is closed as not "
     "reading"},
    {"--max-id-length", &LobbyOptions::maxIdLength, 1000, "longest ID, in characters"},
    {"--max-game-name-length", &LobbyOptions::maxGameNameLength, 1000, "longest game name"},
    {"--max-address-length", &LobbyOptions::maxAddressLength, 1000, "longest game address"},
    {"--max-description-length", &LobbyOptions::maxDescriptionLength, 8000,
     "longest game description"},
    {"--max-away-length", &LobbyOptions::maxAwayLength, 8000, "longest away message"},
    {"--max-profile-field-length", &LobbyOptions::maxProfileFieldLength, 8000,
     "longest profile field but the bio"},
    {"--max-bio-length", &LobbyOptions::maxBioLength, 8000, "longest bio"},
    {"--games-per-account", &LobbyOptions::gamesPerAccount, 100000,
     "games one account may have listed"},
    // The kernel's own limits.
    {"--keepalive-idle", &LobbyOptions::keepaliveIdle, 32767,
     "seconds a connection is quiet before keepalive probes start"},
    {"--keepalive-interval", &LobbyOptions::keepaliveInterval, 32767,
     "seconds between keepalive probes"},
    {"--keepalive-probes", &LobbyOptions::keepaliveProbes, 127,
     "unanswered keepalive probes after which a pilot counts as gone and is signed off"},
};

// The limits that lines must have room for: what a pilot may store is sent in one line, and a
// line longer than the connection takes closes it. Each range leaves room for the line's other
// fields at their own limits. Empty text when every limit fits.
std::string LineRoomProblem(const LobbyOptions& options) {
  constexpr size_t kDigest = 32;
  // Room left on the account request for an e-mail address, which shares its line with the ID.
  constexpr size_t kEmailRoom = 64;
  auto range = [](const char* flag, unsigned long least, size_t most, const std::string& why) {
    return std::string(flag) + " needs a number from " + std::to_string(least) + " to " +
           std::to_string(most) + " (" + why + ")";
  };
  auto prefix = [](std::string_view name) { return name.size() + 1; };
  const size_t signedIn = Session::kLineLimitSignedIn;
  const std::string oneLine = " in one line of " + std::to_string(signedIn) + " bytes";
  size_t idMost =
      Session::kLineLimitBeforeSignIn - prefix(cv3::msg::kCreate) - kDigest - 2 - kEmailRoom;
  if (options.maxIdLength < kShortestId || options.maxIdLength > idMost) {
    return range("--max-id-length", kShortestId, idMost,
                 "an account request, with a 64-character e-mail address, must fit in one "
                 "line of " +
                     std::to_string(Session::kLineLimitBeforeSignIn) + " bytes");
  }
  // A profile: own name and five fields, the bio last.
  size_t profileRoom = signedIn - prefix(cv3::msg::kSaveProfile) - options.maxIdLength - 5;
  if (options.maxProfileFieldLength > (profileRoom - 1) / 4) {
    return range("--max-profile-field-length", 1, (profileRoom - 1) / 4,
                 "a profile must fit" + oneLine);
  }
  if (options.maxBioLength > profileRoom - 4 * options.maxProfileFieldLength) {
    return range("--max-bio-length", 1, profileRoom - 4 * options.maxProfileFieldLength,
                 "a profile must fit" + oneLine + " with its other fields at their limits");
  }
  // A game: fifteen fields, ten of them check boxes of one character, the description last.
  size_t gameRoom =
      signedIn - std::max(prefix(cv3::msg::kHostGame), prefix(cv3::msg::kResumeGame)) -
      options.maxGameNameLength - options.maxAddressLength - 2 * kGameShortFieldLength - 10 - 14;
  if (options.maxDescriptionLength > gameRoom) {
    return range("--max-description-length", 1, gameRoom,
                 "a game must fit" + oneLine + " with its other fields at their limits");
  }
  size_t awayMost = signedIn - prefix(cv3::msg::kAway);
  if (options.maxAwayLength > awayMost) {
    return range("--max-away-length", 1, awayMost, "an away message must fit" + oneLine);
  }
  // One chunk of the pilot list must fit in what a connection may queue, beside the quarter of
  // it below which the next chunk is produced.
  size_t userLine = std::string_view("USER:").size() + options.maxIdLength + 1 +
                    cv3::msg::kKindAway.size() + 1 + options.maxAwayLength + 2;
  size_t queueLeast = (kListChunk * userLine * 4 / 3 + 1023) / 1024;
  if (options.connectionQueueKb < queueLeast) {
    return range("--connection-queue-kb", queueLeast, 1048576,
                 "a chunk of the pilot list must fit, with the ID and away message limits "
                 "given");
  }
  return {};
}

// "  FLAG  help" with the help in a column of its own, wrapped to 80 characters.
std::string UsageEntry(std::string flag, const std::string& help) {
  constexpr size_t kColumn = 29, kWidth = 80;
  std::string text = "  " + flag;
  text += text.size() + 1 < kColumn ? std::string(kColumn - text.size(), ' ') : "  ";
  size_t width = text.size();
  size_t start = 0;
  while (start < help.size()) {
    size_t end = help.find(' ', start);
    if (end == std::string::npos) end = help.size();
    std::string word = help.substr(start, end - start);
    if (width + word.size() > kWidth && width > kColumn) {
      text += "\n" + std::string(kColumn, ' ');
      width = kColumn;
    } else if (width > kColumn && text.back() != ' ') {
      text += ' ';
      ++width;
    }
    text += word;
    width += word.size();
    start = end + 1;
  }
  return text + "\n";
}

}  // namespace

std::string UsageText() {
  const LobbyOptions defaults;
  std::string text =
      "Usage: lobbyd [options]\n" +
      UsageEntry("--listen ADDR:PORT",
                 "address to listen on (default 127.0.0.1:13228; IPv6 as [::1]:13228)") +
      UsageEntry("--tls-listen ADDR:PORT",
                 "also serve the lobby over TLS 1.2/1.3 there; without --listen, over TLS only") +
      UsageEntry("--tls-cert FILE",
                 "the TLS certificate with its chain, PEM (a Let's Encrypt fullchain.pem)") +
      UsageEntry("--tls-key FILE", "the certificate's private key, PEM; SIGHUP reloads both") +
      UsageEntry("--db PATH", "database file, created if missing (default lobbyd.db)") +
      UsageEntry("--store CONNECTION",
                 "keep the accounts in PostgreSQL instead: a libpq connection string "
                 "(postgresql://USER@HOST/DATABASE or key=value pairs) without the password, which "
                 "comes from ~/.pgpass, PGPASSFILE or PGPASSWORD") +
      UsageEntry("--client-version N",
                 "current client version; lower ones are told to update "
                 "(default " +
                     std::to_string(defaults.clientVersion) + ")");
  for (const LimitFlag& limit : kLimitFlags) {
    text += UsageEntry(
        std::string(limit.flag) + " N",
        std::string(limit.help) + " (default " + std::to_string(defaults.*(limit.value)) + ")");
  }
  return text +
         UsageEntry("--proxy-from LIST",
                    "addresses or prefixes, comma-separated, of proxies whose connections start "
                    "with a PROXY protocol header (v1 or v2) naming the client (default none)") +
         UsageEntry("--cluster nats://HOST:PORT",
                    "run as one node of a lobby over several, which share the NATS server there "
                    "and the --store database (with --node)") +
         UsageEntry("--node NAME",
                    "this node's name in the cluster: letters, digits, '.', '_' and '-'") +
         UsageEntry("--add-account NAME:PASSWORD",
                    "create an account if it does not "
                    "exist yet") +
         UsageEntry("--admin NAME", "grant administrator rights to an existing account") +
         UsageEntry("--ban NAME", "ban an existing account permanently") +
         UsageEntry("--unban NAME", "lift a permanent ban") +
         UsageEntry("--backup-to FILE",
                    "copy the database to FILE, consistently, even while a "
                    "server runs on it; then exit without serving") +
         UsageEntry("--http ADDR:PORT",
                    "serve the lobby's web page, downloads, FAQ, forums link, /metrics and "
                    "/healthz there (off unless given; IPv6 as [::1]:8080)") +
         UsageEntry("--downloads DIR", "offer the files of DIR on the downloads page") +
         UsageEntry("--faq FILE", "the FAQ page: Markdown (.md) or HTML (.html)") +
         UsageEntry("--forums URL", "where the forums page sends browsers") +
         UsageEntry("--metrics-from LIST",
                    "addresses or prefixes, comma-separated, that may read /metrics (default "
                    "127.0.0.0/8,::1)") +
         UsageEntry("--help", "show this text") +
         UsageEntry("--version", "show the program's version") +
         "Account changes are stored in the database; the server then goes on serving.\n";
}

std::string ParseEndpoint(const std::string& text, asio::ip::tcp::endpoint& endpoint) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos) return "expected ADDR:PORT, got \"" + text + "\"";
  std::string host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string::npos) {
    return "write an IPv6 address in brackets, as [::1]:13228";
  }
  unsigned long port = 0;
  if (!ParseNumber(text.substr(colon + 1), 65535, port)) {
    return "bad port in \"" + text + "\"";
  }
  asio::error_code error;
  auto address = asio::ip::make_address(host, error);
  if (error) return "bad address in \"" + text + "\"";
  endpoint = asio::ip::tcp::endpoint(address, static_cast<unsigned short>(port));
  return {};
}

std::string ParseFlags(const std::vector<std::string>& args, Flags& flags) {
  bool metricsFrom = false;
  bool listen = false;
  std::vector<std::string> storeFlags;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& flag = args[i];
    if (flag == "--help" || flag == "-h") {
      flags.help = true;
      continue;
    }
    if (flag == "--version") {
      flags.version = true;
      continue;
    }
    if (i + 1 >= args.size()) return flag + " needs a value (see --help)";
    const std::string& value = args[++i];
    if (flag == "--listen") {
      if (auto error = ParseEndpoint(value, flags.listen); !error.empty()) {
        return "--listen: " + error;
      }
      listen = true;
    } else if (flag == "--tls-listen") {
      asio::ip::tcp::endpoint endpoint;
      if (auto error = ParseEndpoint(value, endpoint); !error.empty()) {
        return "--tls-listen: " + error;
      }
      flags.tlsListen = endpoint;
    } else if (flag == "--tls-cert" || flag == "--tls-key") {
      if (value.empty()) return flag + " needs a file";
      (flag == "--tls-cert" ? flags.tls.certificate : flags.tls.key) = value;
    } else if (flag == "--db") {
      if (value.empty()) return "--db needs a path";
      flags.store.where = value;
      storeFlags.push_back(flag);
    } else if (flag == "--store") {
      if (auto problem = ConnectionStringProblem(value); !problem.empty()) return problem;
      flags.store = {StoreLocation::Engine::kPostgres, value};
      storeFlags.push_back(flag);
    } else if (flag == "--client-version") {
      unsigned long version = 0;
      if (!ParseNumber(value, 999999, version)) return "--client-version needs a number";
      flags.lobby.clientVersion = static_cast<unsigned>(version);
    } else if (auto limit = std::find_if(std::begin(kLimitFlags), std::end(kLimitFlags),
                                         [&](const LimitFlag& f) { return flag == f.flag; });
               limit != std::end(kLimitFlags)) {
      unsigned long count = 0;
      if (!ParseNumber(value, limit->max, count) || count == 0) {
        return flag + " needs a number from 1 to " + std::to_string(limit->max);
      }
      flags.lobby.*(limit->value) = static_cast<unsigned>(count);
    } else if (flag == "--add-account") {
      size_t colon = value.find(':');
      if (colon == std::string::npos || colon == 0) return "--add-account needs NAME:PASSWORD";
      flags.actions.addAccounts.emplace_back(value.substr(0, colon), value.substr(colon + 1));
    } else if (flag == "--admin") {
      flags.actions.admins.push_back(value);
    } else if (flag == "--ban") {
      flags.actions.bans.push_back(value);
    } else if (flag == "--unban") {
      flags.actions.unbans.push_back(value);
    } else if (flag == "--http") {
      asio::ip::tcp::endpoint endpoint;
      if (auto error = ParseEndpoint(value, endpoint); !error.empty()) return "--http: " + error;
      flags.http = true;
      flags.web.host = endpoint.address().to_string();
      flags.web.port = endpoint.port();
    } else if (flag == "--downloads" || flag == "--faq") {
      if (value.empty()) return flag + " needs a path";
      (flag == "--faq" ? flags.web.faq : flags.web.downloads) = value;
    } else if (flag == "--forums") {
      if (auto problem = web::ForumsUrlProblem(value); !problem.empty()) {
        return "--forums: " + problem;
      }
      flags.web.forums = value;
    } else if (flag == "--metrics-from") {
      if (auto problem = flags.web.metricsFrom.Parse(value); !problem.empty()) {
        return "--metrics-from: " + problem;
      }
      metricsFrom = true;
    } else if (flag == "--proxy-from") {
      if (auto problem = flags.lobby.proxyFrom.Parse(value); !problem.empty()) {
        return "--proxy-from: " + problem;
      }
    } else if (flag == "--cluster") {
      if (value.rfind("nats://", 0) != 0 || value.size() == 7) {
        return "--cluster needs a NATS server as nats://HOST:PORT";
      }
      flags.cluster = value;
    } else if (flag == "--node") {
      if (!cluster::IsClusterToken(value)) {
        return "--node needs a name of letters, digits, '.', '_' and '-' (at most 64)";
      }
      flags.node = value;
    } else if (flag == "--backup-to") {
      if (value.empty()) return "--backup-to needs a file name";
      flags.backupTo = value;
    } else {
      return "unknown option " + flag + " (see --help)";
    }
  }
  if (auto problem = LineRoomProblem(flags.lobby); !problem.empty()) return problem;
  if (storeFlags.size() > 1) return "--db and --store each name the store; give one of them once";
  bool tlsFiles = !flags.tls.certificate.empty() || !flags.tls.key.empty();
  if (flags.tlsListen && (flags.tls.certificate.empty() || flags.tls.key.empty())) {
    return "--tls-listen needs --tls-cert and --tls-key";
  }
  if (!flags.tlsListen && tlsFiles) return "--tls-cert and --tls-key are for --tls-listen";
  flags.plain = listen || !flags.tlsListen;
  flags.actions.maxIdLength = flags.lobby.maxIdLength;
  const StartupActions& actions = flags.actions;
  if (!flags.backupTo.empty() && flags.store.engine == StoreLocation::Engine::kPostgres) {
    return "--backup-to copies a SQLite file; back up a PostgreSQL store with pg_dump";
  }
  if (!flags.backupTo.empty() && (!actions.addAccounts.empty() || !actions.admins.empty() ||
                                  !actions.bans.empty() || !actions.unbans.empty())) {
    return "--backup-to runs alone; make account changes with a command of their own";
  }
  if (flags.cluster.empty() != flags.node.empty()) {
    return "--cluster and --node go together: give both";
  }
  if (!flags.cluster.empty() && flags.store.engine != StoreLocation::Engine::kPostgres) {
    return "--cluster needs --store: the nodes share their accounts in PostgreSQL";
  }
  const web::WebOptions& web = flags.web;
  if (!flags.http &&
      (!web.downloads.empty() || !web.faq.empty() || !web.forums.empty() || metricsFrom)) {
    return "--downloads, --faq, --forums and --metrics-from are for the web side: give --http too";
  }
  return {};
}

}  // namespace lobbyd
