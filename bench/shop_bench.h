#pragma once
// The item page against the local marketplace for the shop benchmarks,
// headless: site server, marketplace, seller centre, a program folder of
// its own, a signed-in session and the TaoBao page.
#include <chrono>
#include <cstdio>
#include <memory>

#include "platform/thread/thread.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "shop/Q_Web.h"
#include "shop/TaoBao.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct ShopBench {
  sites::SiteServer server;
  sites::Marketplace market{server};
  sites::SellerCentre centre{server, &market};
  sites::TestProgramFolder folder;
  std::unique_ptr<TaoBao> page;

  // Signs in and creates the item page; false when the sign-in failed.
  bool Open() {
    ui::SetUiThread();
    sites::WriteHostsIni(folder, server, market.HostKeys());
    ui::headless::ScriptModal(
        [](CDialog& dialog) { static_cast<Q_Web&>(dialog).OnConfirmLogin(); });
    Q_Web dialog;
    dialog.DoModal();
    if (g_LoggedIn.load() != 1) return false;
    page = std::make_unique<TaoBao>();
    return page->Create(TaoBao::IDD, nullptr);
  }

  // Pumps the UI thread until every worker has ended.
  static void WaitWorkers() {
    while (worker_registry::LiveCount() > 0) {
      ui::PumpUntil([] { return worker_registry::LiveCount() == 0; },
                    std::chrono::milliseconds(50));
    }
    ui::RunPending();
  }

  static int Boxes(const char* text) {
    int count = 0;
    for (const auto& box : ui::headless::MessageBoxes()) count += box.text == text;
    return count;
  }

  ~ShopBench() {
    if (page) {
      page->m_SearchButton.EnableWindow(TRUE);
      WaitWorkers();
      page->DestroyWindow();
    }
    ui::RunPending();
  }
};

}  // namespace bench
