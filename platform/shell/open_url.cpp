#include "platform/shell/open_url.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace shell {

bool OpenUrlInBackground(const std::string& utf8_url, std::function<void()> failed,
                         const std::string& program) {
  if (utf8_url.empty() || utf8_url.find_first_of(std::string("\0\r\n", 3)) != std::string::npos)
    return false;
  // An address starting with '-' would read as an option of the handler.
  if (utf8_url[0] == '-') return false;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The handler must not write into our console or read our input.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  // Nor keep any file of ours open: a browser that outlives the program
  // would hold the program folder's lock (scripts/run) and its sockets.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own process group: a terminal's Ctrl+C for the program leaves the
  // browser the user opened alone.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);

  std::string url = utf8_url;
  std::string name = program;
  char* argv[] = {name.data(), url.data(), nullptr};
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  // Reap the handler when it ends so that no zombie stays behind. xdg-open
  // returns quickly when the desktop starts the browser, but without a
  // desktop it runs the browser in the foreground and waits for it.
  std::thread([pid, failed = std::move(failed)] {
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (ended == pid && WIFEXITED(status) && WEXITSTATUS(status) != 0 && failed) failed();
  }).detach();
  return true;
}

}  // namespace shell
