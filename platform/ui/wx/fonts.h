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
// The vertical unit then shrinks, for every font alike, until the tallest
// top-level window fits the height of the screen's work area, though never
// below the height of the font's glyphs: the templates' one-line texts stay
// whole. A window that still does not fit scrolls (window_tree.cpp).
//
// InitFonts runs once on the UI thread before any window exists; the other
// calls may then come from any thread.
#include <wx/font.h>
#include <wx/gdicmn.h>

namespace wxui {

constexpr const char* kDialogFace = "WenQuanYi Zen Hei";

// The main frame's bars around its template area, fixed so that tests can
// place clicks by template (tests/support/gui_session.cpp counts on them).
constexpr int kMenuBarHeight = 28;
constexpr int kStatusBarHeight = 24;

void InitFonts();
// The primary screen's work area (without panels) and the room a window
// manager's frame takes around a window (none without a window manager;
// an allowance for a title bar before any window has been framed).
wxRect WorkArea();
wxSize FrameDecorations();
// The font for a template's point size.
wxFont DialogFont(int template_point_size);
// The height of a font's glyphs (its em) in pixels.
int GlyphHeight(const wxFont& font);
void BaseUnitsFor(int template_point_size, int* base_x, int* base_y);
// Compact widget padding, so controls fit template heights of 10 to 14
// dialog units (GTK's default theme asks for 34-pixel entries).
void InstallCompactStyle();

}  // namespace wxui
