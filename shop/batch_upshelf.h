#pragma once
// Batch listing: TaoBao::OnBatchUpShelf (the item list's pop-up command
// "批量上架（仅用于大于1万的情况）") starts 50 BatchUpShelfThread, which list
// the rows of the item list 20 to a request (UpShelfTbItems).
//
// Locking: a claim takes g_WorkMutex and then the group counter's own lock
// (WorkClaim); a claim that finds g_WorkMutex held (a throttled listing
// request holds it for its whole request) waits again, so each group of a
// run goes to one thread only. The command's reset takes the counter's lock
// alone, so the window does not wait for a request.
#include "platform/types.h"

constexpr int kBatchUpShelfThreadCount = 50;
constexpr int kUpShelfGroupSize = 20;

// The next group to claim; set to 0 by each start of the command. Guarded
// by a lock of batch_upshelf.cpp.
extern int g_NextUpShelfGroup;

// The worker procedure; `param` is not used. Ends when every group has been
// claimed (or at the program's end), without a message to the page.
UINT BatchUpShelfThread(LPVOID param);
