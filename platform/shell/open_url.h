#pragma once
// Opens an address with the desktop's default handler (`xdg-open`), in the
// background: the call returns as soon as the handler is started and never
// waits for it. No shell is involved, so the address is one argument whatever
// it holds. Needs no display of its own; any thread.
#include <string>

namespace shell {

// `utf8_url`: the address as UTF-8. False when it is empty, holds a zero or
// a line break, or the handler cannot be started.
bool OpenUrlInBackground(const std::string& utf8_url);

// The program started for an address; tests replace it with a stand-in.
// Empty restores "xdg-open" (looked up in PATH).
void SetUrlOpenerForTesting(const std::string& program);

}  // namespace shell
