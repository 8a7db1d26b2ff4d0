#include "app/UpdateNotice.h"

#include <string>

#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "services/text_services.h"

namespace {

CString Group(const boost::cmatch& match, int i) {
  if (!match[i].matched) return CString();
  return CString(std::string(match[i].first, match[i].second));
}

}  // namespace

CString FindUpdateEntry(CString page, CString name, CString& text, CString& link,
                        boost::regex pattern) {
  // The one caller passes g_SoftName; the entry is chosen by the product
  // title itself.
  (void)name;
  WalkMatches(page.str(), pattern, [&](const boost::cmatch& match) {
    // Multibyte-aware: CString::Find never takes a trail byte for a character.
    if (Group(match, 0).Find(g_SoftName) < 0) return true;
    CString entry_link = Group(match, 2);
    if (!entry_link.IsEmpty()) link = entry_link;
    CString entry_text = Group(match, 3);
    if (entry_text.IsEmpty()) return true;
    text = entry_text;
    return false;
  });
  return CString();
}

bool CheckUpdateNotice(CString name, CString& text, CString& link) {
  const CString& url = Hosts().noticeUrl;
  // No notice page configured: as a page without a matching entry.
  if (url.IsEmpty()) return false;
  CString page = HttpGetWithCookieNaming(url, "公告页面", "未能读取公告");
  FindUpdateEntry(page, name, text, link,
                  MakeRegex("<P><SoftName>(.*?)</SoftName><a href=\"(.*?)\">(.*?)</a></P>"));
  return false;
}
