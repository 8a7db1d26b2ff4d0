#pragma once
// Host names of the sites the program talks to, read once from section
// "HOSTS" of the options file (Data\system.ini); each key defaults to the
// real public host. A value may carry a port ("127.0.0.1:8443").
#include "platform/text/CString.h"

struct HostSettings {
  CString www;           // key "Www": the marketplace's main host (cookie address)
  CString login;         // key "Login": the sign-in page
  CString upload;        // key "Upload": the seller page /auction/sell.jhtml
  CString seller;        // key "Seller": the seller centre (HTTP and HTTPS)
  CString item;          // key "Item": public item pages /item.htm?id=
  CString dangdang;      // key "DangDang": bookstore product pages
  CString dangdangStock; // key "DangDangStock": the stock service
  CString jd;            // key "JD": the price service
  CString noticeUrl;     // key "NoticeUrl": full address of the maker's notice page; empty: none
  CString homeUrl;       // key "HomeUrl": full address of the maker's home page
  CString caFile;        // key "CaFile": an extra CA file to trust (tests only); empty: none
};

// Reads the settings on first use; later calls return the same values.
const HostSettings& Hosts();
// Reads them again (tests that rewrite the options file).
void ReloadHosts();
