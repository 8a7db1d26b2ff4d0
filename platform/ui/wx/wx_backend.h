#pragma once
// The program's window backend: real windows with wxWidgets 3.2 on GTK 3.
//
//   ui::SetBackend(MakeWxBackend(argc, argv));   // before AfxWinMain
//
// Starts wx on the calling thread, which must then be the user-interface
// thread. Returns null when no display can be opened; the caller may then
// report it and end. The backend keeps wx until it is destroyed.
#include <memory>

#include "platform/ui/backend.h"

std::unique_ptr<ui::Backend> MakeWxBackend(int argc, char** argv);
