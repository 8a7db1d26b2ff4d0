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

class WxEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    server_ = std::make_unique<gui::XServer>();
    if (!server_->Ok()) {
      std::fprintf(stderr, "wx tests: Xvfb did not start\n");
      return;
    }
    ::setenv("DISPLAY", server_->Display().c_str(), 1);
    ::setenv("NO_AT_BRIDGE", "1", 1);
    static char arg0[] = "test_platform_wx";
    static char* argv[] = {arg0, nullptr};
    std::unique_ptr<ui::Backend> backend = MakeWxBackend(1, argv);
    if (!backend) {
      std::fprintf(stderr, "wx tests: wx did not start on %s\n", server_->Display().c_str());
      return;
    }
    ui::SetBackend(std::move(backend));
    ui::SetUiThread();
    g_display = server_.get();
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

bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return wxui::testing::PumpUntil(done, timeout);
}

void PumpFor(std::chrono::milliseconds d) {
  const auto until = std::chrono::steady_clock::now() + d;
  wxui::testing::PumpUntil([&] { return std::chrono::steady_clock::now() >= until; }, d + 1s);
}

std::string Utf8(const CString& gbk) { return GbkToUtf8(gbk.str()); }

}  // namespace wxtest
