// The application object and the program's entry: InitInstance on the UI
// thread, the exit code, workers waited for, and the application name.
#include "platform/thread/thread.h"
#include "tests/platform/ui/ui_fixture.h"

namespace uitest {
namespace {

class TestApp : public CWinApp {
 public:
  bool ran_on_ui_thread = false;
  std::intptr_t modal_result = 0;

  BOOL InitInstance() override {
    ran_on_ui_thread = ui::IsUiThread();
    // A worker that outlives the main window and still wants a box shown.
    AfxBeginThread(
        [](LPVOID) -> UINT {
          Sleep(50);
          AfxMessageBox("worker done");
          return 0;
        },
        nullptr);
    CDialog dlg(kTestDlg);
    m_pMainWnd = &dlg;
    modal_result = dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
  }
  int ExitInstance() override { return 3; }
};

class AppTest : public UiTest {};

TEST_F(AppTest, WinMainRunsInitInstanceAndWaitsForTheWorkers) {
  TestApp app;
  ASSERT_EQ(AfxGetApp(), &app);
  ui::headless::ScriptModal([](CDialog& d) {
    AfxMessageBox("in the main window");
    d.EndDialog(IDOK);
  });
  EXPECT_EQ(AfxWinMain(), 3);
  EXPECT_TRUE(app.ran_on_ui_thread);
  EXPECT_EQ(app.modal_result, IDOK);
  EXPECT_EQ(worker_registry::LiveCount(), 0);
  auto boxes = ui::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(Show(boxes[0].text), "in the main window");
  EXPECT_NE(boxes[0].owner, nullptr);  // the framework's box belongs to the main window
  EXPECT_EQ(Show(boxes[1].text), "worker done");
  EXPECT_EQ(boxes[1].owner, nullptr);  // no main window any more
}

TEST_F(AppTest, NameIsTheExecutablesUnlessGiven) {
  EXPECT_EQ(Show(AfxGetAppName()), "test_platform_ui");
  {
    CWinApp named("Named");
    EXPECT_EQ(AfxGetApp(), &named);
    EXPECT_EQ(Show(AfxGetAppName()), "Named");
  }
  EXPECT_EQ(AfxGetApp(), nullptr);
  EXPECT_EQ(Show(AfxGetAppName()), "test_platform_ui");
}

}  // namespace
}  // namespace uitest
