// Batch listing of the item list, 20 items per request, 50 threads.
#include "shop/batch_upshelf.h"

#include <mutex>

#include "platform/exception.h"
#include "services/globals.h"
#include "shop/TaoBao.h"
#include "shop/item_download.h"
#include "shop/item_ops.h"

int g_NextUpShelfGroup = 0;

namespace {

std::mutex g_UpShelfGroupLock;  // g_NextUpShelfGroup

// Claims the next group below `group_count`; false when none is left.
bool ClaimGroup(int group_count, int& group) {
  WorkClaim claim(g_UpShelfGroupLock, 500);
  const bool claimed = g_NextUpShelfGroup < group_count;
  if (claimed) group = g_NextUpShelfGroup++;
  return claimed;
}

// The item part of group `group`: five fields for each of its 20 slots, the
// slot's item id in each; a slot past the last row has an empty id.
CString GroupItemPart(int group, int row_count) {
  CString part;
  for (int slot = 0; slot < kUpShelfGroupSize; ++slot) {
    const int row = group * kUpShelfGroupSize + slot;
    const CString id = row < row_count ? g_ItemList->GetItemText(row, 1) : CString();
    part += "&selectedIds=" + id;
    part += "&goods_num:" + id + "=300";
    part += "&stuff_status:" + id + "=5";
    part += "&autoEnd:" + id + "=true";
    part += "&prepayCat:" + id + "=true";
  }
  return part;
}

}  // namespace

UINT BatchUpShelfThread(LPVOID) {
  const int row_count = g_ItemList->GetItemCount();
  const int group_count = row_count / kUpShelfGroupSize + (row_count % kUpShelfGroupSize ? 1 : 0);
  // At the program's end no further group is claimed: the page's controls
  // are about to go.
  while (!worker_registry::StopRequested()) {
    int group = 0;
    if (!ClaimGroup(group_count, group)) break;
    RunWorkerPass([&] {
      // A refused group is neither retried nor reported.
      UpShelfTbItems(GroupItemPart(group, row_count), g_TbToken);
      CString text;
      text.Format("正在上架第%d组数据", group);
      g_UpShelfStatusText->SetWindowText(text);
      Sleep(0);
    });
  }
  return 0;
}

void TaoBao::OnBatchUpShelf() {
  // A network failure here ends the command before any thread starts.
  if (g_TbToken.IsEmpty()) CheckLoginAndFetchToken();
  {
    // Not g_WorkMutex: a throttled request of the running listing holds it.
    std::lock_guard<std::mutex> lock(g_UpShelfGroupLock);
    g_NextUpShelfGroup = 0;
  }
  // Nothing waits for a count of these threads: the groups of one the system
  // would not make are claimed by the others.
  for (int i = 0; i < kBatchUpShelfThreadCount; ++i) AfxBeginThread(&BatchUpShelfThread, nullptr);
}
