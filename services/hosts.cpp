#include "services/hosts.h"

#include <atomic>
#include <mutex>

#include "platform/file/file.h"
#include "platform/file/profile.h"
#include "platform/net/internet.h"
#include "services/text_services.h"

namespace {

CString ReadHost(const char* key, const char* default_value, const CString& ini_path) {
  char value[1024] = {0};
  GetPrivateProfileStringA("HOSTS", key, default_value, value, sizeof(value), ini_path);
  return CString(value);
}

HostSettings* LoadHosts() {
  CString ini = GetSystemIniPath();
  auto* hosts = new HostSettings;
  hosts->www = ReadHost("Www", "www.taobao.com", ini);
  hosts->login = ReadHost("Login", "login.taobao.com", ini);
  hosts->upload = ReadHost("Upload", "upload.taobao.com", ini);
  hosts->seller = ReadHost("Seller", "sell.taobao.com", ini);
  hosts->item = ReadHost("Item", "item.taobao.com", ini);
  hosts->dangdang = ReadHost("DangDang", "product.dangdang.com", ini);
  hosts->dangdangStock = ReadHost("DangDangStock", "product.dangdang.com", ini);
  hosts->jd = ReadHost("JD", "p.3.cn", ini);
  hosts->noticeUrl = ReadHost("NoticeUrl", "", ini);
  hosts->homeUrl = ReadHost("HomeUrl", "", ini);
  hosts->caFile = ReadHost("CaFile", "", ini);
  // The internet layer trusts the extra CA from now on (or no longer).
  SetExtraCaFile(hosts->caFile.IsEmpty() ? std::string() : NativePath(hosts->caFile));
  return hosts;
}

std::mutex g_load_mutex;
// Every settings object ever loaded stays alive: a caller may still hold the
// reference that Hosts() gave before a reload.
std::atomic<HostSettings*> g_current{nullptr};

}  // namespace

const HostSettings& Hosts() {
  HostSettings* current = g_current.load(std::memory_order_acquire);
  if (current) return *current;
  std::lock_guard<std::mutex> lock(g_load_mutex);
  current = g_current.load(std::memory_order_acquire);
  if (!current) {
    current = LoadHosts();
    g_current.store(current, std::memory_order_release);
  }
  return *current;
}

void ReloadHosts() {
  std::lock_guard<std::mutex> lock(g_load_mutex);
  g_current.store(LoadHosts(), std::memory_order_release);
}
