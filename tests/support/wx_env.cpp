#include "tests/support/wx_env.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/text/codepage.h"
#include "platform/ui/backend.h"
#include "platform/ui/wx/wx_backend.h"
#include "platform/ui/wx/wx_testing.h"

namespace wxtest {
namespace {

gui::XServer* g_display = nullptr;
std::string g_error = "the wx environment was not set up";

class WxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // A backend that does not start on one server is tried once more on a
    // new one.
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (attempt > 0)
        std::fprintf(stderr, "gui retry: %s; once more on a new display\n", g_error.c_str());
      server_.reset();
      server_ = std::make_unique<gui::XServer>();
      if (!server_->Ok()) {
        g_error = server_->Error();
        return;
      }
      ::setenv("DISPLAY", server_->Display().c_str(), 1);
      ::setenv("NO_AT_BRIDGE", "1", 1);
      static char arg0[] = "test_platform_wx";
      static char* argv[] = {arg0, nullptr};
      if (std::unique_ptr<ui::Backend> backend = MakeWxBackend(1, argv)) {
        ui::SetBackend(std::move(backend));
        ui::SetUiThread();
        g_display = server_.get();
        g_error.clear();
        return;
      }
      g_error = "wx did not start on " + server_->Display();
    }
  }
  void TearDown() override {
    if (g_display == nullptr) return;
    g_display = nullptr;
    // wx ends while its display is still there; the X server goes with the
    // environment object.
    ui::SetBackend(nullptr);
    server_.reset();
  }

 private:
  std::unique_ptr<gui::XServer> server_;
};

[[maybe_unused]] ::testing::Environment* const g_env =
    ::testing::AddGlobalTestEnvironment(new WxEnvironment);

}  // namespace

gui::XServer* Display() { return g_display; }

const std::string& Error() { return g_error; }

bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return wxui::testing::PumpUntil(done, timeout);
}

void PumpFor(std::chrono::milliseconds d) {
  const auto until = std::chrono::steady_clock::now() + d;
  wxui::testing::PumpUntil([&] { return std::chrono::steady_clock::now() >= until; }, d + 1s);
}

std::string Utf8(const CString& gbk) { return GbkToUtf8(gbk.str()); }

}  // namespace wxtest
