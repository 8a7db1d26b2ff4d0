#pragma once
// Points the program at the local sites: a program folder of its own for the
// test (Data\ and Log\ in a fresh temporary folder) whose Data\system.ini
// names the local server for every host key, and the test CA as CaFile.
#include <map>
#include <string>

#include "tests/sites/site_server.h"

namespace sites {

// A temporary program folder, taken as the executable's folder while the
// object lives; removed afterwards.
class TestProgramFolder {
 public:
  TestProgramFolder();
  ~TestProgramFolder();
  TestProgramFolder(const TestProgramFolder&) = delete;
  TestProgramFolder& operator=(const TestProgramFolder&) = delete;

  // Native paths.
  const std::string& path() const { return path_; }
  std::string IniPath() const { return path_ + "/Data/system.ini"; }

 private:
  std::string path_;
};

// Writes section HOSTS of the folder's Data\system.ini: every host key
// ("Www", "Login", "Upload", "Seller", "Item", "DangDang", "DangDangStock",
// "JD") names `server`'s "127.0.0.1:<port>", CaFile the test CA; `overrides`
// (key to value) win, and may set NoticeUrl and HomeUrl. Then reloads the
// host settings.
void WriteHostsIni(const TestProgramFolder& folder, const SiteServer& server,
                   const std::map<std::string, std::string>& overrides = {});

// The same keys as a whole options file (section HOSTS, CR LF lines), for a
// program started in a folder of its own (the gui tests write it there).
std::string HostsIniText(const SiteServer& server,
                         const std::map<std::string, std::string>& overrides = {});

}  // namespace sites
