#pragma once
// The window layer in one include, for pages and the application.
#include "platform/exception.h"
#include "platform/text/CString.h"
#include "platform/thread/thread.h"
#include "platform/ui/app.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/menu.h"
#include "platform/ui/wnd.h"
