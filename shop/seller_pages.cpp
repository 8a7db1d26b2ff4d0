#include "shop/seller_pages.h"

#include "services/hosts.h"

const char* const kXIdPattern = "<input type=hidden name=\"x_id\" value=\"(.*?)\">";

namespace {

CString ListPageUrl(const char* type) {
  return "https://" + Hosts().seller + "/auction/merchandise/auction_list.htm?type=" + type;
}

}  // namespace

CString OnSaleListUrl() { return ListPageUrl("11"); }
CString InStockListUrl() { return ListPageUrl("1"); }
