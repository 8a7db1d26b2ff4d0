#pragma once
// The dialog font of the real windows and the dialog base units that come
// from it. Templates name "MS Shell Dlg", which Linux does not have; every
// dialog is drawn in WenQuanYi Zen Hei, one point larger than the template
// asks, so that Chinese texts stay legible.
//
// Base units follow the classic method (average width of the 52 Latin
// letters, and the font's line height), except that the horizontal unit is
// raised to the smallest value at which every text of every template fits
// its rectangle: the font's Chinese glyphs are wider against its Latin ones
// than the templates' design font's were.
//
// InitFonts runs once on the UI thread before any window exists; the other
// calls may then come from any thread.
#include <wx/font.h>

namespace wxui {

constexpr const char* kDialogFace = "WenQuanYi Zen Hei";

void InitFonts();
// The font for a template's point size.
wxFont DialogFont(int template_point_size);
void BaseUnitsFor(int template_point_size, int* base_x, int* base_y);
// Compact widget padding, so controls fit template heights of 10 to 14
// dialog units (GTK's default theme asks for 34-pixel entries).
void InstallCompactStyle();

}  // namespace wxui
