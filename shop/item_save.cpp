// Saving the item list into the item database and loading it back.
#include "shop/TaoBao.h"

void TaoBao::OnSaveData() {}
void TaoBao::OnImportAll() {}
void TaoBao::OnImportNotUpdated() {}
