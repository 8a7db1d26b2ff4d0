#include "sync/bookstore_readers.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/text_services.h"
#include "sync/decimal_text.h"

namespace {

const char* const kDangdang = "当当网";
const char* const kJd = "京东图书";

// The patterns ignore the case of ASCII letters only (byte by byte).
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// How often a character tends to stand in a product page's markup, in
// rough classes: the rarer, the better an anchor for the prefix search.
int Commonness(char c) {
  if (std::strchr("&'_-;:", c) != nullptr) return 0;
  if (c >= '0' && c <= '9') return 1;
  if (c == '>') return 2;
  if (c == '=') return 3;
  if (c == '"') return 4;
  if (c == ' ') return 5;
  if (c == '<') return 7;
  return 6;
}

// One pattern of a reader, compiled once: the patterns are fixed texts, and
// compiling them anew for every product page would cost more than reading it.
// Alongside, the literal text every match starts with, to find the places
// worth trying fast (a product page is about 200 KB).
struct Pattern {
  Pattern(const char* text, bool trim = false)
      : regex(MakeRegex(text)), prefix(LiteralPrefix(text)), trimmed(trim) {
    for (size_t i = 1; i < prefix.size(); ++i) {
      if (anchor == 0 || Commonness(prefix[i]) < Commonness(prefix[anchor])) anchor = i;
    }
  }

  // The pattern's text up to its first special character, letters folded:
  // every match starts with it (in any case of its letters, as the pattern
  // ignores case).
  static std::string LiteralPrefix(const char* text) {
    std::string prefix;
    for (; *text != '\0' && std::strchr(".()[]{}*+?|^$\\", *text) == nullptr; ++text) {
      prefix += FoldAscii(*text);
    }
    // A quantifier makes the character before it optional or repeated.
    if (!prefix.empty() && *text != '\0' && std::strchr("*+?{", *text) != nullptr) prefix.pop_back();
    return prefix;
  }

  bool StandsAt(const char* at) const {
    for (size_t i = 0; i < prefix.size(); ++i) {
      if (FoldAscii(at[i]) != prefix[i]) return false;
    }
    return true;
  }

  // The first place at or after `from` where the prefix stands, letters
  // compared without case; null when none. Sixteen places at a time are
  // sifted by the prefix's first character and its rarest one, and only
  // the places where both stand are compared in full.
  const char* FindPrefix(const char* from, const char* end) const {
    const size_t m = prefix.size();
    if (static_cast<size_t>(end - from) < m) return nullptr;
    const char* const last = end - m;  // the last place where the prefix fits
    const char* at = from;
#if defined(__SSE2__)
    const __m128i first_lower = _mm_set1_epi8(prefix[0]);
    const __m128i first_upper = _mm_set1_epi8(UpperAscii(prefix[0]));
    const __m128i rare_lower = _mm_set1_epi8(prefix[anchor]);
    const __m128i rare_upper = _mm_set1_epi8(UpperAscii(prefix[anchor]));
    // Both loads stay inside the text: at + 15 <= last and anchor < m.
    for (; last - at >= 15; at += 16) {
      const __m128i firsts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i rares = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + anchor));
      const __m128i both = _mm_and_si128(
          _mm_or_si128(_mm_cmpeq_epi8(firsts, first_lower), _mm_cmpeq_epi8(firsts, first_upper)),
          _mm_or_si128(_mm_cmpeq_epi8(rares, rare_lower), _mm_cmpeq_epi8(rares, rare_upper)));
      for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(both)); mask != 0; mask &= mask - 1) {
        const char* place = at + __builtin_ctz(mask);
        if (StandsAt(place)) return place;
      }
    }
#endif
    for (; at <= last; ++at) {
      if (StandsAt(at)) return at;
    }
    return nullptr;
  }

  boost::regex regex;
  std::string prefix;
  bool trimmed;
  size_t anchor = 0;  // index of the prefix's rarest character after the first
};

// What RegexFirst gives for the pattern (the first non-empty group, walking
// the matches from the left, each search behind the previous match), found
// faster on large pages: a match can only start where the literal prefix
// stands, so the pattern is tried only there. None of the patterns looks
// behind its start or can match an empty text, so the matches are the same.
CString FirstGroup(const CString& page, const Pattern& pattern) {
  if (pattern.prefix.empty()) return RegexFirst(const_cast<CString&>(page), pattern.regex);
  const char* rest = page.str().data();
  const char* const end = rest + page.str().size();
  boost::cmatch match;
  while (const char* at = pattern.FindPrefix(rest, end)) {
    if (!RegexSearch(at, end, match, pattern.regex, boost::match_continuous)) {
      rest = at + 1;
      continue;
    }
    for (size_t i = 1; i < match.size(); ++i) {
      if (match[i].matched && match[i].first != match[i].second) {
        return CString(std::string(match[i].first, match[i].second));
      }
    }
    rest = match[0].second;
  }
  return CString();
}

// The first non-empty result of the patterns, tried in order.
CString ReadFirst(const CString& page, std::initializer_list<const Pattern*> patterns) {
  for (const Pattern* pattern : patterns) {
    CString found = FirstGroup(page, *pattern);
    if (pattern->trimmed) found.Trim();
    if (!found.IsEmpty()) return found;
  }
  return CString();
}

}  // namespace

bool HasReader(const CString& store) { return store == kDangdang || store == kJd; }

CString GetSourceUrl(CString store, CString product_no) {
  if (store == kDangdang) return "http://" + Hosts().dangdang + "/" + product_no + ".html";
  if (store == kJd) return "http://" + Hosts().jd + "/prices/mgets?type=1&skuIds=J_" + product_no;
  return CString();
}

float GetSalePrice(const CString& page, CString store) {
  CString text;
  if (store == kDangdang) {
    static const Pattern right("<div class=\"right\"><span class=\"price_d\">&yen;(.*?)</span>");
    static const Pattern sale("<p id=\"price_sale\"><span class=\"yen\">&yen;</span>(.*?)</p>");
    static const Pattern dd(
        "<p id=\"dd-price\">.*?<span class=\"yen\">&yen;</span>(.*?)</p>", true);
    text = ReadFirst(page, {&right, &sale, &dd});
  } else if (store == kJd) {
    static const Pattern p("\"p\":\"(.*?)\"");
    text = ReadFirst(page, {&p});
  } else {
    return 0.0f;
  }
  const float price = static_cast<float>(ParseDecimal(WithoutDigitGrouping(text)));
  return std::isfinite(price) ? price : 0.0f;
}

CString GetOriginalPrice(const CString& page, CString store) {
  CString text;
  if (store == kDangdang) {
    static const Pattern span("<span class=\"price_m\">&yen;(.*?)</span>");
    static const Pattern div(
        "<div class=\"price_m\">.*?<span class=\"yen\">&yen;</span>(.*?)</div>");
    static const Pattern original(
        "<div class=\"price_m\" id='original-price'>.*?<span class=\"yen\">&yen;</span>(.*?)</div>",
        true);
    text = ReadFirst(page, {&span, &div, &original});
  } else if (store == kJd) {
    static const Pattern m("\"m\":\"(.*?)\"");
    text = ReadFirst(page, {&m});
  } else {
    return CString();
  }
  return text.IsEmpty() ? CString("0.00") : WithoutDigitGrouping(text);
}

CString GetDiscountText(const CString& page, CString store) {
  if (store != kDangdang) return CString();
  static const Pattern span("<span class=\"price_zhe\" >(.*?)</span>");
  static const Pattern div("<div class=\"price_zhe\" id=\"price_discount\" >(.*?)</div>");
  CString text = ReadFirst(page, {&span, &div});
  if (text.IsEmpty()) return CString("0.00");
  text.Replace("(", "");
  text.Replace(")", "");
  text.Replace("折", "");
  text.Trim();
  return text;
}

CString GetProductTitle(const CString& page) {
  static const Pattern title("<h1 title=\"(.*?)\">");
  return ReadFirst(page, {&title});
}

bool GetDangdangStock(CString product_no) {
  CListCtrl* regions = g_RegionList;
  const int rows = regions != nullptr ? regions->GetItemCount() : 0;
  for (int row = 0; row < rows; ++row) {
    if (!regions->GetCheck(row)) continue;
    CString url = "http://" + Hosts().dangdangStock +
                  "/pricestock/callback.php?type=stockv3&product_id=[ProductId]&gift_ids=&"
                  "gift_counts=&fourarea=true&shop_id=0&province_id=[ProvinceId]&page_type=book";
    url.Replace("[ProductId]", product_no);
    url.Replace("[ProvinceId]", regions->GetItemText(row, 2));
    const bool no_stock = HttpGetUtf8(url).Find("nostock") >= 0;
    // The mode is read after each reply: the user may switch it meanwhile.
    const int mode = g_RegionStockMode.load();
    if (no_stock && mode == 0) return false;
    if (!no_stock && mode == 1) return true;
  }
  return g_RegionStockMode.load() != 1;
}

bool IsTaobaoItemOnShelf(CString item_id) {
  const CString page = HttpGetWithCookie("https://" + Hosts().item + "/item.htm?id=" + item_id);
  return page.Find("此宝贝已下架") < 0;
}
