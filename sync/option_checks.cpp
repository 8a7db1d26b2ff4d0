#include "sync/option_checks.h"

#include <cstring>

void SetCheckFromText(CButton* box, const char* text) {
  if (!box || !text) return;
  if (std::strcmp(text, "false") == 0)
    box->SetCheck(BST_UNCHECKED);
  else if (std::strcmp(text, "true") == 0)
    box->SetCheck(BST_CHECKED);
}

void GetCheckAsText(CButton* box, CString& text) {
  if (!box) return;
  const int state = box->GetCheck();
  if (state == BST_UNCHECKED)
    text = "false";
  else if (state == BST_CHECKED)
    text = "true";
}
