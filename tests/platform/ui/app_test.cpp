// The application object and the program's entry: InitInstance on the UI
// thread, the exit code, workers stopped and waited for, and the application
// name.
#include <atomic>

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

// A main window with a member control that a worker writes on every step
// until the program's stop signal: the worker's loop, as the pages' workers
// run theirs.
class MainWindowWithWorker : public CDialog {
 public:
  MainWindowWithWorker() : CDialog(kTestDlg) {}
  CEdit m_Edit;
  std::atomic<int> steps{0};

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    AfxBeginThread(
        [](LPVOID param) -> UINT {
          auto* self = static_cast<MainWindowWithWorker*>(param);
          for (int i = 0; !worker_registry::StopRequested(); ++i) {
            self->m_Edit.SetWindowText(i % 2 ? "odd" : "even");
            ++self->steps;
            Sleep(1);
          }
          self->m_Edit.SetWindowText("stopped");
          return 0;
        },
        this);
    return TRUE;
  }

 protected:
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kEdit, m_Edit); }
};

TEST_F(AppTest, TheMainWindowsEndStopsItsWorkersBeforeItsControlsGo) {
  struct StoppingApp : CWinApp {
    int live_after_main_window = -1;
    bool stop_still_raised = true;
    CString last_text;
    BOOL InitInstance() override {
      MainWindowWithWorker dlg;
      m_pMainWnd = &dlg;
      dlg.DoModal();
      // Only the C++ object is left; it goes at the end of this scope.
      live_after_main_window = worker_registry::LiveCount();
      stop_still_raised = worker_registry::StopRequested();
      last_text = dlg.m_Edit.GetWindowText();
      m_pMainWnd = nullptr;
      return FALSE;
    }
  } app;
  ui::headless::ScriptModal([](CDialog& d) {
    auto& main = static_cast<MainWindowWithWorker&>(d);
    ASSERT_TRUE(ui::PumpUntil([&] { return main.steps.load() > 10; }, std::chrono::seconds(20)));
    d.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(AfxWinMain(), 0);
  EXPECT_EQ(app.live_after_main_window, 0);
  EXPECT_FALSE(app.stop_still_raised);
  EXPECT_EQ(Show(app.last_text), "stopped");
  EXPECT_FALSE(worker_registry::StopRequested());
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
