#include "tests/sites/marketplace.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <random>

#include "platform/text/codepage.h"

namespace sites {

struct Marketplace::State {
  mutable std::mutex mutex;  // guards everything below
  MarketAccount account = DefaultMarketAccount();
  struct Session {
    MarketAccount account;
    bool live = true;
  };
  std::map<std::string, Session> sessions;  // by the cookie2 value
  int login_visits = 0;
  std::vector<Marketplace::Visit> visits;
  std::mt19937_64 random{std::random_device{}()};

  std::string NewId() {
    char text[17];
    std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(random()));
    return text;
  }

  // The live session that the request's cookie2 names (the first cookie2 of
  // the header, as the real site reads it); null when none.
  const Session* Find(const SiteRequest& request) const {
    std::string header = request.http.get_header_value("Cookie");
    size_t at = 0;
    while (at < header.size()) {
      size_t end = header.find(';', at);
      if (end == std::string::npos) end = header.size();
      std::string pair = header.substr(at, end - at);
      at = end + 1;
      size_t first = pair.find_first_not_of(' ');
      if (first == std::string::npos) continue;
      pair.erase(0, first);
      if (pair.compare(0, 8, "cookie2=") != 0) continue;
      auto found = sessions.find(pair.substr(8));
      return found != sessions.end() && found->second.live ? &found->second : nullptr;
    }
    return nullptr;
  }
};

namespace {

const char kGbkHtml[] = "text/html; charset=gbk";

std::string JsonText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// Top-level categories carry an "id" before "text"; sub-categories start
// with "text", as the seller centre writes them.
std::string CategoryJson(const std::vector<ShopCategory>& categories) {
  std::string out = "{\"success\":true,\"cats\":[";
  for (size_t i = 0; i < categories.size(); ++i) {
    const ShopCategory& c = categories[i];
    if (i) out += ",";
    out += "{\"id\":\"" + JsonText(c.value) + "\",\"text\":\"" + JsonText(c.text) +
           "\",\"value\":\"" + JsonText(c.value) + "\",\"items\":[";
    for (size_t j = 0; j < c.items.size(); ++j) {
      if (j) out += ",";
      out += "{\"text\":\"" + JsonText(c.items[j].text) + "\",\"value\":\"" +
             JsonText(c.items[j].value) + "\"}";
    }
    out += "]}";
  }
  out += "]}";
  return out;
}

std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\">\n<title>" + title +
         "</title>\n</head>\n<body style=\"font-family:sans-serif\">\n" + body +
         "\n</body>\n</html>\n";
}

}  // namespace

std::string SignInFormPage() {
  return Page("淘宝网 - 登录",
              "<div class=\"login\"><h2>亲，请登录</h2>\n<form action=\"/\">"
              "<input name=\"TPL_username\" type=\"text\"></form></div>");
}

MarketAccount DefaultMarketAccount() {
  MarketAccount account;
  account.nick = "书香小店";
  account.categories = {
      {"文学", "1001", {{"小说", "1101", {}}, {"诗歌", "1102", {}}}},
      {"历史", "1002", {{"古代史", "1201", {}}}},
      {"少儿", "1003", {}},
  };
  return account;
}

std::string TrackNickValue(const std::string& gbk_nick) {
  std::string out;
  for (char16_t c : CodePageToUtf16(936, gbk_nick)) {
    bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                 (c >= u'0' && c <= u'9') || c == u'_';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      char escape[10];
      std::snprintf(escape, sizeof(escape), "%%5Cu%04x", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out;
}

Marketplace::Marketplace(SiteServer& server)
    : server_(server), state_(std::make_shared<State>()) {
  std::shared_ptr<State> state = state_;

  server.Route("GET", "/", [state](const SiteRequest&, httplib::Response& response) {
    std::string session, token, t;
    MarketAccount account;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      ++state->login_visits;
      account = state->account;
      session = state->NewId();
      token = state->NewId();
      t = state->NewId();
      state->sessions[session] = State::Session{account, true};
    }
    std::string domain = std::string("; Domain=") + kTestDomain + "; Path=/";
    // tracknick goes first so that other cookies follow it in the cookie text.
    response.set_header("Set-Cookie", "tracknick=" + TrackNickValue(account.nick) + domain);
    response.set_header("Set-Cookie", "cookie2=" + session + domain + "; HttpOnly");
    response.set_header("Set-Cookie", "t=" + t + domain);
    response.set_header("Set-Cookie", "_tb_token_=" + token + domain);
    response.set_header("Set-Cookie", "lgc=" + TrackNickValue(account.nick) + "; Path=/");
    response.set_content(Page("淘宝网 - 登录", "<h2>淘宝网 登录</h2>\n<p>登录成功：" +
                                                  account.nick +
                                                  "</p>\n<p>请点击“确定”返回。</p>"),
                         kGbkHtml);
  });

  server.Route("GET", "/member/login\\.jhtml", [](const SiteRequest&, httplib::Response& response) {
    response.set_content(SignInFormPage(), kGbkHtml);
  });

  server.Route("GET", "/auction/sell\\.jhtml",
               [state](const SiteRequest& request, httplib::Response& response) {
                 bool live;
                 {
                   std::lock_guard<std::mutex> lock(state->mutex);
                   live = state->Find(request) != nullptr;
                   state->visits.push_back({request.http.path, live});
                 }
                 if (live) {
                   response.set_content(
                       Page("发布宝贝", "<div class=\"nav\"><a href=\"/\">我的淘宝</a> "
                                        "<a href=\"/seller\">卖家中心</a></div>\n"
                                        "<h3>选择类目</h3>"),
                       kGbkHtml);
                 } else {
                   response.set_content(
                       Page("淘宝网", "<p>您还没有登录，请先登录淘宝网。</p>"), kGbkHtml);
                 }
               });

  server.Route("GET", "/auction/goods/get_shop_category\\.htm",
               [state](const SiteRequest& request, httplib::Response& response) {
                 std::string body;
                 {
                   std::lock_guard<std::mutex> lock(state->mutex);
                   const State::Session* session = state->Find(request);
                   body = session ? CategoryJson(session->account.categories)
                                  : "{\"success\":false,\"msg\":\"login\"}";
                   state->visits.push_back({request.http.path, session != nullptr});
                 }
                 response.set_content(body, "application/json; charset=gbk");
               });
}

std::string Marketplace::LoginHost() const {
  return std::string("login.") + kTestDomain + ":" + std::to_string(server_.port());
}
std::string Marketplace::SignInUrl() const {
  return "https://" + LoginHost() + "/member/login.jhtml";
}
std::string Marketplace::WwwHost() const {
  return std::string("www.") + kTestDomain + ":" + std::to_string(server_.port());
}
std::string Marketplace::UploadHost() const {
  return std::string("upload.") + kTestDomain + ":" + std::to_string(server_.port());
}
std::string Marketplace::SellerHost() const {
  return std::string("seller.") + kTestDomain + ":" + std::to_string(server_.port());
}
std::string Marketplace::ItemHost() const {
  return std::string("item.") + kTestDomain + ":" + std::to_string(server_.port());
}
std::map<std::string, std::string> Marketplace::HostKeys() const {
  return {{"Www", WwwHost()},
          {"Login", LoginHost()},
          {"Upload", UploadHost()},
          {"Seller", SellerHost()},
          {"Item", ItemHost()}};
}

void Marketplace::SetAccount(const MarketAccount& account) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->account = account;
}

void Marketplace::ExpireSessions() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  for (auto& [id, session] : state_->sessions) session.live = false;
}

int Marketplace::LoginVisits() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->login_visits;
}

bool Marketplace::IsSignedIn(const SiteRequest& request) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->Find(request) != nullptr;
}

std::vector<Marketplace::Visit> Marketplace::Visits() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->visits;
}

std::optional<std::string> Marketplace::SessionNick(const SiteRequest& request) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  const State::Session* session = state_->Find(request);
  if (!session) return std::nullopt;
  return session->account.nick;
}

}  // namespace sites
