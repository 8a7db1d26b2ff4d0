// The item-list download: search handler, workers and their end.
#include "shop/TaoBao.h"

void TaoBao::OnSearchItems() {}

LRESULT TaoBao::OnDownloadDone(WPARAM, LPARAM) { return 0; }
