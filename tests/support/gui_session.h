#pragma once
// Helpers for `gui` tests: an X server of the test's own (Xvfb), a program
// folder in a temporary place holding a copy of the built program with its
// Data/ and Log/, the program started there as a user starts it, and
// xdotool / ImageMagick to act on it and photograph it. Everything started
// here is ended by the destructors: no process stays behind.
//
// The program is black-box: windows are found by title, controls by their
// place. The layouts are fixed by the templates; `Layout` turns a
// template's dialog units into window pixels.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace gui {

using namespace std::chrono_literals;

// Looks at `done` every 100 ms until it holds or `timeout` passes; whether
// it held.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// The build folder: the parent of the test program's folder.
std::string BuildDir();
// The source folder the build was made from (from the build's cache).
std::string SourceDir();

// The Debian package of a tool that real-window tests run and that is not
// installed (Xvfb, xdotool, ImageMagick, and openbox for a test under a
// window manager); empty when every one is there.
std::string MissingPackage(bool window_manager = false);

// Opens a real-window test: skipped only when a package it needs is
// missing, failed with `reason` when its X server, program folder or
// window backend could not be made.
#define GUI_REQUIRE(ok, reason) GUI_REQUIRE_WM(false, ok, reason)
#define GUI_REQUIRE_WM(window_manager, ok, reason)                        \
  do {                                                                    \
    const std::string gui_missing_ = ::gui::MissingPackage(window_manager); \
    if (!gui_missing_.empty())                                            \
      GTEST_SKIP() << "package " << gui_missing_ << " is not installed";  \
    ASSERT_TRUE(ok) << (reason);                                          \
  } while (0)

// Writes a screenshot of the whole screen of `display` to
// <build>/screenshots/<name>.png; returns its path ("" on failure).
std::string Screenshot(const std::string& display, const std::string& name);
// Pixels that differ by more than 5% between two pictures of the same size
// (-1: not compared).
long DifferentPixels(const std::string& a, const std::string& b);
// Pixels darker than middle grey in the rectangle of a picture (-1: not
// counted): text drawn there.
long DarkPixels(const std::string& picture, int x, int y, int width, int height);

// Runs a program (looked up in PATH) with `args`, waits at most `timeout`,
// returns its exit code (-1: not started or killed at the time-out) and
// what it wrote to its standard output. `display` sets DISPLAY when given.
struct CommandResult {
  int code = -1;
  std::string out;
};
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& display = "",
                         std::chrono::milliseconds timeout = 20s);

// Runs `argv` as RunCommand does every 100 ms until what it writes to its
// standard output satisfies `wanted`, at most `timeout`; returns the last
// output read, whether it satisfied `wanted` or not. For what a program
// shows some time after the action that causes it (a key press reaches the
// program when the program gets round to it, not when xdotool returns).
std::string WaitForOutput(const std::vector<std::string>& argv, const std::string& display,
                          const std::function<bool(const std::string&)>& wanted,
                          std::chrono::milliseconds timeout = 10s);
// The text of the clipboard of `display` (UTF-8) read by xclip, once
// `wanted` holds for it (at most `timeout`): the last text read otherwise,
// "" while no program holds the clipboard.
std::string WaitForClipboard(const std::string& display,
                             const std::function<bool(const std::string&)>& wanted,
                             std::chrono::milliseconds timeout = 10s);

// Starts `argv` (a path) in `dir` (empty: here), in a process group of its
// own, with the environment changed by `set` and its output to the file
// `log`; its process id (-1: not started). EndGroup ends it.
pid_t Spawn(const std::vector<std::string>& argv,
            const std::vector<std::pair<std::string, std::string>>& set, const std::string& log,
            const std::string& dir = "");
// Ends a process group: politely, then for good.
void EndGroup(pid_t pid);

// The shown top-level windows of `display` whose title is exactly `title`
// (UTF-8), by xdotool id. (xdotool's own --name search misses titles that
// GTK gives only as _NET_WM_NAME, as it does for Chinese ones.)
std::vector<std::string> FindWindows(const std::string& display, const std::string& title);

// xdotool types a character the keyboard lacks by binding it to a spare
// key for the moment of the press and unbinding it at once: a program
// that reads the press after that (a loaded machine) gets no character.
// This gives every such character of `utf8` a spare key of its own, for
// the rest of the X server's life, so that xdotool finds it on the
// keyboard. Session::Type does it; call it before typing with xdotool
// directly.
void BindCharacters(const std::string& display, const std::string& utf8);

// An Xvfb server on a display number nobody uses (Xvfb picks it), ready
// for clients. One that does not start or lets no client in is tried once
// more on a new display, with a line "gui retry: ..." on standard error.
// It ends with the object, and with the test program should that die first.
class XServer {
 public:
  // With `window_manager`, openbox runs on it, framing and placing windows
  // as a seller's desktop does.
  explicit XServer(int width = 1280, int height = 1024, bool window_manager = false);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  bool Ok() const { return pid_ > 0 && !display_.empty(); }
  const std::string& Display() const { return display_; }  // ":N"
  // Why the server is not there (empty when it is).
  const std::string& Error() const { return error_; }

 private:
  bool Launch(int width, int height);
  bool StartWindowManager();

  pid_t pid_ = -1;
  pid_t window_manager_ = -1;
  std::string display_;
  std::string error_;
};

// A window on the X server.
struct Window {
  std::string id;  // xdotool's window id; empty: none
  int x = 0, y = 0, width = 0, height = 0;
  explicit operator bool() const { return !id.empty(); }
};

// The template-to-pixel mapping of a window that shows a template of
// `template_cx` x `template_cy` dialog units, found from its size:
//   pixel x = left + dlu x * base_x / 4,  pixel y = top + dlu y * base_y / 8
// `top` is the menu bar's height for the main window, 0 for a dialog.
// The vertical unit follows the screen: the program shrinks it so that its
// window fits a small screen.
struct Layout {
  int base_x = 0, base_y = 0, left = 0, top = 0;
  int X(int dlu_x) const { return left + dlu_x * base_x / 4; }
  int Y(int dlu_y) const { return top + dlu_y * base_y / 8; }
  // The main window's tab page whose template has `point_size` (8 or 9:
  // the item page's), in the main window's pixels.
  Layout Page(int point_size) const;
};

// The program in a temporary program folder under an X server of its own.
// The folder starts as a fresh install has it: the program and the data
// files the project ships, never what a run of the program left somewhere.
class Session {
 public:
  // The screen of its X server is `width` x `height` pixels, with or
  // without a window manager.
  explicit Session(int width = 1280, int height = 1024, bool window_manager = false);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool Ok() const { return x_.Ok() && !folder_.empty(); }
  // Why the session cannot run (empty when it can).
  std::string Error() const;
  const std::string& Display() const { return x_.Display(); }
  // The program folder (holds Tovrane, Data/, Log/).
  const std::string& Folder() const { return folder_; }
  // Writes `bytes` (as they are: GBK for the program's own files) into
  // Data/<name>, e.g. "system.ini".
  bool WriteDataFile(const std::string& name, const std::string& bytes);
  // Writes Data/FenLei.db with one "所有商品" condition per (discount,
  // markup), unticked as every loaded condition comes, numbered from 1.
  bool WriteAllProductsConditions(const std::vector<std::pair<std::string, std::string>>& rules);

  // Starts the program; false when it cannot be started.
  bool Start();
  bool Running();
  // Waits for a shown window whose title matches `title` exactly (UTF-8).
  Window WaitForWindow(const std::string& title, std::chrono::milliseconds timeout = 30s);
  // Whether a shown window with this exact title exists now.
  bool HasWindow(const std::string& title);
  // Fresh geometry of a window (it may have moved).
  Window Refresh(const Window& w);

  // Pointer and keys. Points are in the window's pixels.
  bool Click(const Window& w, int x, int y, int button = 1);
  bool DoubleClick(const Window& w, int x, int y);
  // A click as a hand makes it: `button` down, `hold` later button up.
  bool Press(const Window& w, int x, int y, std::chrono::milliseconds hold = 100ms,
             int button = 1);
  // Gives `w` the keyboard, then types UTF-8 text into its focused control.
  bool Type(const Window& w, const std::string& text);
  // Gives `w` the keyboard, then presses xdotool key names, e.g. "Return",
  // "F10", "ctrl+a".
  bool Keys(const Window& w, const std::vector<std::string>& keys);
  // Activates the `index`th item of the main window's menu bar (0: first),
  // by keyboard: F10, then Right `index` times, then Return.
  bool MenuBarItem(const Window& w, int index);

  // The layout of the main window (template 573 x 466 with its menu bar)
  // or of a dialog (no menu bar), from the window's size.
  Layout MainLayout(const Window& w) const;
  Layout DialogLayout(const Window& w, int template_cx, int template_cy) const;

  std::string Screenshot(const std::string& name) { return gui::Screenshot(Display(), name); }
  // A screenshot taken once the screen holds still: two shots 300 ms apart
  // differ in no more than a text cursor's pixels (at most `timeout`). What
  // a loaded machine paints slowly is not photographed half drawn.
  std::string SettledScreenshot(const std::string& name, std::chrono::milliseconds timeout = 30s);
  // Waits until the screen differs from the picture `shot` in more than
  // `pixels` pixels (a menu opened or closed, a page shown); `name` names
  // the screenshots taken meanwhile.
  bool WaitForChange(const std::string& shot, const std::string& name, long pixels = 500,
                     std::chrono::milliseconds timeout = 30s);

  // A press at (x, y) of `w` once the screen holds still, then a wait for
  // the screen to show more than `pixels` pixels changed by it (a page,
  // a tick, a menu): what comes after does not act on the screen before.
  bool PressUntilChanged(const Window& w, int x, int y, const std::string& name,
                         long pixels = 500, int button = 1);

  // Ends the program (its whole process group, browser processes too).
  void Stop();

 private:
  XServer x_;
  std::string root_;    // temporary folder holding everything
  std::string folder_;  // program folder
  pid_t pid_ = -1;
};

}  // namespace gui
