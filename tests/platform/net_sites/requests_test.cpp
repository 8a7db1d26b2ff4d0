// The internet layer against the local sites, over HTTP and HTTPS on one
// port: reading, headers as sent, status, redirects, certificates, and the
// failures with their error numbers.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/cookies.h"
#include "platform/net/internet.h"
#include "platform/thread/thread.h"
#include "tests/sites/basic_routes.h"
#include "tests/sites/site_server.h"
#include "tests/support/internet_error.h"

namespace {

using sites::SiteServer;

class Requests : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    AddBasicRoutes(server_);
    SetExtraCaFile(sites::TestCaFile());
    InternetTimeouts timeouts;
    timeouts.connect = std::chrono::milliseconds(3000);
    timeouts.idle = std::chrono::milliseconds(1500);
    SetInternetTimeouts(timeouts);
    ClearCookieStore();
  }
  void TearDown() override {
    SetInternetTimeouts(InternetTimeouts());
    SetExtraCaFile("");
    ClearCookieStore();
  }

  std::string Url(const std::string& path) const { return server_.Url(GetParam(), path); }
  bool Secure() const { return GetParam() == "https"; }

  // Opens `path` and reads every line of it.
  std::vector<std::string> Lines(const std::string& path) {
    CInternetSession session;
    std::unique_ptr<CHttpFile> file(session.OpenURL(Url(path).c_str()));
    EXPECT_TRUE(file);
    std::vector<std::string> lines;
    CString line;
    while (file && file->ReadString(line)) lines.push_back(line.str());
    return lines;
  }

  // The error number of the exception that `action` throws; 0 for none.
  SiteServer server_;
};

TEST_P(Requests, LinesEndAtLineFeedsAndKeepCarriageReturns) {
  EXPECT_EQ(Lines("/basic/lines-lf"), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(Lines("/basic/lines-crlf"), (std::vector<std::string>{"alpha\r", "beta\r"}));
  EXPECT_TRUE(Lines("/basic/empty").empty());
  EXPECT_EQ(Lines("/basic/gbk"),
            (std::vector<std::string>{std::string("<html><body>") + sites::kBasicChineseText +
                                      "</body></html>"}));
  ASSERT_EQ(server_.RequestCount(), 4u);
  EXPECT_EQ(server_.Requests()[0].scheme, GetParam());
}

TEST_P(Requests, ChunkedReadingGivesEveryByte) {
  CInternetSession session;
  std::unique_ptr<CHttpFile> file(session.OpenURL(Url("/basic/big?n=5000").c_str()));
  ASSERT_TRUE(file);
  std::string body;
  char buffer[1024];
  UINT count;
  std::vector<UINT> sizes;
  while ((count = file->Read(buffer, sizeof(buffer))) > 0) {
    body.append(buffer, count);
    sizes.push_back(count);
  }
  EXPECT_EQ(body, sites::BigBody(5000));
  EXPECT_EQ(sizes, (std::vector<UINT>{1024, 1024, 1024, 1024, 904}));
  EXPECT_EQ(file->Read(buffer, sizeof(buffer)), 0u);
}

TEST_P(Requests, ErrorPagesAreRepliesWithTheirStatus) {
  CInternetSession session;
  std::unique_ptr<CHttpFile> file(session.OpenURL(Url("/basic/status/404").c_str()));
  ASSERT_TRUE(file);
  DWORD status = 0;
  ASSERT_TRUE(file->QueryInfoStatusCode(status));
  EXPECT_EQ(status, 404u);
  CString line;
  ASSERT_TRUE(file->ReadString(line));
  EXPECT_NE(line.Find("404"), -1);
}

TEST_P(Requests, RedirectsAreFollowedToTheFinalReply) {
  // Relative, and across schemes on the same port.
  EXPECT_EQ(Lines("/basic/redirect?to=/basic/lines-lf"),
            (std::vector<std::string>{"alpha", "beta", "gamma"}));
  std::string other = server_.Url(Secure() ? "http" : "https", "/basic/lines-crlf");
  EXPECT_EQ(Lines("/basic/redirect?to=" + other), (std::vector<std::string>{"alpha\r", "beta\r"}));

  // The reply tells the address it came from: the redirect's last one.
  CInternetSession session;
  std::unique_ptr<CHttpFile> file(session.OpenURL(Url("/basic/redirect?to=" + other).c_str()));
  ASSERT_TRUE(file);
  CString final_url;
  ASSERT_TRUE(file->QueryOption(INTERNET_OPTION_URL, final_url));
  EXPECT_EQ(final_url, other.c_str());
  EXPECT_FALSE(file->QueryOption(INTERNET_OPTION_URL + 1, final_url));
}

TEST_P(Requests, AgentIsTheApplicationNameUnlessAHeaderSetsIt) {
  CInternetSession session;
  std::unique_ptr<CHttpFile> file(session.OpenURL(Url("/basic/echo").c_str()));
  ASSERT_TRUE(file);
  EXPECT_EQ(session.agent(), "test_platform_net_sites");
  std::vector<sites::RequestRecord> log = server_.Requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].raw_head.find("\r\nUser-Agent: test_platform_net_sites\r\n"), std::string::npos)
      << log[0].raw_head;

  CInternetSession named("Named Agent");
  std::unique_ptr<CHttpFile> second(named.OpenURL(Url("/basic/echo").c_str()));
  EXPECT_NE(server_.Requests()[1].raw_head.find("\r\nUser-Agent: Named Agent\r\n"),
            std::string::npos);
}

TEST_P(Requests, PostSendsHeadersInOrderAsGivenAndTheExactBody) {
  CInternetSession session;
  INTERNET_PORT port = static_cast<INTERNET_PORT>(server_.port());
  std::unique_ptr<CHttpConnection> connection(session.GetHttpConnection(
      "127.0.0.1", Secure() ? 0x00C00000 : 0x00400000, port));
  std::unique_ptr<CHttpFile> file(connection->OpenRequest(
      "POST", "/basic/echo?x=1", nullptr, 1, nullptr, nullptr, Secure() ? 0x84801000 : 0x84000000));
  const char* headers[] = {"User-Agent: Custom/1.0", "Accept:\ttext/html, */*", "X-Empty:",
                           "Connection:Keep-Alive", "x-lower: Mixed Case",
                           "Content-Type:\tapplication/x-www-form-urlencoded"};
  for (const char* header : headers)
    EXPECT_TRUE(file->AddRequestHeaders(header, HTTP_ADDREQ_FLAG_ADD_IF_NEW));
  // Present already: skipped.
  EXPECT_FALSE(file->AddRequestHeaders("accept: other", HTTP_ADDREQ_FLAG_ADD_IF_NEW));
  std::string body("a=1&b=%B1%A6\0tail", 17);
  std::string sent = body + "NOT SENT";
  file->SendRequest(nullptr, 0, sent.data(), static_cast<DWORD>(body.size()));
  DWORD status = 0;
  ASSERT_TRUE(file->QueryInfoStatusCode(status));
  EXPECT_EQ(status, 200u);

  std::vector<sites::RequestRecord> log = server_.Requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].method, "POST");
  EXPECT_EQ(log[0].body, body);
  // Our lines in our order, byte for byte (the empty one too), with no other
  // line between them.
  std::string expected;
  for (const char* header : headers) expected += std::string(header) + "\r\n";
  const std::string& head = log[0].raw_head;
  EXPECT_NE(head.find("\r\n" + expected), std::string::npos) << head;
  EXPECT_EQ(head.rfind("POST /basic/echo?x=1 HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nContent-Length: 17\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("Expect:"), std::string::npos) << head;

  // The echo came back whole.
  std::string reply;
  char buffer[100];
  UINT n;
  while ((n = file->Read(buffer, sizeof(buffer))) > 0) reply.append(buffer, n);
  EXPECT_EQ(reply, head + body);
}

TEST_P(Requests, RefusedConnection) {
  CInternetSession session;
  std::string url = GetParam() + "://127.0.0.1:" + std::to_string(sites::ClosedPort()) + "/";
  EXPECT_EQ(support::InternetErrorOf([&] { delete session.OpenURL(url.c_str()); }), ERROR_INTERNET_CANNOT_CONNECT);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);

  server_.SetRefuse(true);
  EXPECT_EQ(support::InternetErrorOf([&] { delete session.OpenURL(Url("/basic/lines-lf").c_str()); }),
            ERROR_INTERNET_CANNOT_CONNECT);
  server_.SetRefuse(false);
  EXPECT_EQ(Lines("/basic/lines-lf").size(), 3u);
}

TEST_P(Requests, UnknownHostName) {
  CInternetSession session;
  std::string url = GetParam() + "://no-such-host.invalid/";
  EXPECT_EQ(support::InternetErrorOf([&] { delete session.OpenURL(url.c_str()); }),
            ERROR_INTERNET_NAME_NOT_RESOLVED);
}

TEST_P(Requests, AReplyThatNeverComesTimesOut) {
  CInternetSession session;
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(support::InternetErrorOf([&] { delete session.OpenURL(Url("/basic/never").c_str()); }),
            ERROR_INTERNET_TIMEOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

  server_.SetStall(true);
  EXPECT_EQ(support::InternetErrorOf([&] { delete session.OpenURL(Url("/basic/lines-lf").c_str()); }),
            ERROR_INTERNET_TIMEOUT);
  server_.SetStall(false);
}

TEST_P(Requests, ARequestWaitingForItsReplyGivesUpWhenTheProgramEnds) {
  InternetTimeouts timeouts;
  timeouts.idle = std::chrono::seconds(20);
  SetInternetTimeouts(timeouts);
  server_.SetStall(true);
  std::atomic<DWORD> error{0};
  std::thread worker([&] {
    CInternetSession session;
    error = support::InternetErrorOf([&] { delete session.OpenURL(Url("/basic/lines-lf").c_str()); });
  });
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server_.RequestCount() == 0 && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(server_.RequestCount(), 1u);

  const auto raised = std::chrono::steady_clock::now();
  worker_registry::SetStopRequested(true);
  worker.join();
  const auto waited = std::chrono::steady_clock::now() - raised;
  worker_registry::SetStopRequested(false);
  EXPECT_EQ(error.load(), ERROR_INTERNET_OPERATION_CANCELLED);
  EXPECT_LT(waited, std::chrono::seconds(3));

  // Once the signal is down again, requests go through as before.
  server_.SetStall(false);
  EXPECT_EQ(Lines("/basic/lines-lf").size(), 3u);
}

TEST_P(Requests, ACutBodyGivesItsWholeLinesThenTheError) {
  CInternetSession session;
  std::unique_ptr<CHttpFile> file(session.OpenURL(Url("/basic/cut").c_str()));
  ASSERT_TRUE(file);
  std::vector<std::string> lines;
  DWORD error = support::InternetErrorOf([&] {
    CString line;
    while (file->ReadString(line)) lines.push_back(line.str());
  });
  EXPECT_EQ(error, ERROR_INTERNET_CONNECTION_ABORTED);
  ASSERT_EQ(lines.size(), 200u);
  EXPECT_EQ(lines.front(), "line 0000");
  EXPECT_EQ(lines.back(), "line 0199");

  // The switch cuts any page; the half line at the cut is not given.
  server_.SetCutBodies(true);
  std::unique_ptr<CHttpFile> half(session.OpenURL(Url("/basic/lines-lf").c_str()));
  lines.clear();
  error = support::InternetErrorOf([&] {
    CString line;
    while (half->ReadString(line)) lines.push_back(line.str());
  });
  EXPECT_EQ(error, ERROR_INTERNET_CONNECTION_ABORTED);
  EXPECT_EQ(lines, (std::vector<std::string>{"alpha"}));
}

TEST_P(Requests, LaterRequestsGoOutOnTheKeptConnection) {
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Lines("/basic/lines-lf").size(), 3u) << i;
  EXPECT_EQ(server_.ConnectionCount(), 1u);
  // A site that went down is not reached through its old connection; once it
  // is back, a new one is made.
  server_.SetRefuse(true);
  CInternetSession session;
  EXPECT_EQ(support::InternetErrorOf([&] { delete session.OpenURL(Url("/basic/lines-lf").c_str()); }),
            ERROR_INTERNET_CANNOT_CONNECT);
  server_.SetRefuse(false);
  EXPECT_EQ(Lines("/basic/lines-lf").size(), 3u);
  EXPECT_EQ(server_.ConnectionCount(), 2u);
  // Over TLS the new connection resumes the session of the first.
  EXPECT_EQ(server_.ResumedCount(), Secure() ? 1u : 0u);
}

TEST_P(Requests, ATricklingReplyEndsAtTheTotalTimeLimit) {
  InternetTimeouts timeouts;
  timeouts.idle = std::chrono::milliseconds(1500);
  timeouts.total = std::chrono::milliseconds(1000);
  SetInternetTimeouts(timeouts);
  const auto started = std::chrono::steady_clock::now();
  CInternetSession session;
  std::unique_ptr<CHttpFile> file;
  DWORD error = support::InternetErrorOf([&] {
    // The head comes at once, then a byte every 50 ms: never idle.
    file.reset(session.OpenURL(Url("/basic/trickle?ms=50").c_str()));
    CString line;
    while (file->ReadString(line)) {
    }
  });
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(error, ERROR_INTERNET_TIMEOUT);
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::seconds(3));
}

TEST_P(Requests, RepliesBeyondTheSizeLimitAreInvalid) {
  SetReplySizeLimit(4096);
  struct Case {
    std::string path;
    DWORD error;
    size_t bytes;  // of the body given before the error
  };
  const Case cases[] = {
      {"/basic/big?n=4096", 0, 4096},
      {"/basic/big?n=4097", ERROR_HTTP_INVALID_SERVER_RESPONSE, 4096},
      {"/basic/big?n=3000000", ERROR_HTTP_INVALID_SERVER_RESPONSE, 4096},
      // One header line over curl's limit fails before any body; the size
      // limit is for bodies only.
      {"/basic/longheader?n=20000", 0, 10},
      {"/basic/longheader?n=200000", ERROR_HTTP_INVALID_SERVER_RESPONSE, 0},
  };
  for (const Case& c : cases) {
    CInternetSession session;
    std::unique_ptr<CHttpFile> file;
    std::string body;
    DWORD error = support::InternetErrorOf([&] {
      file.reset(session.OpenURL(Url(c.path).c_str()));
      char buffer[1000];
      UINT n;
      while ((n = file->Read(buffer, sizeof(buffer))) > 0) body.append(buffer, n);
    });
    EXPECT_EQ(error, c.error) << c.path;
    EXPECT_EQ(body.size(), c.bytes) << c.path;
  }
  SetReplySizeLimit(kDefaultReplySizeLimit);
}

TEST_P(Requests, OtherSchemesGiveNoFile) {
  CInternetSession session;
  EXPECT_EQ(session.OpenURL("ftp://127.0.0.1/file"), nullptr);
  EXPECT_EQ(session.OpenURL("mailto://someone"), nullptr);
  EXPECT_EQ(support::InternetErrorOf([&] { session.OpenURL("not an address"); }), ERROR_INTERNET_INVALID_URL);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_P(Requests, RepliesSetCookiesForLaterRequests) {
  CInternetSession session;
  delete session.OpenURL(Url("/basic/setcookie").c_str());
  std::unique_ptr<CHttpFile> file(session.OpenURL(Url("/basic/cookies").c_str()));
  CString line;
  ASSERT_TRUE(file->ReadString(line));
  EXPECT_NE(line.Find("site_session=s1"), -1) << line.GetString();
  EXPECT_NE(line.Find("site_secret=s2"), -1) << line.GetString();
  EXPECT_NE(line.Find("site_wide=s3"), -1) << line.GetString();

  char buffer[8192];
  DWORD size = sizeof(buffer);
  ASSERT_TRUE(InternetGetCookieExA(Url("/").c_str(), nullptr, buffer, &size, 0, nullptr));
  EXPECT_EQ(std::string(buffer).find("site_secret"), std::string::npos);
  size = sizeof(buffer);
  ASSERT_TRUE(InternetGetCookieExA(Url("/").c_str(), nullptr, buffer, &size,
                                   INTERNET_COOKIE_HTTPONLY, nullptr));
  EXPECT_NE(std::string(buffer).find("site_secret=s2"), std::string::npos);
}

TEST_P(Requests, DomainCookiesOfNamedHostsReachTheOtherHosts) {
  CInternetSession session;
  delete session.OpenURL(server_.NamedUrl(GetParam(), "login", "/basic/setcookie").c_str());
  std::unique_ptr<CHttpFile> file(
      session.OpenURL(server_.NamedUrl(GetParam(), "sell", "/basic/cookies").c_str()));
  CString line;
  ASSERT_TRUE(file->ReadString(line));
  // Only the domain-wide one crosses to another host.
  EXPECT_EQ(line, "site_wide=s3");
}

INSTANTIATE_TEST_SUITE_P(Schemes, Requests, ::testing::Values("http", "https"),
                         [](const auto& info) { return info.param; });

// Certificates: the system's store plus the extra CA; a name mismatch only
// where the request asks to ignore it.
class Certificates : public ::testing::Test {
 protected:
  void SetUp() override {
    InternetTimeouts timeouts;
    timeouts.idle = std::chrono::seconds(2);
    SetInternetTimeouts(timeouts);
  }
  void TearDown() override {
    SetInternetTimeouts(InternetTimeouts());
    SetExtraCaFile("");
  }

  static DWORD Get(const std::string& url) {
    CInternetSession session;
    try {
      delete session.OpenURL(url.c_str());
    } catch (CInternetException* error) {
      DWORD number = error->m_dwError;
      error->Delete();
      return number;
    }
    return 0;
  }

  static DWORD Post(const SiteServer& server, DWORD request_flags) {
    CInternetSession session;
    try {
      std::unique_ptr<CHttpConnection> connection(session.GetHttpConnection(
          "127.0.0.1", 0x00C00000, static_cast<INTERNET_PORT>(server.port())));
      std::unique_ptr<CHttpFile> file(
          connection->OpenRequest("POST", "/basic/echo", nullptr, 1, nullptr, nullptr, request_flags));
      file->SendRequest(nullptr, 0, const_cast<char*>("a=1"), 3);
    } catch (CInternetException* error) {
      DWORD number = error->m_dwError;
      error->Delete();
      return number;
    }
    return 0;
  }
};

TEST_F(Certificates, TestCaIsTrustedOnlyWhenNamed) {
  SiteServer good;
  sites::AddBasicRoutes(good);
  std::string url = good.Url("https", "/basic/lines-lf");
  EXPECT_EQ(Get(url), ERROR_INTERNET_INVALID_CA);
  ASSERT_TRUE(SetExtraCaFile(sites::TestCaFile()));
  EXPECT_EQ(Get(url), 0u);
  EXPECT_EQ(Get(good.NamedUrl("https", "www", "/basic/lines-lf")), 0u);
  EXPECT_FALSE(SetExtraCaFile("/nonexistent/ca.pem"));
  EXPECT_EQ(Get(url), ERROR_INTERNET_INVALID_CA);
}

TEST_F(Certificates, NameMismatchOnlyWhereIgnored) {
  ASSERT_TRUE(SetExtraCaFile(sites::TestCaFile()));
  SiteServer other(sites::CertKind::kWrongName);
  sites::AddBasicRoutes(other);
  EXPECT_EQ(Get(other.Url("https", "/basic/lines-lf")), ERROR_INTERNET_SEC_CERT_CN_INVALID);
  EXPECT_EQ(Post(other, 0x84800000), ERROR_INTERNET_SEC_CERT_CN_INVALID);
  EXPECT_EQ(Post(other, 0x84801000), 0u);
  // Plain HTTP on the same port is not concerned.
  EXPECT_EQ(Get(other.Url("http", "/basic/lines-lf")), 0u);
}

TEST_F(Certificates, UnknownIssuerFailsEvenWhereTheNameIsIgnored) {
  ASSERT_TRUE(SetExtraCaFile(sites::TestCaFile()));
  SiteServer stranger(sites::CertKind::kUntrusted);
  sites::AddBasicRoutes(stranger);
  EXPECT_EQ(Get(stranger.Url("https", "/basic/lines-lf")), ERROR_INTERNET_INVALID_CA);
  EXPECT_EQ(Post(stranger, 0x84801000), ERROR_INTERNET_INVALID_CA);
  EXPECT_EQ(stranger.RequestCount(), 0u);
}

TEST_F(Certificates, ABadCertificateIsRefusedOnEveryRequest) {
  ASSERT_TRUE(SetExtraCaFile(sites::TestCaFile()));
  SiteServer wrong(sites::CertKind::kWrongName);
  SiteServer stranger(sites::CertKind::kUntrusted);
  SiteServer expired(sites::CertKind::kExpired);
  for (SiteServer* server : {&wrong, &stranger, &expired}) sites::AddBasicRoutes(*server);
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(Get(wrong.Url("https", "/basic/lines-lf")), ERROR_INTERNET_SEC_CERT_CN_INVALID);
    // A connection made where the name is ignored does not serve a request
    // that checks it.
    EXPECT_EQ(Post(wrong, 0x84801000), 0u);
    EXPECT_EQ(Get(wrong.Url("https", "/basic/lines-lf")), ERROR_INTERNET_SEC_CERT_CN_INVALID);
    EXPECT_EQ(Get(stranger.Url("https", "/basic/lines-lf")), ERROR_INTERNET_INVALID_CA);
    EXPECT_EQ(Post(stranger, 0x84801000), ERROR_INTERNET_INVALID_CA);
    EXPECT_EQ(Get(expired.Url("https", "/basic/lines-lf")), ERROR_INTERNET_SEC_CERT_DATE_INVALID);
    EXPECT_EQ(Post(expired, 0x84801000), ERROR_INTERNET_SEC_CERT_DATE_INVALID);
  }
  EXPECT_EQ(wrong.RequestCount(), 3u);  // the posts
  EXPECT_EQ(stranger.RequestCount(), 0u);
  EXPECT_EQ(expired.RequestCount(), 0u);
}

TEST(InternetException, TextsAreReadable) {
  char text[256];
  CInternetException timeout(ERROR_INTERNET_TIMEOUT);
  EXPECT_TRUE(timeout.GetErrorMessage(text, sizeof(text)));
  EXPECT_STREQ(text, "操作超时");
  CInternetException odd(12999);
  EXPECT_TRUE(odd.GetErrorMessage(text, sizeof(text)));
  EXPECT_NE(std::string(text).find("12999"), std::string::npos);
}

}  // namespace
