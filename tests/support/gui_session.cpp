#include "tests/support/gui_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <X11/Xlib.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace gui {
namespace fs = std::filesystem;
namespace {

using Clock = std::chrono::steady_clock;

// The main window's bars around its template area, in pixels: fixed by the
// window backend so that tests can place clicks.
constexpr int kMainMenuBarHeight = 28;
constexpr int kMainStatusBarHeight = 24;
constexpr int kMainTemplateCx = 573;
constexpr int kMainTemplateCy = 466;
// The dialog units of the templates' fonts under Xvfb at 96 dpi before
// the program fits them to a small screen: 8 points (the main window's and
// most pages') and 9 points (the item page's). Only the vertical unit
// shrinks, every font's by the same factor, though not below the height of
// its glyphs less one pixel (the item page's font is 13 pixels high).
constexpr int kNaturalBaseX8 = 7, kNaturalBaseY8 = 16;
constexpr int kNaturalBaseX9 = 8, kNaturalBaseY9 = 17, kLeastBaseY9 = 12;

std::vector<std::string> Environment(const std::vector<std::pair<std::string, std::string>>& set) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& [key, value] : set) replaced |= entry.rfind(key + "=", 0) == 0;
    if (!replaced) env.push_back(entry);
  }
  for (const auto& [key, value] : set) env.push_back(key + "=" + value);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

void EndGroup(pid_t pid) {
  if (pid <= 0) return;
  ::kill(-pid, SIGTERM);
  const Clock::time_point deadline = Clock::now() + 3s;
  int status = 0;
  while (Clock::now() < deadline) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      ::kill(-pid, SIGKILL);  // children of the group that outlived it
      return;
    }
    std::this_thread::sleep_for(20ms);
  }
  ::kill(-pid, SIGKILL);
  ::waitpid(pid, &status, 0);
}

std::string BuildDir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return fs::current_path().string();
  return exe.parent_path().parent_path().string();
}

std::string SourceDir() {
  std::ifstream cache(fs::path(BuildDir()) / "CMakeCache.txt");
  const std::string key = "Tovrane_SOURCE_DIR:STATIC=";
  std::string line;
  while (std::getline(cache, line))
    if (line.rfind(key, 0) == 0) return line.substr(key.size());
  return "";
}

std::string MissingPackage(bool window_manager) {
  const char* path = std::getenv("PATH");
  const auto installed = [&](const std::string& tool) {
    std::istringstream dirs(path == nullptr ? "" : path);
    std::string dir;
    while (std::getline(dirs, dir, ':'))
      if (!dir.empty() && ::access((fs::path(dir) / tool).c_str(), X_OK) == 0) return true;
    return false;
  };
  for (const auto& [tool, package] : {std::pair{"Xvfb", "xvfb"}, std::pair{"xdotool", "xdotool"},
                                      std::pair{"convert", "imagemagick"}})
    if (!installed(tool)) return package;
  if (window_manager && !installed("openbox")) return "openbox";
  return "";
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& display,
                         std::chrono::milliseconds timeout) {
  CommandResult result;
  if (argv.empty()) return result;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::vector<std::string> args = argv;
  std::vector<std::string> env =
      display.empty() ? Environment({}) : Environment({{"DISPLAY", display}});
  std::vector<char*> arg_ptrs = Pointers(args);
  std::vector<char*> env_ptrs = Pointers(env);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, args[0].c_str(), &actions, &attr, arg_ptrs.data(), env_ptrs.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    return result;
  }
  const Clock::time_point deadline = Clock::now() + timeout;
  char buffer[4096];
  bool timed_out = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<size_t>(n));
  }
  ::close(out[0]);
  if (timed_out) {
    ::kill(-pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return result;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Screenshot(const std::string& display, const std::string& name) {
  const fs::path dir = fs::path(BuildDir()) / "screenshots";
  std::error_code ec;
  fs::create_directories(dir, ec);
  const fs::path file = dir / (name + ".png");
  const CommandResult r =
      RunCommand({"import", "-display", display, "-window", "root", file.string()}, display);
  return r.code == 0 && fs::exists(file) ? file.string() : std::string();
}

long DifferentPixels(const std::string& a, const std::string& b) {
  const CommandResult diff = RunCommand(
      {"convert", a, b, "-compose", "difference", "-composite", "-threshold", "5%", "-format",
       "%[fx:int(mean*w*h+0.5)]", "info:"});
  if (diff.code != 0 || diff.out.empty()) return -1;
  return std::stol(diff.out);
}

long DarkPixels(const std::string& picture, int x, int y, int width, int height) {
  const CommandResult dark = RunCommand(
      {"convert", picture, "-crop",
       std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" +
           std::to_string(y),
       "+repage", "-colorspace", "Gray", "-threshold", "50%", "-negate", "-format",
       "%[fx:int(mean*w*h+0.5)]", "info:"});
  if (dark.code != 0 || dark.out.empty()) return -1;
  return std::stol(dark.out);
}

// xdotool's own work takes milliseconds, but a loaded machine may take
// seconds to start it: the limit only bounds a tool that hangs. Cut short,
// a press would leave its button held down for every press after it.
constexpr std::chrono::milliseconds kToolLimit = 60s;

std::vector<std::string> FindWindows(const std::string& display, const std::string& title) {
  std::vector<std::string> found;
  const CommandResult all =
      RunCommand({"xdotool", "search", "--onlyvisible", "--classname", "."}, display, kToolLimit);
  std::istringstream ids(all.out);
  std::string id;
  while (std::getline(ids, id)) {
    if (id.empty()) continue;
    CommandResult name = RunCommand({"xdotool", "getwindowname", id}, display, kToolLimit);
    if (name.code != 0) continue;  // gone meanwhile
    while (!name.out.empty() && name.out.back() == '\n') name.out.pop_back();
    if (name.out == title) found.push_back(id);
  }
  return found;
}

// ---- XServer ----------------------------------------------------------------

XServer::XServer(int width, int height, bool window_manager) {
  if (!Launch(width, height)) {
    std::fprintf(stderr, "gui retry: %s; once more on a new display\n", error_.c_str());
    if (Launch(width, height)) error_.clear();
  }
  if (Ok() && window_manager && !StartWindowManager()) {
    EndGroup(pid_);
    pid_ = -1;
  }
}

// Ready once it has taken the screen's window manager selection.
bool XServer::StartWindowManager() {
  window_manager_ = Spawn({"/usr/bin/openbox"}, {{"DISPLAY", display_}}, "/dev/null");
  if (window_manager_ <= 0) {
    error_ = "openbox could not be started";
    return false;
  }
  ::Display* x = XOpenDisplay(display_.c_str());
  if (x == nullptr) {
    error_ = "no connection to " + display_ + " for the window manager";
    return false;
  }
  const Atom selection = XInternAtom(x, "WM_S0", False);
  const bool up =
      WaitFor([&] { return XGetSelectionOwner(x, selection) != None; }, 20s);
  XCloseDisplay(x);
  if (!up) error_ = "openbox took no hold of " + display_ + " within 20 s";
  return up;
}

bool XServer::Launch(int width, int height) {
  // Xvfb chooses a free display and writes its number to descriptor 3.
  // Without -noreset it resets when its last client leaves, and refuses
  // clients meanwhile: the probe below would leave it resetting just as
  // the program or the window backend connects.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "no pipe for Xvfb";
    return false;
  }
  std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-screen", "0",
                                   std::to_string(width) + "x" + std::to_string(height) + "x24",
                                   "-nolisten", "tcp", "-ac", "-noreset", "-dpi", "96"};
  std::vector<char*> ptrs = Pointers(args);
  const pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls until exec. The server must not outlive
    // a test program that is killed (a time-out, a crash).
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    ::setpgid(0, 0);
    ::dup2(fds[1], 3);  // clears close-on-exec on the copy
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execvp("Xvfb", ptrs.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    error_ = "Xvfb could not be started";
    return false;
  }
  std::string number;
  char c = 0;
  pollfd p{fds[0], POLLIN, 0};
  const Clock::time_point deadline = Clock::now() + 15s;
  while (Clock::now() < deadline && ::poll(&p, 1, 500) >= 0) {
    if (!(p.revents & (POLLIN | POLLHUP))) continue;
    if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  ::close(fds[0]);
  if (number.empty()) {
    EndGroup(pid);
    error_ = "Xvfb ended or named no display within 15 s";
    return false;
  }
  // The server is usable once a client gets in: the program started next
  // must not be the first to find out that it is not.
  const std::string display = ":" + number;
  int refusals = 0;
  const Clock::time_point connect_deadline = Clock::now() + 20s;
  for (;;) {
    if (::Display* x = XOpenDisplay(display.c_str())) {
      XCloseDisplay(x);
      break;
    }
    ++refusals;
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid || Clock::now() >= connect_deadline) {
      EndGroup(pid);
      error_ = "Xvfb on " + display + " let no client in (" + std::to_string(refusals) + " tries)";
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
  if (refusals > 0) {
    std::fprintf(stderr, "Xvfb on %s let a client in after %d refusals\n", display.c_str(),
                 refusals);
  }
  pid_ = pid;
  display_ = display;
  return true;
}

XServer::~XServer() {
  EndGroup(window_manager_);
  EndGroup(pid_);
}

// ---- Session ----------------------------------------------------------------

Session::Session(int width, int height, bool window_manager)
    : x_(width, height, window_manager) {
  if (!x_.Ok()) return;
  char pattern[] = "/tmp/tovrane-gui-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return;
  root_ = pattern;
  const fs::path program = fs::path(root_) / "program";
  std::error_code ec;
  fs::create_directories(program / "Log", ec);
  fs::create_directories(fs::path(root_) / "home", ec);
  fs::copy(fs::path(SourceDir()) / "resources" / "Data", program / "Data",
           fs::copy_options::recursive, ec);
  if (ec) return;
  fs::copy_file(fs::path(BuildDir()) / "bin" / "Tovrane", program / "Tovrane", ec);
  if (ec) return;
  folder_ = program.string();
}

std::string Session::Error() const {
  if (!x_.Ok()) return x_.Error();
  if (folder_.empty()) return "the program folder could not be made from the shipped files";
  return "";
}

Session::~Session() {
  Stop();
  if (!root_.empty()) {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
}

bool Session::WriteDataFile(const std::string& name, const std::string& bytes) {
  if (folder_.empty()) return false;
  std::ofstream out(fs::path(folder_) / "Data" / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool Session::WriteAllProductsConditions(
    const std::vector<std::pair<std::string, std::string>>& rules) {
  if (folder_.empty()) return false;
  sqlite3* db = nullptr;
  bool ok = sqlite3_open((fs::path(folder_) / "Data" / "FenLei.db").c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db,
                         "CREATE TABLE ZheKou(ID INTEGER PRIMARY KEY,IsCheck VARCHAR(10),"
                         "TreatMethod VARCHAR(50),PiPei VARCHAR(50),ZheK VARCHAR(30),"
                         "JiaJia VARCHAR(30));",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  // The database holds its texts in UTF-8.
  const auto* all_products = reinterpret_cast<const char*>(u8"所有商品");
  for (const auto& [discount, markup] : rules) {
    sqlite3_stmt* statement = nullptr;
    ok = ok &&
         sqlite3_prepare_v2(db, "INSERT INTO ZheKou(TreatMethod,PiPei,ZheK,JiaJia) VALUES(?,'',?,?)",
                            -1, &statement, nullptr) == SQLITE_OK;
    if (ok) {
      sqlite3_bind_text(statement, 1, all_products, -1, SQLITE_STATIC);
      sqlite3_bind_text(statement, 2, discount.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(statement, 3, markup.c_str(), -1, SQLITE_TRANSIENT);
      ok = sqlite3_step(statement) == SQLITE_DONE;
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return ok;
}

pid_t Spawn(const std::vector<std::string>& argv,
            const std::vector<std::pair<std::string, std::string>>& set, const std::string& log,
            const std::string& dir) {
  std::vector<std::string> env = Environment(set);
  std::vector<std::string> args = argv;
  std::vector<char*> arg_ptrs = Pointers(args);
  std::vector<char*> env_ptrs = Pointers(env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own process group: EndGroup ends WebKit's helper processes with it.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = -1;
  const int rc =
      ::posix_spawn(&pid, args[0].c_str(), &actions, &attr, arg_ptrs.data(), env_ptrs.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  return rc == 0 ? pid : -1;
}

bool Session::Start() {
  if (!Ok() || pid_ > 0) return false;
  const std::string home = (fs::path(root_) / "home").string();
  pid_ = Spawn({(fs::path(folder_) / "Tovrane").string()},
               {{"DISPLAY", Display()},
                {"HOME", home},
                {"XDG_DATA_HOME", home + "/.local/share"},
                {"XDG_CACHE_HOME", home + "/.cache"},
                {"XDG_CONFIG_HOME", home + "/.config"},
                {"NO_AT_BRIDGE", "1"}},
               (fs::path(root_) / "program.log").string(), folder_);
  return pid_ > 0;
}

bool Session::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    ::kill(-pid_, SIGKILL);
    pid_ = -1;
    // Said at once: the folder holding the program's output goes with the
    // session.
    std::ifstream log(fs::path(root_) / "program.log", std::ios::binary);
    std::ostringstream text;
    text << log.rdbuf();
    std::fprintf(stderr, "the program ended by itself (%s %d); its output:\n%s\n",
                 WIFSIGNALED(status) ? "signal" : "exit code",
                 WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status), text.str().c_str());
    return false;
  }
  return true;
}

void Session::Stop() {
  EndGroup(pid_);
  pid_ = -1;
}

namespace {

Window Geometry(const std::string& display, const std::string& id) {
  Window w;
  const CommandResult r =
      RunCommand({"xdotool", "getwindowgeometry", "--shell", id}, display, kToolLimit);
  if (r.code != 0) return w;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const int value = std::atoi(line.c_str() + eq + 1);
    if (key == "X") w.x = value;
    if (key == "Y") w.y = value;
    if (key == "WIDTH") w.width = value;
    if (key == "HEIGHT") w.height = value;
  }
  w.id = id;
  return w;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return done();
}

std::string WaitForOutput(const std::vector<std::string>& argv, const std::string& display,
                          const std::function<bool(const std::string&)>& wanted,
                          std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  std::string out;
  for (;;) {
    // A tool that waits for a busy program (xclip for the clipboard's
    // owner) gets what is left of the time, and at least a second.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    out = RunCommand(argv, display, std::max(left, std::chrono::milliseconds(1s))).out;
    if (wanted(out) || Clock::now() >= deadline) return out;
    std::this_thread::sleep_for(100ms);
  }
}

std::string WaitForClipboard(const std::string& display,
                             const std::function<bool(const std::string&)>& wanted,
                             std::chrono::milliseconds timeout) {
  // While nobody holds the clipboard xclip says so on its error output, at
  // each look: not the test's output.
  return WaitForOutput({"sh", "-c", "exec xclip -o -selection clipboard 2>/dev/null"}, display,
                       wanted, timeout);
}

bool Session::HasWindow(const std::string& title) { return !FindWindows(Display(), title).empty(); }

Window Session::WaitForWindow(const std::string& title, std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    for (const std::string& id : FindWindows(Display(), title)) {
      Window w = Geometry(Display(), id);
      if (w) return w;
    }
    if (pid_ > 0 && !Running()) break;
    std::this_thread::sleep_for(200ms);
  }
  return Window{};
}

Window Session::Refresh(const Window& w) { return Geometry(Display(), w.id); }

std::string Session::SettledScreenshot(const std::string& name, std::chrono::milliseconds timeout) {
  std::string last = Screenshot(name);
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!last.empty() && Clock::now() < deadline) {
    std::this_thread::sleep_for(300ms);
    const std::string now = Screenshot(name + "_next");
    if (now.empty()) break;
    const long changed = DifferentPixels(last, now);
    std::error_code ec;
    fs::rename(now, last, ec);
    if (changed >= 0 && changed <= 50) break;
  }
  return last;
}

bool Session::WaitForChange(const std::string& shot, const std::string& name, long pixels,
                            std::chrono::milliseconds timeout) {
  return WaitFor([&] { return DifferentPixels(shot, Screenshot(name)) > pixels; }, timeout);
}

bool Session::PressUntilChanged(const Window& w, int x, int y, const std::string& name,
                                long pixels, int button) {
  const std::string before = SettledScreenshot(name + "_before");
  return Press(w, x, y, 100ms, button) && WaitForChange(before, name, pixels);
}

bool Session::Click(const Window& w, int x, int y, int button) {
  const CommandResult r = RunCommand({"xdotool", "mousemove", "--window", w.id, std::to_string(x),
                                      std::to_string(y), "click", std::to_string(button)},
                                     Display(), kToolLimit);
  return r.code == 0;
}

bool Session::DoubleClick(const Window& w, int x, int y) {
  const CommandResult r =
      RunCommand({"xdotool", "mousemove", "--window", w.id, std::to_string(x), std::to_string(y),
                  "click", "--repeat", "2", "--delay", "80", "1"},
                 Display(), kToolLimit);
  return r.code == 0;
}

bool Session::Press(const Window& w, int x, int y, std::chrono::milliseconds hold, int button) {
  const std::string seconds = std::to_string(hold.count() / 1000.0);
  const std::string which = std::to_string(button);
  const CommandResult r = RunCommand({"xdotool", "mousemove", "--window", w.id, std::to_string(x),
                                      std::to_string(y), "sleep", "0.1", "mousedown", which, "sleep",
                                      seconds, "mouseup", which},
                                     Display(), kToolLimit);
  return r.code == 0;
}

namespace {

// The code points of UTF-8 text beyond ASCII (a broken sequence ends it).
std::vector<unsigned long> NonAsciiCodePoints(const std::string& utf8) {
  std::vector<unsigned long> out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80        ? 1
                       : lead >> 5 == 6   ? 2
                       : lead >> 4 == 14  ? 3
                       : lead >> 3 == 30  ? 4
                                          : 0;
    if (length == 0 || i + length > utf8.size()) break;
    unsigned long cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    if (cp >= 0x80) out.push_back(cp);
    i += length;
  }
  return out;
}

}  // namespace

void BindCharacters(const std::string& display, const std::string& utf8) {
  const std::vector<unsigned long> code_points = NonAsciiCodePoints(utf8);
  if (code_points.empty()) return;
  ::Display* x = XOpenDisplay(display.c_str());
  if (x == nullptr) return;
  int min_code = 0, max_code = 0;
  XDisplayKeycodes(x, &min_code, &max_code);
  for (unsigned long cp : code_points) {
    const KeySym sym = cp < 0x100 ? cp : 0x01000000 | cp;
    if (XKeysymToKeycode(x, sym) != 0) continue;
    int per_code = 0;
    KeySym* map = XGetKeyboardMapping(x, static_cast<KeyCode>(min_code), max_code - min_code + 1,
                                      &per_code);
    if (map == nullptr) break;
    // Spare keys from the top; two stay spare for xdotool's own use.
    std::vector<int> spare;
    for (int code = max_code; code >= min_code; --code) {
      bool empty = true;
      for (int k = 0; k < per_code; ++k) empty &= map[(code - min_code) * per_code + k] == NoSymbol;
      if (empty) spare.push_back(code);
    }
    XFree(map);
    if (spare.size() <= 2) break;
    KeySym syms[2] = {sym, sym};
    XChangeKeyboardMapping(x, spare.front(), 2, syms, 1);
    XSync(x, False);
  }
  XCloseDisplay(x);
}

// Without a window manager nothing gives a new window the keyboard: focus
// it first (GTK ignores keys sent to a window that has no focus).
bool Session::Type(const Window& w, const std::string& text) {
  BindCharacters(Display(), text);
  const CommandResult r = RunCommand(
      {"xdotool", "windowfocus", w.id, "sleep", "0.2", "type", "--delay", "30", text}, Display(),
      kToolLimit);
  return r.code == 0;
}

bool Session::Keys(const Window& w, const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"xdotool", "windowfocus", w.id, "sleep", "0.2",
                                   "key",     "--delay",   "60"};
  args.insert(args.end(), keys.begin(), keys.end());
  return RunCommand(args, Display(), kToolLimit).code == 0;
}

bool Session::MenuBarItem(const Window& w, int index) {
  std::vector<std::string> keys = {"F10"};
  for (int i = 0; i < index; ++i) keys.push_back("Right");
  keys.push_back("Return");
  return Keys(w, keys);
}

Layout Layout::Page(int point_size) const {
  Layout page;
  // A page lies on the tab control (template 7, 12) below its headers.
  page.left = X(7) + 1;
  page.top = Y(12) + 25;
  if (point_size == 9) {
    page.base_x = base_x * kNaturalBaseX9 / kNaturalBaseX8;
    page.base_y = std::clamp(base_y * kNaturalBaseY9 / kNaturalBaseY8, kLeastBaseY9, kNaturalBaseY9);
  } else {
    page.base_x = base_x;
    page.base_y = base_y;
  }
  return page;
}

Layout Session::DialogLayout(const Window& w, int template_cx, int template_cy) const {
  Layout l;
  // The window is cx * base_x / 4 wide, rounded down: the nearest whole
  // base unit is the one.
  l.base_x = static_cast<int>(std::lround(4.0 * w.width / template_cx));
  l.base_y = static_cast<int>(std::lround(8.0 * w.height / template_cy));
  return l;
}

Layout Session::MainLayout(const Window& w) const {
  Layout l;
  l.base_x = static_cast<int>(std::lround(4.0 * w.width / kMainTemplateCx));
  l.base_y = static_cast<int>(std::lround(
      8.0 * (w.height - kMainMenuBarHeight - kMainStatusBarHeight) / kMainTemplateCy));
  l.top = kMainMenuBarHeight;
  return l;
}

}  // namespace gui
