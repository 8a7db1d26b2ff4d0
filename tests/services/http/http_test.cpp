// The four request functions with the shop session, against the local sites
// over HTTP and HTTPS, with the host settings of a test program folder.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/cookies.h"
#include "platform/net/internet.h"
#include "platform/text/codepage.h"
#include "services/hosts.h"
#include "services/http.h"
#include "tests/sites/basic_routes.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/site_server.h"
#include "tests/support/internet_error.h"

namespace {

using sites::SiteServer;

// The name=value pairs of a cookie text; the order in which a request
// carries cookies is curl's (longest path, then longest name first).
std::set<std::string> Pairs(const std::string& text) {
  std::set<std::string> pairs;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("; ", at);
    pairs.insert(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end == std::string::npos ? text.size() : end + 2;
  }
  return pairs;
}

void SetCookieText(const std::string& text) {
  std::memset(g_CookieBuffer, 0, sizeof(g_CookieBuffer));
  std::memcpy(g_CookieBuffer, text.data(), std::min(text.size(), sizeof(g_CookieBuffer) - 1));
}

using support::InternetErrorOf;

class HttpHelpers : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    sites::AddBasicRoutes(server_);
    sites::WriteHostsIni(folder_, server_);
    InternetTimeouts timeouts;
    timeouts.connect = std::chrono::milliseconds(3000);
    timeouts.idle = std::chrono::milliseconds(1500);
    SetInternetTimeouts(timeouts);
    ClearCookieStore();
    SetCookieText("");
  }
  void TearDown() override {
    SetInternetTimeouts(InternetTimeouts());
    ClearCookieStore();
    SetCookieText("");
  }

  CString Url(const std::string& path) const { return server_.Url(GetParam(), path).c_str(); }

  SiteServer server_;
  sites::TestProgramFolder folder_;
};

TEST_P(HttpHelpers, LinesComeBackEndedByCrLf) {
  for (auto get : {HttpGetWithCookie, HttpGetUtf8, HttpGetQuiet}) {
    EXPECT_EQ(get(Url("/basic/lines-lf")), "alpha\r\nbeta\r\ngamma\r\n");
    EXPECT_EQ(get(Url("/basic/lines-crlf")), "alpha\r\r\nbeta\r\r\n");
    EXPECT_EQ(get(Url("/basic/empty")), "");
    EXPECT_EQ(get(Url("/basic/redirect?to=/basic/lines-lf")), "alpha\r\nbeta\r\ngamma\r\n");
  }
}

TEST_P(HttpHelpers, ErrorPagesAreReadByTheGetsAndEmptyForThePost) {
  for (int status : {404, 500}) {
    char page[256];
    std::snprintf(page, sizeof(page), sites::kBasicErrorPage, status);
    std::string expected = std::string(page, std::strlen(page) - 1) + "\r\n";
    std::string path = "/basic/status/" + std::to_string(status);
    EXPECT_EQ(HttpGetWithCookie(Url(path)), expected.c_str());
    EXPECT_EQ(HttpGetQuiet(Url(path)), expected.c_str());
    CString reply = "stale";
    EXPECT_EQ(HttpPostForm(0, Url(path), "a=1", reply, ""), 0);
    EXPECT_EQ(reply, "");
  }
}

TEST_P(HttpHelpers, PostToAnotherSchemeMakesNoRequest) {
  CString reply = "stale";
  EXPECT_EQ(HttpPostForm(0, ("ftp://" + server_.HostPort() + "/upload").c_str(), "a=1", reply, ""),
            1);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(HttpPostForm(0, "no address at all", "a=1", reply, ""), 1);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_P(HttpHelpers, PostFailuresGiveTheirCodeAndErrorNumber) {
  CString reply;
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpPostForm(0, Url("/basic/never"), "a=1", reply, ""), 2);
  EXPECT_EQ(reply, "dwError = 12002");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

  std::string refused =
      GetParam() + "://127.0.0.1:" + std::to_string(sites::ClosedPort()) + "/basic/echo";
  EXPECT_EQ(HttpPostForm(0, refused.c_str(), "a=1", reply, ""), 1);
  EXPECT_EQ(reply, "dwError = 12029");

  // A body cut after the reply began.
  server_.SetCutBodies(true);
  EXPECT_EQ(HttpPostForm(0, Url("/basic/big?n=5000"), "a=1", reply, ""), 1);
  EXPECT_EQ(reply, "dwError = 12030");
}

TEST_P(HttpHelpers, Utf8PagesArriveAsGbkOnlyThroughHttpGetUtf8) {
  std::string gbk = std::string("<html><body>") + sites::kBasicChineseText + "</body></html>\r\n";
  EXPECT_EQ(HttpGetUtf8(Url("/basic/utf8")), gbk.c_str());
  // Taken as GBK bytes: not decoded.
  CString raw = HttpGetWithCookie(Url("/basic/utf8"));
  EXPECT_EQ(raw.Find(sites::kBasicChineseText), -1);
  EXPECT_EQ(raw.Left(12), "<html><body>");
  // A GBK page stays as it is through the round trip.
  EXPECT_EQ(HttpGetWithCookie(Url("/basic/gbk")), gbk.c_str());
  EXPECT_EQ(HttpGetQuiet(Url("/basic/gbk")), gbk.c_str());
}

TEST_P(HttpHelpers, AnsiRoundTripReplacesWhatIsNotGbk) {
  // "A", a lone 0xFF, "B", a lead byte without its trail at the end of a line.
  CString page = HttpGetWithCookie(Url("/basic/hex?b=41ff42b10a"));
  EXPECT_EQ(page, "A?B?\r\n");
  // HttpGetQuiet converts nothing.
  EXPECT_EQ(HttpGetQuiet(Url("/basic/hex?b=41ff42b10a")), "A\xff" "B\xb1\r\n");
  CString reply;
  EXPECT_EQ(HttpPostForm(0, Url("/basic/hex?b=41ff42"), "", reply, ""), 0);
  EXPECT_EQ(reply, "A?B");
}

TEST_P(HttpHelpers, NetworkFailuresOfTheGets) {
  CString refused =
      (GetParam() + "://127.0.0.1:" + std::to_string(sites::ClosedPort()) + "/basic/lines-lf").c_str();
  EXPECT_EQ(HttpGetQuiet(refused), "");
  EXPECT_EQ(InternetErrorOf([&] { HttpGetWithCookie(refused); }), ERROR_INTERNET_CANNOT_CONNECT);
  EXPECT_EQ(InternetErrorOf([&] { HttpGetUtf8(refused); }), ERROR_INTERNET_CANNOT_CONNECT);

  EXPECT_EQ(HttpGetQuiet(Url("/basic/never")), "");
  EXPECT_EQ(InternetErrorOf([&] { HttpGetWithCookie(Url("/basic/never")); }), ERROR_INTERNET_TIMEOUT);

  // A cut read: the quiet GET gives the whole lines read before the cut.
  CString partial = HttpGetQuiet(Url("/basic/cut"));
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    char line[16];
    std::snprintf(line, sizeof(line), "line %04d\r\n", i);
    expected += line;
  }
  EXPECT_EQ(partial, expected.c_str());
  EXPECT_EQ(InternetErrorOf([&] { HttpGetWithCookie(Url("/basic/cut")); }),
            ERROR_INTERNET_CONNECTION_ABORTED);
}

TEST_P(HttpHelpers, TricklingAndOverSizeRepliesEndWithTheirError) {
  SetReplySizeLimit(4096);
  // The over-size reply has all the time a loaded machine may need, so that
  // it can only end by its size.
  struct Case {
    const char* path;
    DWORD error;
    int post_code;
    std::chrono::milliseconds total;
  };
  const Case cases[] = {
      {"/basic/trickle?ms=20", ERROR_INTERNET_TIMEOUT, 2, std::chrono::milliseconds(500)},
      {"/basic/big?n=100000", ERROR_HTTP_INVALID_SERVER_RESPONSE, 1, std::chrono::seconds(30)},
  };
  for (const Case& c : cases) {
    InternetTimeouts timeouts = GetInternetTimeouts();
    timeouts.total = c.total;
    SetInternetTimeouts(timeouts);
    const CString url = Url(c.path);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(InternetErrorOf([&] { HttpGetWithCookie(url); }), c.error) << c.path;
    EXPECT_EQ(InternetErrorOf([&] { HttpGetUtf8(url); }), c.error) << c.path;
    CString reply;
    EXPECT_EQ(HttpPostForm(0, url, "a=1", reply, ""), c.post_code) << c.path;
    EXPECT_EQ(reply, ("dwError = " + std::to_string(c.error)).c_str());
    // Neither page has a whole line before its end.
    EXPECT_EQ(HttpGetQuiet(url), "") << c.path;
    // Four requests, each ended by its total limit at the latest.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 4 * c.total + std::chrono::seconds(10))
        << c.path;
  }
  SetReplySizeLimit(kDefaultReplySizeLimit);
}

TEST_P(HttpHelpers, OtherSchemesGiveEmptyTextWithoutTraffic) {
  EXPECT_EQ(HttpGetQuiet("ftp://127.0.0.1/x"), "");
  EXPECT_EQ(HttpGetWithCookie("ftp://127.0.0.1/x"), "");
  EXPECT_EQ(HttpGetUtf8("ftp://127.0.0.1/x"), "");
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_P(HttpHelpers, EmptyCookieTextStillMakesTheRequest) {
  SetCookieText("");
  // The page echoes an absent Cookie header as an empty body: no line at all.
  EXPECT_EQ(HttpGetWithCookie(Url("/basic/cookies")), "");
  EXPECT_EQ(server_.RequestCount(), 1u);
  CString reply = "stale";
  EXPECT_EQ(HttpPostForm(0, Url("/basic/cookies"), "", reply, ""), 0);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(server_.RequestCount(), 2u);
}

TEST_P(HttpHelpers, CookieTextRidesOnTheSessionRequestsOnly) {
  SetCookieText("cookie2=abc; tracknick=%5Cu5f20; _tb_token_=t0k");
  const std::set<std::string> session = {"cookie2=abc", "tracknick=%5Cu5f20", "_tb_token_=t0k"};
  CString page = HttpGetWithCookie(Url("/basic/cookies"));
  ASSERT_EQ(page.Right(2), "\r\n");
  EXPECT_EQ(Pairs(page.Left(page.GetLength() - 2).str()), session);
  CString reply;
  EXPECT_EQ(HttpPostForm(0, Url("/basic/cookies"), "x=1", reply, ""), 0);
  EXPECT_EQ(Pairs(reply.str()), session);
  // The quiet GET and the UTF-8 GET carry what the store holds, but set
  // nothing themselves.
  ClearCookieStore();
  EXPECT_EQ(HttpGetQuiet(Url("/basic/cookies")), "");
  EXPECT_EQ(HttpGetUtf8(Url("/basic/cookies")), "");
}

TEST_P(HttpHelpers, PostSendsTheFixedHeadersInOrderAndTheExactBody) {
  SetCookieText("s=1");
  CString form = "_tb_token_=abc&price=35.00&title=%B1%A6%B1%B4";
  CString reply;
  EXPECT_EQ(HttpPostForm(7, Url("/basic/echo?type=11"), form, reply, "unused"), 0);
  std::vector<sites::RequestRecord> log = server_.Requests();
  ASSERT_EQ(log.size(), 1u);
  const std::string& head = log[0].raw_head;
  std::string fixed =
      "User-Agent: Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0\r\n"
      "Accept:\ttext/html, application/xhtml+xml, */*\r\n"
      "Accept-Language:\tzh-CN\r\n"
      "Accept-Charset: GBK\r\n"
      "Keep-Alive: 115\r\n"
      "DNT: 1\r\n"
      "Connection:Keep-Alive\r\n"
      "Referer:\thttps://" + server_.HostPort() +
      "/auction/merchandise/auction_list.htm?spm=0.0.0.0.CLyroS\r\n"
      "Content-Type:\tapplication/x-www-form-urlencoded\r\n";
  EXPECT_NE(head.find("\r\n" + fixed), std::string::npos) << head;
  EXPECT_EQ(head.rfind("POST /basic/echo?type=11 HTTP/1.1\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(form.GetLength()) + "\r\n"),
            std::string::npos);
  EXPECT_NE(head.find("\r\nCookie: s=1\r\n"), std::string::npos);
  // Each fixed header once: none of curl's own beside them.
  for (const char* name : {"User-Agent", "Accept:", "Content-Type", "Connection"}) {
    size_t first = head.find(std::string("\r\n") + name);
    EXPECT_EQ(head.find(std::string("\r\n") + name, first + 1), std::string::npos) << name;
  }
  EXPECT_EQ(log[0].body, form.str());
  EXPECT_EQ(reply, (head + form.str()).c_str());
}

TEST_P(HttpHelpers, PostReadsChunksUpToTheirFirstZeroByte) {
  CString reply;
  EXPECT_EQ(HttpPostForm(0, Url("/basic/zero"), "", reply, ""), 0);
  EXPECT_EQ(reply, "before");
  EXPECT_EQ(HttpPostForm(0, Url("/basic/big?n=5000"), "", reply, ""), 0);
  EXPECT_EQ(reply, sites::BigBody(5000).c_str());

  // The echo of a body with a zero byte: the chunk holding it is cut there,
  // the next chunk is read whole again.
  std::string body = std::string(1500, 'x') + '\0' + std::string(2000, 'y');
  EXPECT_EQ(HttpPostForm(0, Url("/basic/echo"), CString(body), reply, ""), 0);
  std::string echo = server_.Requests().back().raw_head + body;
  std::string expected;
  for (size_t at = 0; at < echo.size(); at += 1024) {
    std::string chunk = echo.substr(at, 1024);
    expected += chunk.substr(0, chunk.find('\0'));
  }
  ASSERT_LT(expected.size(), echo.size());
  EXPECT_EQ(reply.str(), expected);
}

TEST_P(HttpHelpers, ACookieSetByOneReplyRidesOnAnotherThreadsRequest) {
  std::thread([&] { HttpGetWithCookie(Url("/basic/setcookie?name=ride&value=on&httponly=1")); })
      .join();
  CString seen;
  std::thread([&] { seen = HttpGetQuiet(Url("/basic/cookies")); }).join();
  EXPECT_EQ(seen, "ride=on\r\n");
  CString reply;
  std::thread([&] { HttpPostForm(0, Url("/basic/cookies"), "", reply, ""); }).join();
  EXPECT_EQ(reply, "ride=on");
}

TEST_P(HttpHelpers, FiftyThreadsShareOneCookieStore) {
  constexpr int kThreads = 50;
  std::vector<std::thread> threads;
  std::vector<std::string> seen(kThreads);
  std::atomic<int> failures{0};
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      try {
        std::string name = "t" + std::to_string(i);
        HttpGetWithCookie(Url("/basic/setcookie?name=" + name + "&value=v" + std::to_string(i)));
        CString reply;
        if (HttpPostForm(0, Url("/basic/cookies"), "", reply, "") != 0) {
          ++failures;
          ADD_FAILURE() << "post " << i << ": " << reply.GetString();
        }
        seen[i] = reply.str();
        HttpGetQuiet(Url("/basic/lines-lf"));
      } catch (CInternetException* error) {
        ADD_FAILURE() << "get " << i << ": " << error->m_dwError;
        error->Delete();
        ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  for (int i = 0; i < kThreads; ++i) {
    // Each thread's next request carried its own cookie.
    EXPECT_TRUE(Pairs(seen[i]).count("t" + std::to_string(i) + "=v" + std::to_string(i)))
        << seen[i];
  }
  char buffer[8192];
  DWORD size = sizeof(buffer);
  ASSERT_TRUE(InternetGetCookieExA(Url("/").GetString(), nullptr, buffer, &size,
                                   INTERNET_COOKIE_HTTPONLY, nullptr));
  std::set<std::string> all = Pairs(buffer);
  for (int i = 0; i < kThreads; ++i)
    EXPECT_TRUE(all.count("t" + std::to_string(i) + "=v" + std::to_string(i))) << i;
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads));
}

TEST_P(HttpHelpers, CookieTextGoesIntoTheStoreOncePerChange) {
  auto carried = [&] {
    CString page = HttpGetWithCookie(Url("/basic/cookies"));
    return Pairs(page.Left(page.GetLength() - 2).str());
  };
  SetCookieText("k=1; s=a");
  EXPECT_EQ(carried(), (std::set<std::string>{"k=1", "s=a"}));
  // A reply changes one of them: the unchanged text is not put in again.
  HttpGetWithCookie(Url("/basic/setcookie?name=k&value=2"));
  EXPECT_EQ(carried(), (std::set<std::string>{"k=2", "s=a"}));
  CString reply;
  EXPECT_EQ(HttpPostForm(0, Url("/basic/cookies"), "", reply, ""), 0);
  EXPECT_EQ(Pairs(reply.str()), (std::set<std::string>{"k=2", "s=a"}));
  // A changed text goes in, and the same text again once the store was emptied.
  SetCookieText("k=3; s=a");
  EXPECT_EQ(carried(), (std::set<std::string>{"k=3", "s=a"}));
  ClearCookieStore();
  EXPECT_EQ(carried(), (std::set<std::string>{"k=3", "s=a"}));
}

// What the sync producers do at full speed: every call gives the whole page,
// none an empty one for want of a local port.
TEST_P(HttpHelpers, TwentyThousandQuietPagesFromFifteenThreads) {
  // The fixture's short limits would take a loaded machine's stall for a
  // timed-out (empty) page: this test is about local ports, not limits.
  SetInternetTimeouts(InternetTimeouts());
  constexpr int kThreads = 15;
  constexpr int kPages = 20000;
  const CString url = Url("/basic/delay?ms=0&size=2000");
  const CString page = CString("delayed\r\n") + CString(sites::BigBody(2000)) + "\r\n";
  std::atomic<int> next{0}, whole{0}, empty{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      while (next++ < kPages) {
        CString got = HttpGetQuiet(url);
        if (got == page) ++whole;
        else if (got.IsEmpty()) ++empty;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(whole.load(), kPages);
  EXPECT_EQ(empty.load(), 0);
  int time_wait = sites::TimeWaitSockets(server_.port());
  RecordProperty("time_wait_sockets", time_wait);
  std::printf("%d pages over %s from %d threads: %zu connections, %d sockets in TIME_WAIT\n",
              kPages, GetParam().c_str(), kThreads, server_.ConnectionCount(), time_wait);
  EXPECT_LT(time_wait, 1000);
}

INSTANTIATE_TEST_SUITE_P(Schemes, HttpHelpers, ::testing::Values("http", "https"),
                         [](const auto& info) { return info.param; });

// Named marketplace hosts under one domain: the session's cookie text set
// for the www host reaches the seller centre and every other host.
class NamedHosts : public ::testing::Test {
 protected:
  void SetUp() override {
    sites::AddBasicRoutes(server_);
    std::string port = std::to_string(server_.port());
    std::map<std::string, std::string> names;
    for (const char* key : {"Www", "Login", "Upload", "Seller", "Item"}) {
      std::string name = key;
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      names[key] = name + "." + sites::kTestDomain + ":" + port;
    }
    sites::WriteHostsIni(folder_, server_, names);
    ClearCookieStore();
  }
  void TearDown() override {
    ClearCookieStore();
    SetCookieText("");
  }

  SiteServer server_;
  sites::TestProgramFolder folder_;
};

TEST_F(NamedHosts, SessionCookiesReachEveryMarketplaceHost) {
  EXPECT_EQ(Hosts().www, ("www." + std::string(sites::kTestDomain) + ":" +
                          std::to_string(server_.port())).c_str());
  SetCookieText("cookie2=abc; unb=42");
  CString seller = ("https://" + Hosts().seller.str() + "/basic/cookies").c_str();
  EXPECT_EQ(HttpGetWithCookie(seller), "cookie2=abc; unb=42\r\n");  // longer name first
  CString reply;
  EXPECT_EQ(HttpPostForm(0, seller, "", reply, ""), 0);
  EXPECT_EQ(reply, "cookie2=abc; unb=42");
  EXPECT_EQ(HttpGetWithCookie(("http://" + Hosts().upload.str() + "/basic/cookies").c_str()),
            "cookie2=abc; unb=42\r\n");
  // The Referer names the seller-centre host of the settings.
  EXPECT_EQ(HttpPostForm(0, seller, "", reply, ""), 0);
  EXPECT_NE(server_.Requests().back().raw_head.find(
                "\r\nReferer:\thttps://" + Hosts().seller.str() + "/auction/"),
            std::string::npos);
}

TEST_F(NamedHosts, SignInCookiesOfTheLoginHostReadBackForTheWwwHost) {
  // What the sign-in does: the login page sets cookies, one of them HttpOnly
  // and one for the whole domain; the session is then read for the www host.
  CString login = ("http://" + Hosts().login.str() + "/basic/setcookie").c_str();
  HttpGetQuiet(login);
  char buffer[8192] = {0};
  DWORD size = sizeof(buffer);
  ASSERT_TRUE(InternetGetCookieExA(("http://" + Hosts().www.str()).c_str(), nullptr, buffer,
                                   &size, INTERNET_COOKIE_HTTPONLY, nullptr));
  EXPECT_STREQ(buffer, "site_wide=s3");
}

// The seller centre sends an ended session to the sign-in page: a form
// whose request a redirect took to the Login host has an empty reply.
TEST_F(NamedHosts, AFormRedirectedToTheLoginHostIsSignedOut) {
  const std::string port = std::to_string(server_.port());
  const std::string login = "login." + std::string(sites::kTestDomain);
  struct Case {
    const char* name;
    std::string login_setting;  // the Login key
    std::string post_to;        // on the seller host unless it starts with "https://"
    bool signed_out;
  };
  const Case cases[] = {
      {"redirected to the sign-in page", login + ":" + port,
       "/basic/redirect?to=https://" + login + ":" + port + "/basic/lines-lf", true},
      {"host named in capitals, any port", "LOGIN." + std::string(sites::kTestDomain),
       "/basic/redirect?to=https://" + login + ":" + port + "/basic/lines-lf", true},
      {"host written with a final dot", login + ":" + port,
       "/basic/redirect?to=https://" + login + ".:" + port + "/basic/lines-lf", true},
      {"redirected elsewhere", login + ":" + port, "/basic/redirect?to=/basic/lines-lf", false},
      {"the Login host asked itself", login + ":" + port,
       "https://" + login + ":" + port + "/basic/lines-lf", false},
      {"Login on another port", login + ":1",
       "/basic/redirect?to=https://" + login + ":" + port + "/basic/lines-lf", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sites::WriteHostsIni(folder_, server_,
                         {{"Seller", "seller." + std::string(sites::kTestDomain) + ":" + port},
                          {"Login", c.login_setting}});
    const std::string url = c.post_to.rfind("https://", 0) == 0
                                ? c.post_to
                                : "https://" + Hosts().seller.str() + c.post_to;
    bool signed_out = !c.signed_out;
    const CString reply = PostSellerForm(url.c_str(), "a=1", &signed_out);
    EXPECT_EQ(signed_out, c.signed_out);
    EXPECT_EQ(reply, c.signed_out ? "" : "alpha\nbeta\ngamma");
  }
}

TEST(MarketplaceCookieDomain, FromTheWwwHost) {
  EXPECT_EQ(MarketplaceCookieDomain("www.taobao.com"), ".taobao.com");
  EXPECT_EQ(MarketplaceCookieDomain("WWW.Taobao.COM"), ".taobao.com");
  EXPECT_EQ(MarketplaceCookieDomain("taobao.com"), ".taobao.com");
  EXPECT_EQ(MarketplaceCookieDomain("www.market.localhost:8443"), ".market.localhost");
  EXPECT_EQ(MarketplaceCookieDomain("127.0.0.1:8080"), "127.0.0.1");
  EXPECT_EQ(MarketplaceCookieDomain("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(MarketplaceCookieDomain("localhost:99"), "localhost");
  EXPECT_EQ(MarketplaceCookieDomain("[::1]:8080"), "::1");
}

TEST(SessionCookieText, ReachesEveryTaobaoHostWithoutTraffic) {
  // The real hosts' default settings (no options file): what the store holds
  // after the cookie text is set, checked without sending anything.
  ClearCookieStore();
  sites::TestProgramFolder folder;
  ReloadHosts();
  SetCookieText("cookie2=abc; t=9");
  // The request fails at once (no such scheme); the cookie text was set first.
  CString reply;
  EXPECT_EQ(HttpPostForm(0, "https://127.0.0.1:1/", "", reply, ""), 1);
  for (const char* url : {"http://www.taobao.com/", "https://sell.taobao.com/auction/x",
                          "http://upload.taobao.com/", "https://item.taobao.com/item.htm"}) {
    char buffer[256] = {0};
    DWORD size = sizeof(buffer);
    ASSERT_TRUE(InternetGetCookieExA(url, nullptr, buffer, &size, 0, nullptr)) << url;
    EXPECT_STREQ(buffer, "cookie2=abc; t=9") << url;
  }
  char buffer[256];
  DWORD size = sizeof(buffer);
  EXPECT_FALSE(InternetGetCookieExA("http://www.dangdang.com/", nullptr, buffer, &size, 0, nullptr));
  SetCookieText("");
  ClearCookieStore();
}

}  // namespace
