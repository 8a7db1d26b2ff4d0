#pragma once
// Opens an address with the desktop's default handler (`xdg-open`), in the
// background: the call returns as soon as the handler is started and never
// waits for it. No shell is involved, so the address is one argument whatever
// it holds. Needs no display of its own; any thread.
#include <functional>
#include <string>

namespace shell {

// `utf8_url`: the address as UTF-8; `program`: the handler, looked up in
// PATH. False when the address is empty, holds a zero or a line break, or
// the handler cannot be started (not installed). `failed` is called, on a
// thread of its own, when the handler ends with a status other than 0: it
// found no browser, or the browser it ran in the foreground failed.
bool OpenUrlInBackground(const std::string& utf8_url, std::function<void()> failed,
                         const std::string& program = "xdg-open");

}  // namespace shell
