// Requests through the pool of lent handles against a loopback site: a long
// session of them holds no more heap than its first requests did.
#include <gtest/gtest.h>
#include <malloc.h>

#include <memory>
#include <string>

#include "platform/net/cookies.h"
#include "platform/net/internet.h"
#include "tests/sites/basic_routes.h"
#include "tests/sites/site_server.h"

namespace {

TEST(RequestPool, HeapStaysFlatOverALongSession) {
  struct Row {
    const char* what;
    const char* scheme;
    const char* path;
    const char* reply_holds;  // in every reply
  };
  const Row rows[] = {
      {"plain page", "http", "/basic/lines-lf", "alpha"},
      {"page over TLS", "https", "/basic/lines-lf", "alpha"},
      {"reply that sets cookies", "http", "/basic/setcookie", "cookies set"},
      {"request that carries the cookies", "https", "/basic/cookies", "site_secret=s2"},
  };
  constexpr int kWarmUp = 300;
  constexpr int kRequests = 10000;
  // Room for what glibc's per-thread caches of freed blocks (which count as in
  // use) take in over a run, client and site threads alike; a leak of one
  // small block per request is ten times as much.
  constexpr long long kSlack = 64 * 1024;

  // One connection per origin for the whole run: each new connection would
  // put a site thread to work for the first time, and its allocator caches
  // would be counted with the client's heap.
  sites::SiteServer server(sites::CertKind::kGood, 1 << 20);
  AddBasicRoutes(server);
  SetExtraCaFile(sites::TestCaFile());
  ClearCookieStore();
  for (const Row& row : rows) {
    const std::string url = server.Url(row.scheme, row.path);
    auto run = [&](int count) {
      CInternetSession session;
      for (int i = 0; i < count; ++i) {
        std::unique_ptr<CHttpFile> file(session.OpenURL(url.c_str()));
        ASSERT_TRUE(file) << row.what;
        std::string reply;
        char buffer[256];
        for (UINT n; (n = file->Read(buffer, sizeof(buffer))) > 0;) reply.append(buffer, n);
        ASSERT_NE(reply.find(row.reply_holds), std::string::npos) << row.what << ": " << reply;
        // The site's log of requests is not the client's heap.
        if (i % 100 == 99) server.ClearRequests();
      }
      server.ClearRequests();
    };
    run(kWarmUp);
    const long long before = static_cast<long long>(mallinfo2().uordblks);
    run(kRequests);
    const long long grown = static_cast<long long>(mallinfo2().uordblks) - before;
    EXPECT_LT(grown, kSlack) << row.what << ": " << grown << " bytes more after " << kRequests
                             << " requests";
  }
  SetExtraCaFile("");
  ClearCookieStore();
}

}  // namespace
