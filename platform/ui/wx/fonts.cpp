#include "platform/ui/wx/fonts.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/display.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/ui/templates.h"

namespace wxui {
namespace {

constexpr int kMinPoint = 6;
constexpr int kMaxPoint = 16;
// A window manager's title bar and borders, before it has framed a window
// of ours and said how large its frame is.
constexpr int kTitleAllowance = 40;
constexpr int kBorderAllowance = 2;

struct Units {
  int x = 6;
  int y = 13;
};

// Written once by InitFonts before any window exists, read-only afterwards.
std::array<Units, kMaxPoint - kMinPoint + 1> g_units;
std::atomic<bool> g_ready{false};

int TextPointSize(int template_point_size) {
  return std::clamp(template_point_size, kMinPoint, kMaxPoint) + 1;
}

// Room a control kind takes beside its text: the check mark, the button's
// padding, the frame's label inset (matching InstallCompactStyle).
int KindPadding(ControlKind kind) {
  switch (kind) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      return 20;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
      return 10;
    case ControlKind::GroupBox:
      return 16;
    default:
      return 0;
  }
}

bool HasText(const ControlTemplate& c) {
  if (c.text == nullptr || *c.text == '\0') return false;
  switch (c.kind) {
    case ControlKind::Static:
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox:
      return true;
    default:
      return false;
  }
}

Units Measure(wxDC& dc, int template_point_size) {
  dc.SetFont(DialogFont(template_point_size));
  wxCoord w = 0, h = 0;
  dc.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &w, &h);
  Units u;
  u.x = std::max(1, (w / 26 + 1) / 2);
  u.y = std::max(1, static_cast<int>(h));

  // Widen until every text of the templates of this point size fits.
  for (int id = 1; id < 0x8000; ++id) {
    const DialogTemplate* t = ui::LookupDialogTemplate(id);
    if (t == nullptr || TextPointSize(t->point_size) != TextPointSize(template_point_size))
      continue;
    for (const ControlTemplate& c : t->controls) {
      if (!HasText(c) || c.cx <= 0 || c.cy <= 0) continue;
      wxCoord tw = 0, th = 1;
      dc.GetTextExtent(wxString::FromUTF8(GbkToUtf8(c.text)), &tw, &th);
      // Statics wrap: a text two lines high may take two lines.
      int lines = c.kind == ControlKind::Static ? std::max(1, (c.cy * u.y / 8) / std::max(1, th)) : 1;
      int need = static_cast<int>(
          std::ceil(4.0 * (static_cast<double>(tw) / lines + KindPadding(c.kind)) / c.cx));
      u.x = std::max(u.x, need);
    }
  }
  return u;
}

// The least vertical unit for a point size: one template line (8 units)
// as high as the font's glyphs, less the pixel a glyph leaves free.
int LeastBaseY(int template_point_size) {
  return std::max(1, GlyphHeight(DialogFont(template_point_size)) - 1);
}

// Height of a top-level window of template `t` with the vertical unit
// `base_y`, frame included.
int WindowHeight(const DialogTemplate& t, int base_y) {
  const int bars = t.menu_id != 0 ? kMenuBarHeight + kStatusBarHeight : 0;
  return t.cy * base_y / 8 + bars + FrameDecorations().y;
}

// Shrinks every vertical unit by one factor (a unit of the tallest window's
// font over its measured value) until every top-level window fits the work
// area's height, as far as the least unit allows.
void FitToWorkArea() {
  std::vector<const DialogTemplate*> windows;
  const DialogTemplate* tallest = nullptr;
  for (int id = 1; id < 0x8000; ++id) {
    const DialogTemplate* t = ui::LookupDialogTemplate(id);
    if (t == nullptr || (t->style & kDlgChild)) continue;
    windows.push_back(t);
    auto natural = [](const DialogTemplate* w) {
      return WindowHeight(*w, g_units[std::clamp(w->point_size, kMinPoint, kMaxPoint) - kMinPoint].y);
    };
    if (tallest == nullptr || natural(t) > natural(tallest)) tallest = t;
  }
  if (tallest == nullptr) return;
  const int available = WorkArea().height;
  const int ref = std::clamp(tallest->point_size, kMinPoint, kMaxPoint) - kMinPoint;
  const int natural = g_units[ref].y;
  const int least = std::min(natural, LeastBaseY(ref + kMinPoint));
  // Every font keeps its own least unit.
  auto scaled = [&](int index, int k) {
    return std::min(g_units[index].y,
                    std::max(LeastBaseY(index + kMinPoint), g_units[index].y * k / natural));
  };
  int chosen = least;
  for (int k = natural; k > least; --k) {
    bool fits = true;
    for (const DialogTemplate* w : windows)
      fits &= WindowHeight(*w, scaled(std::clamp(w->point_size, kMinPoint, kMaxPoint) - kMinPoint, k)) <=
              available;
    if (fits) {
      chosen = k;
      break;
    }
  }
  if (chosen == natural) return;
  for (int i = 0; i < static_cast<int>(g_units.size()); ++i) g_units[i].y = scaled(i, chosen);
}

}  // namespace

wxRect WorkArea() { return wxDisplay().GetClientArea(); }

wxSize FrameDecorations() {
  GdkScreen* screen = gdk_screen_get_default();
  if (screen == nullptr || !GDK_IS_X11_SCREEN(screen)) return wxSize(0, 0);
  const char* wm = gdk_x11_screen_get_window_manager_name(screen);
  if (wm == nullptr || std::string(wm) == "unknown") return wxSize(0, 0);
  return wxSize(2 * kBorderAllowance, kTitleAllowance + kBorderAllowance);
}

wxFont DialogFont(int template_point_size) {
  wxFont font(wxFontInfo(TextPointSize(template_point_size)).FaceName(kDialogFace));
  return font;
}

int GlyphHeight(const wxFont& font) {
  const int ppi = wxScreenDC().GetPPI().y;
  return static_cast<int>(std::lround(font.GetFractionalPointSize() * (ppi > 0 ? ppi : 96) / 72.0));
}

void InitFonts() {
  wxBitmap bitmap(16, 16);
  wxMemoryDC dc(bitmap);
  for (int pt = kMinPoint; pt <= kMaxPoint; ++pt) g_units[pt - kMinPoint] = Measure(dc, pt);
  FitToWorkArea();
  g_ready.store(true, std::memory_order_release);
}

void BaseUnitsFor(int template_point_size, int* base_x, int* base_y) {
  Units u;
  if (g_ready.load(std::memory_order_acquire))
    u = g_units[std::clamp(template_point_size, kMinPoint, kMaxPoint) - kMinPoint];
  *base_x = u.x;
  *base_y = u.y;
}

void InstallCompactStyle() {
  static const char kCss[] =
      "button { padding: 0 4px; min-height: 0; min-width: 0; }\n"
      "entry { min-height: 0; padding: 0 3px; }\n"
      "combobox button, combobox entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
      "combobox arrow { min-width: 10px; min-height: 10px; }\n"
      "checkbutton, radiobutton { padding: 0; min-height: 0; }\n"
      "check, radio { min-width: 13px; min-height: 13px; margin: 0 4px 0 0; padding: 0; }\n"
      "spinbutton button { padding: 0; min-height: 0; min-width: 0; }\n"
      "frame > label { margin: 0 4px; }\n";
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                            GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
  // Menus, the status bar and the boxes the toolkit makes: the same face.
  const std::string face = std::string(kDialogFace) + " 9";
  g_object_set(gtk_settings_get_default(), "gtk-font-name", face.c_str(), nullptr);
}

}  // namespace wxui
