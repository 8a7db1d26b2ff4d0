#include "tests/support/sign_in.h"

#include <gtest/gtest.h>

#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "shop/Q_Web.h"

namespace support {

void SignInThroughDialog() {
  ui::headless::ScriptModal([](CDialog& dialog) { static_cast<Q_Web&>(dialog).OnConfirmLogin(); });
  Q_Web dialog;
  dialog.DoModal();
  ASSERT_EQ(g_LoggedIn.load(), 1) << "the local marketplace did not sign in";
}

}  // namespace support
