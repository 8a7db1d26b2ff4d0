#pragma once
// The wx backend under a virtual display of the test program's own, made
// once per process (wx starts once). The test's thread is the UI thread.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/ui/afxwin.h"
#include "tests/support/gui_session.h"

namespace wxtest {

using namespace std::chrono_literals;

// Null until the environment is up; every test needs it (WX_REQUIRE_DISPLAY).
gui::XServer* Display();
// Why the environment is not up (empty when it is).
const std::string& Error();

// Runs the event loop until `done()` holds or `timeout` passes.
bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s);
// Runs the event loop for `d`.
void PumpFor(std::chrono::milliseconds d);

// GBK (the program's) text to UTF-8 (what the widgets show).
std::string Utf8(const CString& gbk);
inline std::string Utf8(const char* gbk) { return Utf8(CString(gbk)); }

#define WX_REQUIRE_DISPLAY() GUI_REQUIRE(wxtest::Display() != nullptr, wxtest::Error())

}  // namespace wxtest
