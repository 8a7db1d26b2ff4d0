#pragma once
// A local stand-in web site for the tests: one loopback port that answers
// plain HTTP and TLS alike (the first byte of a connection tells a TLS hello,
// 0x16, from a request line), because the program reaches the seller centre
// over both schemes under one host key.
//
// Connections end in a front of ours that records every request's raw bytes
// (request line and header lines exactly as sent, in order: cpp-httplib keeps
// neither) and hands the plain request to an inner cpp-httplib server, whose
// catch-all handlers dispatch to the routes registered here.
//
// Each site (basic_routes.cpp, and later the marketplace's and the
// bookstores') adds its routes with Route() and keeps its own state; the
// switches below act on every route of the server.
//
// Threads: Route, the switches and the request log may be used from any
// thread while the server runs; handlers run on the server's threads.
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace sites {

// The certificate the TLS side shows.
enum class CertKind {
  kGood,       // for 127.0.0.1, localhost and *.market.localhost, signed by the test CA
  kWrongName,  // for "wrong.example" only, signed by the test CA
  kUntrusted,  // self-signed, unknown to every trust store
  kExpired,    // as kGood, but its validity ended yesterday
};

// The test CA, made once per process in a temporary folder (removed at exit).
// The name of the PEM file that an options file's CaFile key names.
const std::string& TestCaFile();

// The domain under which the named test hosts live ("market.localhost"):
// curl takes every *.localhost name for the loopback address.
constexpr const char* kTestDomain = "market.localhost";

struct SiteRequest {
  const httplib::Request& http;
  std::string scheme;              // "http" or "https", as the client connected
  std::string raw_head;            // request line and header lines, through the blank line
  std::vector<std::string> match;  // the route pattern's groups; [0] is the whole path

  // The header lines of raw_head, without the request line, as sent.
  std::vector<std::string> RawHeaderLines() const;
  // The value of the first header line called `name` (any case), as sent
  // after the colon and its blanks; empty when there is none.
  std::string RawHeader(const std::string& name) const;
};

struct RequestRecord {
  std::string method;
  std::string path;
  std::string query;   // after "?", as sent
  std::string scheme;
  std::string raw_head;
  std::string body;
};

class SiteServer {
 public:
  using Handler = std::function<void(const SiteRequest&, httplib::Response&)>;

  // Starts listening on a free loopback port at once. A connection carries
  // `keep_alive_requests` requests before the site closes it.
  explicit SiteServer(CertKind cert = CertKind::kGood, size_t keep_alive_requests = 1000);
  ~SiteServer();
  SiteServer(const SiteServer&) = delete;
  SiteServer& operator=(const SiteServer&) = delete;

  // `method` "GET" (which also serves HEAD), "POST", ... or "ANY";
  // `path_pattern` an ECMAScript regex matched against the whole path. Later
  // routes do not replace earlier ones: the first match serves.
  void Route(const std::string& method, const std::string& path_pattern, Handler handler);

  int port() const { return port_; }
  // "127.0.0.1:<port>", as a host key names it.
  std::string HostPort() const;
  // "<scheme>://127.0.0.1:<port><path>".
  std::string Url(const std::string& scheme, const std::string& path) const;
  // "<scheme>://<name>.market.localhost:<port><path>".
  std::string NamedUrl(const std::string& scheme, const std::string& name,
                       const std::string& path) const;

  // Switches for every route.
  void SetDelay(std::chrono::milliseconds delay);  // each reply waits this long first
  void SetStall(bool on);                          // no reply at all while on
  void SetCutBodies(bool on);                      // bodies stop half-way, connection closed
  void SetRefuse(bool on);                         // the port refuses connections while on
                                                   // (open ones are dropped)

  // Every request received so far, oldest first.
  std::vector<RequestRecord> Requests() const;
  size_t RequestCount() const;
  void ClearRequests();
  // Connections accepted so far, and the TLS ones among them that resumed
  // an earlier session instead of a full handshake.
  size_t ConnectionCount() const;
  size_t ResumedCount() const;

  // For handlers: waits `duration` or until the server stops; false when it
  // stopped.
  bool SleepFor(std::chrono::milliseconds duration) const;

 private:
  struct Connection;
  struct RouteEntry {
    std::string method;
    std::regex pattern;
    Handler handler;
  };

  void Dispatch(const httplib::Request& request, httplib::Response& response);
  void AcceptLoop();
  void Serve(int client);
  bool OpenListener();
  std::string TakeRawHead(int upstream_port, std::string& scheme);

  int port_ = 0;
  int inner_port_ = 0;
  void* tls_context_ = nullptr;  // SSL_CTX*
  httplib::Server inner_;
  std::thread inner_thread_;
  std::thread accept_thread_;
  int wake_pipe_[2] = {-1, -1};

  mutable std::mutex mutex_;  // guards everything below
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  int listen_fd_ = -1;
  bool refuse_ = false;
  bool refuse_applied_ = false;
  std::chrono::milliseconds delay_{0};
  bool stall_ = false;
  bool cut_ = false;
  std::vector<RouteEntry> routes_;
  std::vector<RequestRecord> log_;
  std::map<int, std::shared_ptr<Connection>> connections_;  // by the inner side's client port
  std::vector<int> open_sockets_;
  int serving_ = 0;  // connection threads still running
  size_t accepted_ = 0;
  size_t resumed_ = 0;
};

// A loopback port on which nothing listens: connecting to it is refused. The
// port stays reserved (bound, not listening) until the process ends.
int ClosedPort();

// Sockets of this machine in TIME_WAIT whose local or remote port is `port`
// (IPv4 and IPv6).
int TimeWaitSockets(int port);

}  // namespace sites
