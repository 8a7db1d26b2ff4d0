// The process-wide cookie store without any traffic: what a request to an
// address would carry, as the sign-in reads it into an 8192-byte buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "platform/net/cookies.h"
#include "platform/net/internet.h"

namespace {

std::string CookiesFor(const char* url, DWORD flags = INTERNET_COOKIE_HTTPONLY) {
  char buffer[8192] = {0};
  DWORD size = sizeof(buffer);
  if (!InternetGetCookieExA(url, nullptr, buffer, &size, flags, nullptr)) return "<none>";
  return buffer;
}

std::set<std::string> Pairs(const std::string& text) {
  std::set<std::string> pairs;
  std::istringstream in(text);
  std::string pair;
  while (std::getline(in, pair, ';')) {
    if (!pair.empty() && pair[0] == ' ') pair.erase(0, 1);
    pairs.insert(pair);
  }
  return pairs;
}

class CookieStore : public ::testing::Test {
 protected:
  void SetUp() override { ClearCookieStore(); }
  void TearDown() override { ClearCookieStore(); }
};

TEST_F(CookieStore, SetTextGivesOneHostCookiePerPair) {
  ASSERT_TRUE(InternetSetCookieA("http://www.shop.example/", nullptr, "a=1; b=2;c=3 ; junk"));
  EXPECT_EQ(CookiesFor("http://www.shop.example/"), "a=1; b=2; c=3");
  EXPECT_EQ(CookiesFor("http://www.shop.example/deep/page?x=1"), "a=1; b=2; c=3");
  // Host cookies: neither another host of the domain nor the parent.
  EXPECT_EQ(CookiesFor("http://sell.shop.example/"), "<none>");
  EXPECT_EQ(CookiesFor("http://shop.example/"), "<none>");
  // A port is not part of a cookie's scope.
  EXPECT_EQ(CookiesFor("https://www.shop.example:8443/"), "a=1; b=2; c=3");
}

TEST_F(CookieStore, NamedCookieAndReplacement) {
  ASSERT_TRUE(InternetSetCookieA("http://h.example/", "k", "v1"));
  ASSERT_TRUE(InternetSetCookieA("http://h.example/", "k", "v2"));
  EXPECT_EQ(CookiesFor("http://h.example/"), "k=v2");
  EXPECT_FALSE(InternetSetCookieA("not an address", nullptr, "a=1"));
  EXPECT_FALSE(InternetSetCookieA("http://h.example/", nullptr, ""));
}

TEST_F(CookieStore, CookiesTheStoreDropsAreReportedAsNotSet) {
  // Prefixed names ask for the secure flag, which a cookie text cannot give.
  struct Case {
    const char* name;
    const char* text;
    bool kept;
  };
  const Case cases[] = {
      {nullptr, "__Host-id=1", false},
      {nullptr, "__Secure-id=1", false},
      {"__Host-id", "1", false},
      {"__Secure-id", "1", false},
      {nullptr, "ok=1; __Secure-id=1", false},  // one of two refused
      {nullptr, "plain=1; Host-id=2", true},
  };
  for (const Case& c : cases) {
    ClearCookieStore();
    SetLastError(0);
    EXPECT_EQ(InternetSetCookieA("https://h.example/", c.name, c.text) != FALSE, c.kept) << c.text;
    if (!c.kept) {
      EXPECT_NE(GetLastError(), 0u) << c.text;
    }
  }
  EXPECT_EQ(CookiesFor("https://h.example/"), "plain=1; Host-id=2");

  CookieRecord secure;
  secure.name = "__Secure-id";
  secure.value = "9";
  secure.domain = "h.example";
  EXPECT_FALSE(AddCookieToStore(secure));
  secure.secure = true;
  EXPECT_TRUE(AddCookieToStore(secure));
}

TEST_F(CookieStore, DomainCookiesReachEveryHostUnderTheDomain) {
  CookieRecord wide;
  wide.name = "cna";
  wide.value = "xyz";
  wide.domain = ".shop.example";
  ASSERT_TRUE(AddCookieToStore(wide));
  EXPECT_EQ(CookiesFor("http://shop.example/"), "cna=xyz");
  EXPECT_EQ(CookiesFor("http://sell.shop.example/"), "cna=xyz");
  EXPECT_EQ(CookiesFor("https://a.b.shop.example/"), "cna=xyz");
  EXPECT_EQ(CookiesFor("http://badshop.example/"), "<none>");
  EXPECT_EQ(CookiesFor("http://shop.example.evil/"), "<none>");
}

TEST_F(CookieStore, HttpOnlySecurePathAndExpiry) {
  CookieRecord cookie;
  cookie.domain = ".shop.example";
  cookie.name = "plain";
  cookie.value = "1";
  ASSERT_TRUE(AddCookieToStore(cookie));
  cookie.name = "hidden";
  cookie.http_only = true;
  ASSERT_TRUE(AddCookieToStore(cookie));
  cookie.http_only = false;
  cookie.name = "safe";
  cookie.secure = true;
  ASSERT_TRUE(AddCookieToStore(cookie));
  cookie.secure = false;
  cookie.name = "deep";
  cookie.path = "/auction";
  ASSERT_TRUE(AddCookieToStore(cookie));
  cookie.path = "/";
  cookie.name = "old";
  cookie.expires = static_cast<long long>(std::time(nullptr)) - 60;
  ASSERT_TRUE(AddCookieToStore(cookie));
  cookie.name = "later";
  cookie.expires = static_cast<long long>(std::time(nullptr)) + 3600;
  ASSERT_TRUE(AddCookieToStore(cookie));

  EXPECT_EQ(Pairs(CookiesFor("http://www.shop.example/", 0)),
            (std::set<std::string>{"plain=1", "later=1"}));
  EXPECT_EQ(Pairs(CookiesFor("http://www.shop.example/")),
            (std::set<std::string>{"plain=1", "hidden=1", "later=1"}));
  EXPECT_EQ(Pairs(CookiesFor("https://www.shop.example/")),
            (std::set<std::string>{"plain=1", "hidden=1", "safe=1", "later=1"}));
  // The longer path comes first, as in a request.
  std::string deep = CookiesFor("http://www.shop.example/auction/list.htm");
  EXPECT_EQ(deep.rfind("deep=1", 0), 0u) << deep;
  EXPECT_EQ(Pairs(deep), (std::set<std::string>{"deep=1", "plain=1", "hidden=1", "later=1"}));
  EXPECT_EQ(Pairs(CookiesFor("http://www.shop.example/auctionx")),
            (std::set<std::string>{"plain=1", "hidden=1", "later=1"}));

  // Only the one asked for by name.
  char buffer[64] = {0};
  DWORD size = sizeof(buffer);
  ASSERT_TRUE(InternetGetCookieExA("http://www.shop.example/", "plain", buffer, &size, 0, nullptr));
  EXPECT_STREQ(buffer, "plain=1");
}

TEST_F(CookieStore, BufferTooSmallLeavesItUnchanged) {
  std::string value(5000, 'v');
  ASSERT_TRUE(InternetSetCookieA("http://big.example/", "one", value.c_str()));
  ASSERT_TRUE(InternetSetCookieA("http://big.example/", "two", value.c_str()));
  char buffer[8192];
  std::memset(buffer, 'K', sizeof(buffer));
  buffer[8191] = '\0';
  DWORD size = sizeof(buffer);
  EXPECT_FALSE(InternetGetCookieExA("http://big.example/", nullptr, buffer, &size,
                                    INTERNET_COOKIE_HTTPONLY, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, 2 * (4 + 5000) + 2 + 1u);
  EXPECT_EQ(std::string(buffer, 8191), std::string(8191, 'K'));

  // Exactly fitting, terminator included.
  ClearCookieStore();
  std::string fits(8192 - 1 - 4, 'f');  // "one=" + value + zero = 8192
  ASSERT_TRUE(InternetSetCookieA("http://big.example/", "one", fits.c_str()));
  size = sizeof(buffer);
  EXPECT_TRUE(InternetGetCookieExA("http://big.example/", nullptr, buffer, &size, 0, nullptr));
  EXPECT_EQ(size, 8192u);
  EXPECT_EQ(std::string(buffer), "one=" + fits);
}

TEST_F(CookieStore, NothingMatchingFailsWithoutTouchingTheBuffer) {
  char buffer[16] = "kept";
  DWORD size = sizeof(buffer);
  EXPECT_FALSE(InternetGetCookieExA("http://empty.example/", nullptr, buffer, &size, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_STREQ(buffer, "kept");
  EXPECT_FALSE(InternetGetCookieExA("no address", nullptr, buffer, &size, 0, nullptr));
  EXPECT_FALSE(InternetGetCookieExA("http://empty.example/", nullptr, buffer, nullptr, 0, nullptr));
}

TEST_F(CookieStore, RecordsThatCannotBeCookiesAreRefused) {
  CookieRecord bad;
  bad.domain = "h.example";
  EXPECT_FALSE(AddCookieToStore(bad));  // no name
  bad.name = "tab\tname";
  EXPECT_FALSE(AddCookieToStore(bad));
  bad.name = "n";
  bad.value = "line\nbreak";
  EXPECT_FALSE(AddCookieToStore(bad));
  bad.value = "a;b";
  EXPECT_FALSE(AddCookieToStore(bad));
  bad.value = "ok";
  bad.domain = "";
  EXPECT_FALSE(AddCookieToStore(bad));
  EXPECT_TRUE(ListCookieStore().empty());
}

TEST_F(CookieStore, ListGivesBackWhatWasPut) {
  CookieRecord cookie;
  cookie.name = "_tb_token_";
  cookie.value = "e3b5";
  cookie.domain = ".shop.example";
  cookie.path = "/auction";
  cookie.secure = true;
  cookie.http_only = true;
  cookie.expires = static_cast<long long>(std::time(nullptr)) + 86400;
  ASSERT_TRUE(AddCookieToStore(cookie));
  std::vector<CookieRecord> all = ListCookieStore();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].name, cookie.name);
  EXPECT_EQ(all[0].value, cookie.value);
  EXPECT_EQ(all[0].domain, cookie.domain);
  EXPECT_EQ(all[0].path, cookie.path);
  EXPECT_TRUE(all[0].secure);
  EXPECT_TRUE(all[0].http_only);
  EXPECT_EQ(all[0].expires, cookie.expires);
}

// Cookie texts come from the browser and from the options of whoever signed
// in: mangled ones must neither break the store nor leave it unreadable.
TEST_F(CookieStore, MutatedCookieTextsNeverBreakTheStore) {
  const std::string seeds[] = {
      "cookie2=1c5e; t=8f2a; _tb_token_=e3b5; tracknick=%5Cu5f20%5Cu4e09",
      "a=1;b=2;;c=;=d; e", "uc1=\"cookie14=UoYcCo\"; l=AAA; isg=BB-CC",
  };
  const char alphabet[] = "=; \t\r\n\"\\%\x81\xfe\x7f,abc";
  std::mt19937 random(7);
  for (const std::string& seed : seeds) {
    for (int round = 0; round < 300; ++round) {
      std::string text = seed;
      for (int e = 0; e < 1 + static_cast<int>(random() % 5); ++e) {
        size_t at = random() % (text.size() + 1);
        if (random() % 2)
          text.insert(text.begin() + static_cast<long>(at), alphabet[random() % (sizeof(alphabet) - 1)]);
        else if (at < text.size())
          text[at] = static_cast<char>(1 + random() % 255);
      }
      InternetSetCookieA("http://m.example/", nullptr, text.c_str());
    }
  }
  char buffer[8192] = {0};
  DWORD size = sizeof(buffer);
  ASSERT_TRUE(InternetGetCookieExA("http://m.example/", nullptr, buffer, &size,
                                   INTERNET_COOKIE_HTTPONLY, nullptr));
  // Every pair read back is name=value without a separator or a line break.
  for (const std::string& pair : Pairs(buffer)) {
    size_t equals = pair.find('=');
    ASSERT_NE(equals, std::string::npos) << pair;
    ASSERT_GT(equals, 0u) << pair;
    ASSERT_EQ(pair.find_first_of(";\r\n\t"), std::string::npos) << pair;
  }
}

}  // namespace
