// The program's entry: the graphical backend, then the framework's run of the
// application object.
#include "app/TovraneApp.h"
#include "platform/ui/backend.h"
#include "platform/ui/wx/wx_backend.h"

int main(int argc, char** argv) {
  ui::SetBackend(MakeWxBackend(argc, argv));
  // theApp lives in the app library: naming it here links it in.
  static_cast<void>(&theApp);
  return AfxWinMain();
}
