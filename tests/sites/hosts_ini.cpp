#include "tests/sites/hosts_ini.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "platform/file/file.h"
#include "platform/file/profile.h"
#include "services/hosts.h"

namespace sites {

TestProgramFolder::TestProgramFolder() {
  char pattern[] = "/tmp/tovrane-program-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("no temporary program folder");
  path_ = pattern;
  std::filesystem::create_directories(path_ + "/Data");
  std::filesystem::create_directories(path_ + "/Log");
  SetModuleFileNameForTesting(GbkPathFromNative(path_ + "/Tovrane").c_str());
}

TestProgramFolder::~TestProgramFolder() {
  SetModuleFileNameForTesting(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {

std::map<std::string, std::string> HostKeys(const SiteServer& server,
                                            const std::map<std::string, std::string>& overrides) {
  std::map<std::string, std::string> keys;
  for (const char* key : {"Www", "Login", "Upload", "Seller", "Item", "DangDang",
                          "DangDangStock", "JD"}) {
    keys[key] = server.HostPort();
  }
  keys["CaFile"] = GbkPathFromNative(TestCaFile());
  for (const auto& [key, value] : overrides) keys[key] = value;
  return keys;
}

}  // namespace

std::string HostsIniText(const SiteServer& server,
                         const std::map<std::string, std::string>& overrides) {
  std::string text = "[HOSTS]\r\n";
  for (const auto& [key, value] : HostKeys(server, overrides)) text += key + "=" + value + "\r\n";
  return text;
}

void WriteHostsIni(const TestProgramFolder& folder, const SiteServer& server,
                   const std::map<std::string, std::string>& overrides) {
  std::string ini = GbkPathFromNative(folder.IniPath());
  for (const auto& [key, value] : HostKeys(server, overrides)) {
    WritePrivateProfileStringA("HOSTS", key.c_str(), value.c_str(), ini.c_str());
  }
  ReloadHosts();
}

}  // namespace sites
