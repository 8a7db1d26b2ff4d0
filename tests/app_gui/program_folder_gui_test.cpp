// Where the program's data lives: scripts/run keeps the program folder
// outside the build, and a test's program folder holds what a fresh install
// has, whatever the seller's runs left elsewhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>

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

std::string ProcessName(pid_t pid) {
  std::string name = ReadBytes("/proc/" + std::to_string(pid) + "/comm");
  return name.substr(0, name.find('\n'));
}

// The processes, but `except`, that have `file` open, by process id.
std::set<pid_t> OtherHolders(const fs::path& file, pid_t except) {
  std::set<pid_t> holders;
  std::error_code ec;
  for (fs::directory_iterator proc("/proc", ec), end; !ec && proc != end; proc.increment(ec)) {
    const std::string name = proc->path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    std::error_code fd_ec;
    for (fs::directory_iterator fd(proc->path() / "fd", fd_ec); !fd_ec && fd != end;
         fd.increment(fd_ec)) {
      std::error_code link_ec;
      if (pid != except && fs::read_symlink(fd->path(), link_ec) == file) holders.insert(pid);
    }
  }
  return holders;
}

// Whether `parent` has a child whose name starts with `prefix`.
bool HasChild(pid_t parent, const std::string& prefix) {
  std::error_code ec;
  const fs::path tasks = "/proc/" + std::to_string(parent) + "/task";
  for (fs::directory_iterator task(tasks, ec), end; !ec && task != end; task.increment(ec)) {
    std::istringstream children(ReadBytes(task->path() / "children"));
    for (pid_t child = 0; children >> child;)
      if (ProcessName(child).rfind(prefix, 0) == 0) return true;
  }
  return false;
}

bool LockFree(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
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
// settings. The folder's lock is the program's alone.
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
  // The builds of the copy reuse the objects of this build through the
  // compiler cache, which the changed HOME would otherwise hide.
  const gui::CommandResult cache = gui::RunCommand({"ccache", "-k", "cache_dir"});
  if (cache.code == 0) env.push_back({"CCACHE_DIR", cache.out.substr(0, cache.out.find('\n'))});
  // Runs scripts/run from `dir` with TOVRANE_PROGRAM_DIR `folder_setting`;
  // its program must run from `program` and show its window; `while_shown`
  // runs then. Meanwhile no other process (setup, the build, what the
  // program starts) holds the folder's lock for a second (a child between
  // its start and its exec, flock(1) on the script's behalf, may for a
  // moment), and once the program has ended the lock is free.
  std::map<pid_t, std::string> other_holders;
  std::map<pid_t, std::chrono::steady_clock::time_point> seen_holding;
  const auto look_at_the_lock = [&](const fs::path& lock, pid_t pid) {
    const auto now = std::chrono::steady_clock::now();
    std::map<pid_t, std::chrono::steady_clock::time_point> holding;
    for (pid_t holder : OtherHolders(lock, pid)) {
      const auto seen = seen_holding.find(holder);
      holding[holder] = seen == seen_holding.end() ? now : seen->second;
      if (now - holding[holder] >= 1s) other_holders[holder] = ProcessName(holder);
    }
    seen_holding = std::move(holding);
  };
  const auto run = [&](const std::string& name, const std::string& folder_setting,
                       const fs::path& program, const fs::path& dir,
                       const std::function<void(pid_t)>& while_shown) {
    const std::string log = (root.path / (name + ".log")).string();
    auto run_env = env;
    for (auto& [key, value] : run_env)
      if (key == "TOVRANE_PROGRAM_DIR") value = folder_setting;
    const pid_t pid = gui::Spawn({(repo / "scripts" / "run").string()}, run_env, log, dir.string());
    int status = 0;
    bool ended = false;
    const bool shown = gui::WaitFor([&] {
      ended = ended || ::waitpid(pid, &status, WNOHANG) == pid;
      look_at_the_lock(program / ".lock", pid);
      return ended || !gui::FindWindows(x.Display(), "VorlupTovrane:V1.1.6").empty();
    }, 200s) && !ended;
    std::error_code ec;
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec), program / "Tovrane")
        << name;
    if (shown && while_shown) while_shown(pid);
    gui::EndGroup(pid);
    EXPECT_TRUE(shown) << name << ": no main window; scripts/run said:\n" << ReadBytes(log);
    for (const auto& [holder, holder_name] : other_holders)
      ADD_FAILURE() << name << ": " << holder_name << " (" << holder << ") held the lock";
    other_holders.clear();
    seen_holding.clear();
    EXPECT_TRUE(gui::WaitFor([&] { return LockFree(program / ".lock"); }, 10s)) << name;
  };
  const fs::path program = data.parent_path();

  // A second run while the program runs from its folder says so and starts
  // nothing: the running program and its binary stay as they are.
  run("first_run", "", program, root.path, [&](pid_t) {
    const auto installed = fs::last_write_time(program / "Tovrane");
    const std::string log = (root.path / "second_run.log").string();
    // Named with "..": the message names the folder as the system does.
    auto second_env = env;
    for (auto& [key, value] : second_env)
      if (key == "TOVRANE_PROGRAM_DIR") value = (data / ".." / ".." / "Tovrane").string();
    const pid_t second = gui::Spawn({(repo / "scripts" / "run").string()}, second_env, log);
    int status = 0;
    const bool ended = gui::WaitFor([&] { return ::waitpid(second, &status, WNOHANG) == second; }, 60s);
    if (!ended) gui::EndGroup(second);
    EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) != 0) << ReadBytes(log);
    EXPECT_NE(ReadBytes(log).find("already running from " + program.string() + ";"),
              std::string::npos)
        << ReadBytes(log);
    EXPECT_EQ(fs::last_write_time(program / "Tovrane"), installed);
    EXPECT_EQ(gui::FindWindows(x.Display(), "VorlupTovrane:V1.1.6").size(), 1u);
  });
  const std::string conditions = ReadBytes(data / "FenLei.db");
  EXPECT_FALSE(conditions.empty());
  fs::remove_all(repo / "build");
  // The sign-in dialog starts the browser's helper processes.
  run("run_after_the_build_went", "", program, root.path, [&](pid_t pid) {
    const std::vector<std::string> main = gui::FindWindows(x.Display(), "VorlupTovrane:V1.1.6");
    ASSERT_FALSE(main.empty());
    gui::RunCommand({"xdotool", "windowfocus", main[0], "sleep", "0.2", "key", "--delay", "60",
                     "F10", "Return"},
                    x.Display(), 60s);
    EXPECT_TRUE(gui::WaitFor([&] { return HasChild(pid, "WebKit"); }, 60s))
        << "no browser process started";
    for (int glance = 0; glance < 4; ++glance) {
      look_at_the_lock(program / ".lock", pid);
      std::this_thread::sleep_for(500ms);
    }
  });
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
