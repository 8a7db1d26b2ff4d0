// Host settings: read once from section HOSTS of the options file, each key
// falling back to the real public host.
#include <gtest/gtest.h>

#include "platform/file/file.h"
#include "platform/file/profile.h"
#include "services/hosts.h"
#include "tests/sites/hosts_ini.h"

namespace {

TEST(Hosts, DefaultsWithoutAnOptionsFile) {
  sites::TestProgramFolder folder;
  ReloadHosts();
  const HostSettings& hosts = Hosts();
  EXPECT_EQ(hosts.www, "www.taobao.com");
  EXPECT_EQ(hosts.login, "login.taobao.com");
  EXPECT_EQ(hosts.upload, "upload.taobao.com");
  EXPECT_EQ(hosts.seller, "sell.taobao.com");
  EXPECT_EQ(hosts.item, "item.taobao.com");
  EXPECT_EQ(hosts.dangdang, "product.dangdang.com");
  EXPECT_EQ(hosts.dangdangStock, "product.dangdang.com");
  EXPECT_EQ(hosts.jd, "p.3.cn");
  EXPECT_EQ(hosts.noticeUrl, "");
  EXPECT_EQ(hosts.homeUrl, "");
  EXPECT_EQ(hosts.caFile, "");
}

TEST(Hosts, KeysThatAreSetWinAndTheOthersKeepTheirDefaults) {
  sites::TestProgramFolder folder;
  std::string ini = GbkPathFromNative(folder.IniPath());
  WritePrivateProfileStringA("SYSCONFIG", "Www", "not.this.section", ini.c_str());
  WritePrivateProfileStringA("HOSTS", "Seller", "127.0.0.1:8443", ini.c_str());
  WritePrivateProfileStringA("hosts", "noticeurl", "http://127.0.0.1:8080/notice.htm", ini.c_str());
  ReloadHosts();
  const HostSettings& first = Hosts();
  EXPECT_EQ(first.seller, "127.0.0.1:8443");
  EXPECT_EQ(first.noticeUrl, "http://127.0.0.1:8080/notice.htm");
  EXPECT_EQ(first.www, "www.taobao.com");

  // Read once: a change of the file shows only after a reload, and what an
  // earlier call gave stays valid.
  WritePrivateProfileStringA("HOSTS", "Seller", "127.0.0.1:9443", ini.c_str());
  EXPECT_EQ(Hosts().seller, "127.0.0.1:8443");
  ReloadHosts();
  EXPECT_EQ(Hosts().seller, "127.0.0.1:9443");
  EXPECT_EQ(first.seller, "127.0.0.1:8443");
  EXPECT_NE(&first, &Hosts());
}

}  // namespace
