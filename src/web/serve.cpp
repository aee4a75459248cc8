// zorvan32 serve on cpp-httplib (Debian's libcpp-httplib: packaged, maintained, threads and limits
// of its own). Every request that reads or changes the game runs under one lock (game_lock), so the
// editor's code, written for one thread, still runs one call at a time; the worker threads
// otherwise only move bytes. The main thread waits for SIGINT, SIGTERM or SIGHUP with sigwait
// (blocked in every thread, so no handler runs) and then stops the server.
#include "web/serve.h"

#include <httplib.h>
#include <pthread.h>
#include <sys/random.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "door/helpers.h"
#include "door/session.h"
#include "editor/journal.h"
#include "web/api.h"

namespace {

constexpr const char* kDefaultListen = "127.0.0.1:8032";
constexpr size_t kBodyMax = 16 * 1024;  // a whole player's fields take under 2 KB
constexpr size_t kSessionsMax = 64;
constexpr size_t kSecretBytes = 32;
const std::string kCookie = "zorvan_session";

std::mutex game_lock;

// A browser that came with the token: its cookie and the CSRF token its changes must carry.
struct Session {
  std::string id, csrf;
};
std::mutex sessions_lock;
std::vector<Session> sessions;  // oldest first
std::string access_token;

// From the OS's random source, as the journal's hex in lower case; "" when it gives nothing.
std::string RandomHex(size_t bytes) {
  std::string raw(bytes, '\0');
  for (size_t got = 0; got < bytes;) {
    const ssize_t n = getrandom(raw.data() + got, bytes - got, 0);
    if (n < 0 && errno != EINTR) return "";
    if (n > 0) got += static_cast<size_t>(n);
  }
  std::string hex = JournalHex(raw);
  for (char& digit : hex) digit = static_cast<char>(std::tolower(static_cast<uint8_t>(digit)));
  return hex;
}

// Whether a secret matches, in a time that does not tell where it differs.
bool SameSecret(const std::string& given, const std::string& secret) {
  if (given.size() != secret.size() || secret.empty()) return false;
  unsigned char differ = 0;
  for (size_t i = 0; i < secret.size(); ++i)
    differ |= static_cast<unsigned char>(given[i] ^ secret[i]);
  return differ == 0;
}

std::string CookieValue(const httplib::Request& req, const std::string& name) {
  const std::string cookies = "; " + req.get_header_value("Cookie");
  const size_t at = cookies.find("; " + name + "=");
  if (at == std::string::npos) return "";
  const size_t start = at + name.size() + 3;
  return cookies.substr(start, cookies.find(';', start) - start);
}

bool FindSession(const std::string& id, Session& found) {
  std::lock_guard<std::mutex> hold(sessions_lock);
  bool known = false;
  for (const Session& s : sessions)
    if (SameSecret(id, s.id)) {
      found = s;
      known = true;
    }
  return known;
}

Session NewSession() {
  Session s{RandomHex(kSecretBytes), RandomHex(kSecretBytes)};
  std::lock_guard<std::mutex> hold(sessions_lock);
  if (sessions.size() >= kSessionsMax) sessions.erase(sessions.begin());
  sessions.push_back(s);
  return s;
}

void Refuse(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_content(Json{{"error", {why}}}.dump(), "application/json");
}

// Whether a change comes from the page itself: its session's CSRF token, and an Origin that is
// this server as the browser reached it.
bool ChangeAllowed(const httplib::Request& req, const Session& session, std::string& why) {
  if (!SameSecret(req.get_header_value("X-CSRF-Token"), session.csrf))
    why = "the CSRF token is missing or wrong";
  else if (req.get_header_value("Origin") != "http://" + req.get_header_value("Host"))
    why = "the Origin is not this server";
  return why.empty();
}

// Every request: the token (in the query on the first visit, then the session's cookie), and for
// a change the CSRF token and the Origin. The first visit gets its cookie and, for the page, a
// redirect that takes the token out of the address bar.
httplib::Server::HandlerResponse Gate(const httplib::Request& req, httplib::Response& res) {
  using Answer = httplib::Server::HandlerResponse;
  res.set_header("Cache-Control", "no-store");
  Session session;
  if (!FindSession(CookieValue(req, kCookie), session)) {
    if (!SameSecret(req.get_param_value("token"), access_token)) {
      Refuse(res, 403, "the access token is missing or wrong");
      return Answer::Handled;
    }
    session = NewSession();
    res.set_header("Set-Cookie",
                   kCookie + "=" + session.id + "; HttpOnly; SameSite=Strict; Path=/");
  }
  std::string why;
  if (req.method == "POST" && !ChangeAllowed(req, session, why)) {
    Refuse(res, 403, why);
    return Answer::Handled;
  }
  if (req.method == "GET" && req.path == "/api/session") {
    res.set_content(Json{{"csrf", session.csrf}}.dump(), "application/json");
    return Answer::Handled;
  }
  if (req.method == "GET" && req.path == "/" && req.has_param("token")) {
    res.set_redirect("/", 303);
    return Answer::Handled;
  }
  return Answer::Unhandled;
}

void Answer(httplib::Response& res, const ApiAnswer& answer) {
  res.status = answer.status;
  res.set_content(answer.body.dump(), "application/json");
}

// A route's number; false beyond what a record or an operation number holds.
bool Number(const httplib::Request& req, int32_t& n) {
  return StrToIntWhole(req.matches[1].str(), n);
}

template <typename Call>
void Locked(httplib::Response& res, Call call) {
  std::lock_guard<std::mutex> hold(game_lock);
  Answer(res, call());
}

void Routes(httplib::Server& server) {
  using Req = const httplib::Request&;
  using Res = httplib::Response&;
  server.Get("/api/players", [](Req, Res res) { Locked(res, ApiPlayers); });
  server.Get("/api/check", [](Req, Res res) { Locked(res, ApiCheck); });
  server.Get("/api/log", [](Req, Res res) { Locked(res, ApiLog); });
  server.Get(R"(/api/players/(\d+))", [](Req req, Res res) {
    int32_t n = 0;
    if (!Number(req, n)) return Refuse(res, 404, "no such player");
    Locked(res, [n] { return ApiPlayer(n); });
  });
  server.Post(R"(/api/players/(\d+))", [](Req req, Res res) {
    int32_t n = 0;
    if (!Number(req, n)) return Refuse(res, 404, "no such player");
    Locked(res, [n, &req] { return ApiSetPlayer(n, req.body); });
  });
  server.Post(R"(/api/undo/(\d+))", [](Req req, Res res) {
    int32_t op = 0;
    if (!Number(req, op) || op < 1) return Refuse(res, 404, "no such operation");
    Locked(res, [op] { return ApiUndo(op); });
  });
  server.Get(R"(/[a-z]*(\.[a-z]+)?)", [](Req req, Res res) {
    std::string type;
    const std::string* file = PageFile(req.path == "/" ? "/index.html" : req.path, type);
    if (file == nullptr) return Refuse(res, 404, "no such page");
    res.set_content(*file, type.c_str());
  });
}

// ADDR:PORT, ADDR an IPv4 address, a name or [an IPv6 address].
bool ParseListen(const std::string& text, std::string& host, int32_t& port) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || !StrToIntWhole(text.substr(colon + 1), port) || port < 0 ||
      port > 65535)
    return false;
  host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  return !host.empty();
}

std::string UrlHost(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

void Configure(httplib::Server& server) {
  server.new_task_queue = [] { return new httplib::ThreadPool(4); };
  server.set_payload_max_length(kBodyMax);
  server.set_keep_alive_timeout(2);
  server.set_tcp_nodelay(true);  // headers and body are separate writes: no 40 ms delayed-ACK wait
  server.set_default_headers({{"Content-Security-Policy", "default-src 'self'"},
                              {"X-Frame-Options", "DENY"},
                              {"X-Content-Type-Options", "nosniff"},
                              {"Referrer-Policy", "no-referrer"}});
  server.set_pre_routing_handler(Gate);
  Routes(server);
}

}  // namespace

int RunServe(const CommandArgs& args) {
  std::string listen = kDefaultListen, host;
  if (args.size() == 2 && args[0] == "--listen") listen = args[1];
  int32_t port = 0;
  if ((!args.empty() && args.size() != 2) || !ParseListen(listen, host, port)) {
    CommandError("usage: zorvan32 serve [--listen ADDR:PORT]");
    return 2;
  }
  if (!CommandLoadGame()) return 2;
  access_token = RandomHex(kSecretBytes);
  if (access_token.empty()) {
    CommandError("the system gives no random bytes for the access token");
    return 2;
  }
  // The journal's who for every change made here.
  door_session.UserName = "web";

  // Blocked before any thread starts, so every thread inherits it and only sigwait sees them.
  sigset_t ends;
  sigemptyset(&ends);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ends, signal);
  pthread_sigmask(SIG_BLOCK, &ends, nullptr);

  httplib::Server server;
  Configure(server);
  const int bound = port == 0                         ? server.bind_to_any_port(host)
                    : server.bind_to_port(host, port) ? port
                                                      : -1;
  if (bound < 0) {
    CommandError("cannot listen on " + listen);
    return 2;
  }
  std::atomic<bool> stopping{false}, failed{false};
  const pthread_t main_thread = pthread_self();
  std::thread listener([&] {
    server.listen_after_bind();
    if (stopping) return;
    failed = true;
    CommandError("the server stopped listening");
    pthread_kill(main_thread, SIGTERM);  // ends the wait below
  });
  // A stop before the accept loop runs would be lost: the address is told once it runs.
  while (!server.is_running() && !failed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::printf("http://%s:%d/?token=%s\n", UrlHost(host).c_str(), bound, access_token.c_str());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&ends, &signal);
  stopping = true;
  server.stop();
  listener.join();
  return failed ? 2 : 0;
}
