// The program's entry: the graphical backend, then the framework's run of the
// application object.
#include <cstdio>
#include <memory>

#include "app/TovraneApp.h"
#include "platform/ui/backend.h"
#include "platform/ui/wx/wx_backend.h"

int main(int argc, char** argv) {
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
