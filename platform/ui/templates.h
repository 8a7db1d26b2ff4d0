#pragma once
// Where dialogs and menus find their templates: the program's resources
// (resources/templates.cpp), and templates registered at run time. Tests use
// the registration to build small dialogs of their own; a registered
// template wins over a resource with the same id.
#include "resources/dialog_template.h"

namespace ui {

// The template stays owned by the caller and must outlive every dialog made
// from it. Any thread; registering an id again replaces the earlier one.
void RegisterDialogTemplate(const DialogTemplate* t);
void RegisterMenuTemplate(const MenuTemplate* t);
void UnregisterDialogTemplate(int id);
void UnregisterMenuTemplate(int id);

// The registered template, else the resource; null when neither exists.
const DialogTemplate* LookupDialogTemplate(int id);
const MenuTemplate* LookupMenuTemplate(int id);

}  // namespace ui
