// The program's entry: the graphical backend, then the framework's run of the
// application object.
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/TovraneApp.h"
#include "platform/ui/backend.h"
#include "platform/ui/wx/wx_backend.h"

namespace {

// scripts/run starts the program holding the program folder's lock on the
// descriptor that TOVRANE_LOCK_FD names. Only the program may hold it: a
// program it starts (the browser's helper processes, xdg-open) would keep
// the folder locked after the program ends, so the descriptor is closed on
// exec, and the variable goes with it.
void KeepTheFolderLockToThisProgram() {
  const char* text = std::getenv("TOVRANE_LOCK_FD");
  if (text == nullptr) return;
  char* end = nullptr;
  const long fd = std::strtol(text, &end, 10);
  if (end != text && *end == '\0' && fd > STDERR_FILENO && fd <= INT_MAX) {
    const int flags = ::fcntl(static_cast<int>(fd), F_GETFD);
    if (flags != -1) ::fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
  }
  ::unsetenv("TOVRANE_LOCK_FD");
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread starts, so that none starts a program meanwhile.
  KeepTheFolderLockToThisProgram();
  // theApp lives in the app library; naming it here also links it in.
  if (AfxGetApp() != &theApp) return 1;
  std::unique_ptr<ui::Backend> backend = MakeWxBackend(argc, argv);
  if (!backend) {
    std::fprintf(stderr, "Tovrane: cannot open the display.\n");
    return 1;
  }
  ui::SetBackend(std::move(backend));
  return AfxWinMain();
}
