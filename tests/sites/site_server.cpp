#include "tests/sites/site_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/text/ascii.h"
#include "tests/sites/test_pki.h"

namespace sites {

// One client connection as the front sees it: what the client sent, and how
// much of it the inner server's handlers have taken as request heads.
struct SiteServer::Connection {
  std::string scheme;
  std::string raw;  // bytes not yet taken
};

namespace {

int NewLoopbackSocket(int port, bool listening, bool reuse = true) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  if (reuse) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      (listening && listen(fd, 256) != 0)) {
    close(fd);
    return -1;
  }
  return fd;
}

int LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool TlsWriteAll(SSL* ssl, const char* data, size_t size) {
  while (size > 0) {
    int n = SSL_write(ssl, data, static_cast<int>(std::min<size_t>(size, 1 << 20)));
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Length of the body that follows a request head: its Content-Length, or the
// chunked body's length when `rest` holds it whole.
size_t BodyLength(const std::string& head, std::string_view rest) {
  std::string lower = AsciiLower(head);
  size_t at = lower.find("\r\ncontent-length:");
  if (at != std::string::npos) {
    return static_cast<size_t>(std::strtoull(head.c_str() + at + 17, nullptr, 10));
  }
  if (lower.find("\r\ntransfer-encoding:") != std::string::npos &&
      lower.find("chunked") != std::string::npos) {
    size_t end = rest.find("\r\n0\r\n\r\n");
    if (rest.substr(0, 5) == "0\r\n\r\n") return 5;
    return end == std::string_view::npos ? rest.size() : end + 7;
  }
  return 0;
}

const std::vector<std::string> kMethods = {"GET", "POST", "PUT", "DELETE", "OPTIONS", "PATCH"};

}  // namespace

// ------------------------------------------------------------ SiteRequest

std::vector<std::string> SiteRequest::RawHeaderLines() const {
  std::vector<std::string> lines;
  size_t start = raw_head.find("\r\n");
  if (start == std::string::npos) return lines;
  start += 2;
  while (start < raw_head.size()) {
    size_t end = raw_head.find("\r\n", start);
    if (end == std::string::npos || end == start) break;
    lines.push_back(raw_head.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string SiteRequest::RawHeader(const std::string& name) const {
  for (const std::string& line : RawHeaderLines()) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || AsciiLower(line.substr(0, colon)) != AsciiLower(name)) continue;
    size_t value = colon + 1;
    while (value < line.size() && (line[value] == ' ' || line[value] == '\t')) ++value;
    return line.substr(value);
  }
  return std::string();
}

// ------------------------------------------------------------- SiteServer

SiteServer::SiteServer(CertKind cert, size_t keep_alive_requests) {
  // A client that hangs up while a reply is being written must not end the
  // test process.
  signal(SIGPIPE, SIG_IGN);
  tls_context_ = TlsContext(cert);

  // The inner server keeps one thread per open connection for as long as it
  // stays open: room for the fifty-thread tests and more.
  inner_.new_task_queue = [] { return new httplib::ThreadPool(160); };
  inner_.set_keep_alive_max_count(keep_alive_requests);
  auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
    Dispatch(request, response);
  };
  inner_.Get(".*", dispatch);
  inner_.Post(".*", dispatch);
  inner_.Put(".*", dispatch);
  inner_.Delete(".*", dispatch);
  inner_.Options(".*", dispatch);
  inner_.Patch(".*", dispatch);
  // The inner server listens with a backlog of 5, compiled into the library:
  // fifty connections at once would see dropped SYNs and one-second resends.
  // Its listening socket passes through the socket options callback before
  // listen(); a second listen() afterwards raises the backlog.
  // Nagle's delay is off on every socket of ours: a reply written as a head
  // and a body would otherwise wait for the client's delayed ACK (~40 ms) on
  // a kept-alive connection. Accepted sockets take the option from the
  // listening one.
  int inner_listener = -1;
  inner_.set_tcp_nodelay(true);
  inner_.set_socket_options([&inner_listener](socket_t sock) {
    httplib::default_socket_options(sock);
    int one = 1;
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    inner_listener = sock;
  });
  inner_port_ = inner_.bind_to_any_port("127.0.0.1");
  if (inner_port_ <= 0) throw std::runtime_error("site server: no inner port");
  if (inner_listener >= 0) listen(inner_listener, 1024);
  inner_thread_ = std::thread([this] { inner_.listen_after_bind(); });
  while (!inner_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  if (pipe2(wake_pipe_, O_CLOEXEC) != 0) throw std::runtime_error("site server: no pipe");
  listen_fd_ = NewLoopbackSocket(0, true);
  if (listen_fd_ < 0) throw std::runtime_error("site server: cannot listen");
  port_ = LocalPort(listen_fd_);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

SiteServer::~SiteServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (int fd : open_sockets_) shutdown(fd, SHUT_RDWR);
  }
  changed_.notify_all();
  char wake = 1;
  (void)!write(wake_pipe_[1], &wake, 1);
  accept_thread_.join();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return serving_ == 0; });
  }
  inner_.stop();
  inner_thread_.join();
  close(wake_pipe_[0]);
  close(wake_pipe_[1]);
}

void SiteServer::Route(const std::string& method, const std::string& path_pattern,
                       Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_.push_back(RouteEntry{method, std::regex(path_pattern), std::move(handler)});
}

std::string SiteServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string SiteServer::Url(const std::string& scheme, const std::string& path) const {
  return scheme + "://" + HostPort() + path;
}

std::string SiteServer::NamedUrl(const std::string& scheme, const std::string& name,
                                 const std::string& path) const {
  return scheme + "://" + name + "." + kTestDomain + ":" + std::to_string(port_) + path;
}

void SiteServer::SetDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(mutex_);
  delay_ = delay;
}

void SiteServer::SetStall(bool on) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stall_ = on;
  }
  changed_.notify_all();
}

void SiteServer::SetCutBodies(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  cut_ = on;
}

void SiteServer::SetRefuse(bool on) {
  std::unique_lock<std::mutex> lock(mutex_);
  refuse_ = on;
  // A site that goes down drops its open connections too: a client that
  // keeps connections alive must not get through on one of them.
  if (on) {
    for (int fd : open_sockets_) shutdown(fd, SHUT_RDWR);
  }
  char wake = 1;
  (void)!write(wake_pipe_[1], &wake, 1);
  // The accept thread owns the listening socket; wait until it has closed or
  // reopened it, so that the switch holds once this returns.
  changed_.wait(lock, [this] { return refuse_applied_ == refuse_ || stopping_; });
}

std::vector<RequestRecord> SiteServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

size_t SiteServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_.size();
}

size_t SiteServer::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return accepted_;
}

size_t SiteServer::ResumedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return resumed_;
}

void SiteServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

bool SiteServer::SleepFor(std::chrono::milliseconds duration) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return !changed_.wait_for(lock, duration, [this] { return stopping_; });
}

std::string SiteServer::TakeRawHead(int upstream_port, std::string& scheme) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = connections_.find(upstream_port);
  if (found == connections_.end()) return std::string();
  Connection& connection = *found->second;
  scheme = connection.scheme;
  // The front forwards bytes only after recording them, so the whole request
  // that the inner server is handling is here; earlier ones were taken.
  size_t end = connection.raw.find("\r\n\r\n");
  if (end == std::string::npos) return std::string();
  std::string head = connection.raw.substr(0, end + 4);
  size_t body = BodyLength(head, std::string_view(connection.raw).substr(end + 4));
  connection.raw.erase(0, std::min(connection.raw.size(), end + 4 + body));
  return head;
}

void SiteServer::Dispatch(const httplib::Request& request, httplib::Response& response) {
  std::string scheme = "http";
  std::string head = TakeRawHead(request.remote_port, scheme);
  SiteRequest site_request{request, scheme, head, {}};

  Handler handler;
  std::chrono::milliseconds delay{0};
  bool cut = false;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    RequestRecord record;
    record.method = request.method;
    record.path = request.path;
    size_t space = head.find(' ');
    size_t question = head.find('?');
    size_t second_space = space == std::string::npos ? std::string::npos : head.find(' ', space + 1);
    if (question != std::string::npos && question < second_space)
      record.query = head.substr(question + 1, second_space - question - 1);
    record.scheme = scheme;
    record.raw_head = head;
    record.body = request.body;
    log_.push_back(std::move(record));

    std::string method = request.method == "HEAD" ? "GET" : request.method;
    for (const RouteEntry& route : routes_) {
      std::smatch match;
      if ((route.method == "ANY" || route.method == method) &&
          std::regex_match(request.path, match, route.pattern)) {
        for (const auto& group : match) site_request.match.push_back(group.str());
        handler = route.handler;
        break;
      }
    }
    delay = delay_;
  }

  if (delay.count() > 0 && !SleepFor(delay)) return;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !stall_ || stopping_; });
    if (stopping_) return;
    cut = cut_;
  }

  if (!handler) {
    response.status = 404;
    response.set_content("no such page", "text/plain");
    return;
  }
  handler(site_request, response);

  if (cut && !response.body.empty()) {
    auto body = std::make_shared<std::string>(std::move(response.body));
    response.body.clear();
    std::string type = response.get_header_value("Content-Type");
    response.headers.erase("Content-Type");
    response.set_content_provider(
        body->size(), type.empty() ? "text/plain" : type,
        [body](size_t offset, size_t, httplib::DataSink& sink) {
          size_t half = body->size() / 2;
          if (offset >= half) return false;  // the inner server drops the connection
          sink.write(body->data() + offset, half - offset);
          return true;
        });
  }
}

bool SiteServer::OpenListener() {
  // Called by the accept thread with mutex_ held.
  int fd = NewLoopbackSocket(port_, true);
  if (fd < 0) return false;
  listen_fd_ = fd;
  return true;
}

void SiteServer::AcceptLoop() {
  while (true) {
    int listen_fd;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) break;
      if (refuse_ && listen_fd_ >= 0) {
        close(listen_fd_);
        listen_fd_ = -1;
      } else if (!refuse_ && listen_fd_ < 0) {
        OpenListener();
      }
      refuse_applied_ = refuse_;
      listen_fd = listen_fd_;
    }
    changed_.notify_all();

    pollfd fds[2] = {{wake_pipe_[0], POLLIN, 0}, {listen_fd, POLLIN, 0}};
    int ready = poll(fds, listen_fd >= 0 ? 2 : 1, listen_fd >= 0 ? -1 : 50);
    if (ready < 0) continue;
    if (fds[0].revents & POLLIN) {
      char drain[64];
      (void)!read(wake_pipe_[0], drain, sizeof(drain));
      continue;
    }
    if (listen_fd >= 0 && (fds[1].revents & POLLIN)) {
      int client = accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      int one = 1;
      setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
          close(client);
          break;
        }
        ++serving_;
        ++accepted_;
        open_sockets_.push_back(client);
      }
      std::thread([this, client] { Serve(client); }).detach();
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (listen_fd_ >= 0) close(listen_fd_);
  listen_fd_ = -1;
}

void SiteServer::Serve(int client) {
  SSL* ssl = nullptr;
  int upstream = -1;
  int upstream_port = 0;

  auto stopping = [this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
  };

  // Tell TLS from plain HTTP by the first byte, without taking it.
  bool tls = false;
  {
    bool have_byte = false;
    while (!have_byte && !stopping()) {
      pollfd wait{client, POLLIN, 0};
      if (poll(&wait, 1, 100) <= 0) continue;
      unsigned char first = 0;
      ssize_t n = recv(client, &first, 1, MSG_PEEK);
      if (n <= 0) break;
      have_byte = true;
      tls = first == 0x16;
    }
    if (!have_byte) goto done;
  }

  if (tls) {
    timeval limit{10, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    ssl = SSL_new(static_cast<SSL_CTX*>(tls_context_));
    SSL_set_fd(ssl, client);
    if (SSL_accept(ssl) != 1) {
      ERR_clear_error();
      goto done;
    }
    if (SSL_session_reused(ssl)) {
      std::lock_guard<std::mutex> lock(mutex_);
      ++resumed_;
    }
  }

  upstream = NewLoopbackSocket(0, false);
  if (upstream < 0) goto done;
  {
    sockaddr_in inner{};
    inner.sin_family = AF_INET;
    inner.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    inner.sin_port = htons(static_cast<uint16_t>(inner_port_));
    upstream_port = LocalPort(upstream);
    auto connection = std::make_shared<Connection>();
    connection->scheme = tls ? "https" : "http";
    {
      // Registered before the first byte goes in, so that the handler of the
      // connection's first request finds it.
      std::lock_guard<std::mutex> lock(mutex_);
      connections_[upstream_port] = connection;
      open_sockets_.push_back(upstream);
      if (stopping_) goto done;
    }
    if (connect(upstream, reinterpret_cast<sockaddr*>(&inner), sizeof(inner)) != 0) goto done;
  }
  {
    int one = 1;
    setsockopt(upstream, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  }

  {
    std::vector<char> buffer(64 * 1024);
    while (!stopping()) {
      bool pending = ssl && SSL_pending(ssl) > 0;
      pollfd fds[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
      int ready = poll(fds, 2, pending ? 0 : 200);
      if (ready < 0 && errno != EINTR) break;
      if (pending || (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
        int n = ssl ? SSL_read(ssl, buffer.data(), static_cast<int>(buffer.size()))
                    : static_cast<int>(recv(client, buffer.data(), buffer.size(), 0));
        if (n <= 0) break;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          connections_[upstream_port]->raw.append(buffer.data(), static_cast<size_t>(n));
        }
        if (!SendAll(upstream, buffer.data(), static_cast<size_t>(n))) break;
      }
      if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        ssize_t n = recv(upstream, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        bool written = ssl ? TlsWriteAll(ssl, buffer.data(), static_cast<size_t>(n))
                           : SendAll(client, buffer.data(), static_cast<size_t>(n));
        if (!written) break;
      }
    }
  }

done:
  if (ssl) {
    SSL_shutdown(ssl);
    SSL_free(ssl);
    ERR_clear_error();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (upstream_port) connections_.erase(upstream_port);
  for (int fd : {client, upstream}) {
    if (fd < 0) continue;
    open_sockets_.erase(std::remove(open_sockets_.begin(), open_sockets_.end(), fd),
                        open_sockets_.end());
    close(fd);
  }
  --serving_;
  changed_.notify_all();
}

int ClosedPort() {
  // Bound but never listening: connections are refused, and no other test
  // running beside this one can take the port while the process lives.
  int fd = NewLoopbackSocket(0, false, false);
  return fd < 0 ? 0 : LocalPort(fd);
}

int TimeWaitSockets(int port) {
  int count = 0;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    FILE* file = std::fopen(table, "r");
    if (!file) continue;
    char line[512];
    // "sl local_address rem_address st ...": addresses as HEX:PORT, state 06
    // is TIME_WAIT.
    while (std::fgets(line, sizeof(line), file)) {
      char local[128], remote[128];
      unsigned state = 0;
      if (std::sscanf(line, " %*d: %127s %127s %x", local, remote, &state) != 3 || state != 6)
        continue;
      auto port_of = [](const char* address) {
        const char* colon = std::strrchr(address, ':');
        return colon ? static_cast<int>(std::strtol(colon + 1, nullptr, 16)) : -1;
      };
      if (port_of(local) == port || port_of(remote) == port) ++count;
    }
    std::fclose(file);
  }
  return count;
}

}  // namespace sites
