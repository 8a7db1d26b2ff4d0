// Where the program's data lives: scripts/run keeps the program folder
// outside the build, and a test's program folder holds what a fresh install
// has, whatever the seller's runs left elsewhere.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/sites/hosts_ini.h"
#include "tests/sites/site_server.h"
#include "tests/support/gui_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadBytes(const fs::path& file) {
  std::ostringstream bytes;
  bytes << std::ifstream(file, std::ios::binary).rdbuf();
  return bytes.str();
}

TEST(ProgramFolderGui, ASessionStartsFromTheShippedFilesNotFromTheBuiltProgramsData) {
  // The databases a seller's run of build/bin/Tovrane leaves there.
  const fs::path bin_data = fs::path(gui::BuildDir()) / "bin" / "Data";
  std::vector<fs::path> left;
  for (const char* name : {"FenLei.db", "seller.db"}) {
    if (fs::exists(bin_data / name)) continue;
    std::ofstream(bin_data / name) << "left by a run";
    left.push_back(bin_data / name);
  }
  gui::Session session;
  for (const fs::path& f : left) fs::remove(f);
  GUI_REQUIRE(session.Ok(), session.Error());
  for (const char* name : {"FenLei.db", "seller.db"})
    EXPECT_FALSE(fs::exists(fs::path(session.Folder()) / "Data" / name)) << name;
}

// scripts/run of a copy of the sources, the program folder in its default
// place under a temporary XDG_DATA_HOME: the program runs from there, and
// after the build folder goes the next run finds the same databases and
// settings.
TEST(ProgramFolderGui, ScriptsRunKeepsTheSellersDataWhenTheBuildFolderGoes) {
  sites::SiteServer server;
  gui::XServer x;
  GUI_REQUIRE(x.Ok(), x.Error());
  char pattern[] = "/tmp/tovrane-road-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  struct Removed {
    fs::path path;
    ~Removed() { fs::remove_all(path); }
  } root{pattern};
  const fs::path repo = root.path / "repo", data = root.path / "data" / "Tovrane" / "Data";
  fs::create_directories(repo);
  for (const auto& entry : fs::directory_iterator(gui::SourceDir())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("build", 0) != 0 && name != ".git" && name != ".cache")
      fs::copy(entry.path(), repo / name, fs::copy_options::recursive);
  }
  fs::create_directories(data);
  std::ofstream(data / "system.ini") << sites::HostsIniText(server);
  std::ofstream(data / "seller.db") << "the seller's items";

  std::vector<std::pair<std::string, std::string>> env = {
      {"DISPLAY", x.Display()}, {"HOME", (root.path / "home").string()},
      {"XDG_DATA_HOME", (root.path / "data").string()}, {"TOVRANE_PROGRAM_DIR", ""}};
  // The builds of the copy reuse the compiler cache when there is one.
  const gui::CommandResult cache = gui::RunCommand({"ccache", "-k", "cache_dir"});
  if (cache.code == 0)
    env.insert(env.end(), {{"CMAKE_CXX_COMPILER_LAUNCHER", "ccache"},
                           {"CCACHE_DIR", cache.out.substr(0, cache.out.find('\n'))},
                           {"CCACHE_BASEDIR", repo.string()}, {"CCACHE_NOHASHDIR", "true"}});
  // Runs scripts/run from `dir` with TOVRANE_PROGRAM_DIR `folder_setting`;
  // its program must run from `program` and show its window; `while_shown`
  // runs then.
  const auto run = [&](const std::string& name, const std::string& folder_setting,
                       const fs::path& program, const fs::path& dir,
                       const std::function<void()>& while_shown) {
    const std::string log = (root.path / (name + ".log")).string();
    auto run_env = env;
    for (auto& [key, value] : run_env)
      if (key == "TOVRANE_PROGRAM_DIR") value = folder_setting;
    const pid_t pid = gui::Spawn({(repo / "scripts" / "run").string()}, run_env, log, dir.string());
    int status = 0;
    bool ended = false;
    const bool shown = gui::WaitFor([&] {
      ended = ended || ::waitpid(pid, &status, WNOHANG) == pid;
      return ended || !gui::FindWindows(x.Display(), "VorlupTovrane:V1.1.6").empty();
    }, 200s) && !ended;
    std::error_code ec;
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec), program / "Tovrane")
        << name;
    if (shown && while_shown) while_shown();
    gui::EndGroup(pid);
    EXPECT_TRUE(shown) << name << ": no main window; scripts/run said:\n" << ReadBytes(log);
  };
  const fs::path program = data.parent_path();

  // A second run while the program runs from its folder says so and starts
  // nothing: the running program and its binary stay as they are.
  run("first_run", "", program, root.path, [&] {
    const auto installed = fs::last_write_time(program / "Tovrane");
    const std::string log = (root.path / "second_run.log").string();
    const pid_t second = gui::Spawn({(repo / "scripts" / "run").string()}, env, log);
    int status = 0;
    const bool ended = gui::WaitFor([&] { return ::waitpid(second, &status, WNOHANG) == second; }, 60s);
    if (!ended) gui::EndGroup(second);
    EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) != 0) << ReadBytes(log);
    EXPECT_NE(ReadBytes(log).find("already running from " + program.string()), std::string::npos)
        << ReadBytes(log);
    EXPECT_EQ(fs::last_write_time(program / "Tovrane"), installed);
    EXPECT_EQ(gui::FindWindows(x.Display(), "VorlupTovrane:V1.1.6").size(), 1u);
  });
  const std::string conditions = ReadBytes(data / "FenLei.db");
  EXPECT_FALSE(conditions.empty());
  fs::remove_all(repo / "build");
  run("run_after_the_build_went", "", program, root.path, {});
  EXPECT_EQ(ReadBytes(data / "FenLei.db"), conditions);
  EXPECT_EQ(ReadBytes(data / "seller.db"), "the seller's items");
  EXPECT_EQ(ReadBytes(data / "system.ini"), sites::HostsIniText(server));

  // A relative folder is taken from where scripts/run is called, not from
  // the clone, whose cleaning would take the seller's data along.
  fs::create_directories(root.path / "here" / "tovrane-here" / "Data");
  std::ofstream(root.path / "here" / "tovrane-here" / "Data" / "system.ini")
      << sites::HostsIniText(server);
  run("relative_folder", "tovrane-here", root.path / "here" / "tovrane-here", root.path / "here", {});
  EXPECT_TRUE(fs::exists(root.path / "here" / "tovrane-here" / "Data" / "FenLei.db"));
  EXPECT_FALSE(fs::exists(repo / "tovrane-here"));
}

}  // namespace
