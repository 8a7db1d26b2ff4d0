#pragma once
// The pages publish their controls in the globals of services/globals.h and,
// as in the program, never take them back: there the pages live as long as
// the program. A test that destroys its pages forgets them here, so that
// nothing later in the test program reaches a control that is gone. UI
// thread, once no worker runs.
#include <chrono>

namespace support {

void ForgetPageGlobals();

// Waits, pumping the UI queue, until no worker thread runs and nothing that
// was posted is left to run: a worker's end message may start new workers
// (the save run after a download or a price run), and those are waited for
// too. False when `limit` passed first. UI thread.
bool WaitWorkersAndPosts(std::chrono::milliseconds limit);

}  // namespace support
