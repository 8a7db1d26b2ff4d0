#pragma once
// For the backend's own tests: run the wx event loop on the test's thread
// and look at what the widgets show, without the tests including wx.
// UI thread only.
#include <chrono>
#include <functional>
#include <string>

#include "platform/ui/wnd.h"

namespace wxui::testing {

// Runs the event loop until `done()` holds or `timeout` passes; returns
// whether `done()` held.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// What the widget of `w` shows, as UTF-8: a button's or static's caption,
// an edit's or combo's text, a top-level window's title. Empty when `w` has
// no widget.
std::string ShownText(CWnd* w);
// Whether the widget of `w` exists and is shown.
bool ShownVisible(CWnd* w);
// The widget's rectangle in screen pixels (all zero when it has none).
RECT ScreenRect(CWnd* w);
// Whether a check box or radio button shows its check.
bool ShownChecked(CWnd* w);
// Rows the list widget of `w` believes it has.
long ShownRowCount(CWnd* w);
// Called at the start of every paint of a list's rows, with the row count
// the list paints (null: none).
void SetListPaintObserver(std::function<void(CWnd* list, long rows)> observer);
// The width of column `column` as the list widget of `w` shows it (-1: none),
// and its heading as shown (UTF-8).
int ShownColumnWidth(CWnd* w, int column);
// The room of the list's rows beside its vertical scroll bar, and the
// screen rectangle of row `row`.
int ShownRowsWidth(CWnd* w);
RECT ShownRowRect(CWnd* w, int row);
std::string ShownColumnHeading(CWnd* w, int column);
// Pixels `text` (GBK) needs in a cell of column `column` of the list `w`
// with the cell's margins (and in column 0 the check box beside it), and
// in the column's header.
int CellTextNeed(CWnd* w, int column, const CString& text);
int HeaderTextNeed(CWnd* w, const CString& text);
// The tree widget's items, depth-first, each "  " per level then the text.
std::string ShownTree(CWnd* w);
// The text of the item the tree widget shows selected (UTF-8; empty: none).
std::string ShownTreeSelection(CWnd* w);

// The screen rectangle of tab `index`'s header of a tab control.
RECT TabHeaderRect(CWnd* tab, int index);
// The colours a static shows: 0x00BBGGRR, or -1 for the default.
long ShownBackground(CWnd* w);
long ShownForeground(CWnd* w);
// Ends every modal box and dialog on the screen with Cancel (a test whose
// helper failed to answer one must not hang).
void EndModalBoxes();
// Closes `w`'s top-level window as its title bar's close button does.
void RequestClose(CWnd* w);

// The embedded browsers' counts since the process began: loads refused for
// their certificate, and WebKit page processes that crashed.
int BrowserRefusedCertificates();
int BrowserPageCrashes();

}  // namespace wxui::testing
