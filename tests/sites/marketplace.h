#pragma once
// The marketplace on the local sites: the login page, the seller page of the
// upload host and the seller centre's category service, with the shop's
// accounts and their sessions. Every host is a name under kTestDomain on the
// server's one port ("login.market.localhost:<port>", ...), so the session
// cookies can be set for the whole marketplace domain as the real ones are.
//
//   https://login.../         signs the current account in: sets cookie2
//                             (HttpOnly, domain-wide: the session), tracknick
//                             (domain-wide, the nick as "%5Cu" escapes), t and
//                             _tb_token_ (domain-wide) and lgc (host-only)
//   https://login.../member/login.jhtml
//                             the sign-in form alone (signs nobody in): where
//                             the seller centre sends a signed-out request
//   http://upload.../auction/sell.jhtml
//                             GBK page; holds "卖家中心" only for a live session
//   http://seller.../auction/goods/get_shop_category.htm
//                             GBK JSON of the session's shop categories:
//                             {"success":true,"cats":[{"id":..,"text":..,
//                             "value":..,"items":[{"text":..,"value":..}]}]};
//                             without a live session {"success":false,...}
//
// Later sites of the marketplace (the seller centre's lists and item
// operations) share the sessions through IsSignedIn / SessionNick.
//
// Threads: every member may be called from any thread while the server
// runs; the state is locked inside. The routes hold the state, not this
// object, so the object may go before the server stops.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/sites/site_server.h"

namespace sites {

// One shop category; texts GBK.
struct ShopCategory {
  std::string text;
  std::string value;
  std::vector<ShopCategory> items;  // sub-categories
};

struct MarketAccount {
  std::string nick;  // GBK
  std::vector<ShopCategory> categories;
};

// The sign-in form (GBK page) of the login host, which signs nobody in.
std::string SignInFormPage();

// The account the login page signs in unless told otherwise: nick "书香小店"
// with the categories 文学 (小说, 诗歌), 历史 (古代史) and 少儿.
MarketAccount DefaultMarketAccount();

// "%5Cu" escapes of every character of a GBK nick beyond ASCII letters,
// digits and "_", as the tracknick cookie carries it.
std::string TrackNickValue(const std::string& gbk_nick);

class Marketplace {
 public:
  // Adds the marketplace's routes to `server`.
  explicit Marketplace(SiteServer& server);

  // Host names as the options file's HOSTS keys name them ("<name>.market.localhost:<port>").
  std::string LoginHost() const;
  std::string WwwHost() const;
  std::string UploadHost() const;
  std::string SellerHost() const;
  std::string ItemHost() const;
  // The sign-in form's address on the login host.
  std::string SignInUrl() const;
  // Those five as the HOSTS keys "Www", "Login", "Upload", "Seller", "Item",
  // for the overrides of WriteHostsIni / HostsIniText.
  std::map<std::string, std::string> HostKeys() const;

  // The account that the next visit of the login page signs in.
  void SetAccount(const MarketAccount& account);
  // Ends every session signed in so far: their cookies stop working (the
  // seller page then lacks "卖家中心"). A new visit of the login page signs in anew.
  void ExpireSessions();
  // Visits of the login page so far.
  int LoginVisits() const;

  // Whether the request carries the cookie of a live session, and the nick
  // (GBK) of its account.
  bool IsSignedIn(const SiteRequest& request) const;
  std::optional<std::string> SessionNick(const SiteRequest& request) const;

  // The seller page and category requests answered so far, oldest first,
  // and whether each carried a live session (tests of the whole program
  // see the sign-in from here).
  struct Visit {
    std::string path;
    bool signed_in = false;
  };
  std::vector<Visit> Visits() const;

  struct State;

 private:
  SiteServer& server_;
  std::shared_ptr<State> state_;
};

}  // namespace sites
