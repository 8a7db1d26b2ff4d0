#include "platform/ui/wx/message_box.h"

#include <gtk/gtk.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include <algorithm>
#include <vector>

#include "platform/ui/wx/fonts.h"

namespace wxui {
namespace {

struct ButtonSpec {
  int wx_id;
  const wchar_t* label;
  int answer;
};

std::vector<ButtonSpec> ButtonsFor(UINT type) {
  const ButtonSpec ok{wxID_OK, L"确定", IDOK};
  const ButtonSpec cancel{wxID_CANCEL, L"取消", IDCANCEL};
  const ButtonSpec yes{wxID_YES, L"是(&Y)", IDYES};
  const ButtonSpec no{wxID_NO, L"否(&N)", IDNO};
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {ok, cancel};
    case MB_YESNO:
      return {yes, no};
    case MB_YESNOCANCEL:
      return {yes, no, cancel};
    default:
      return {ok};
  }
}

wxArtID IconFor(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
      return wxART_ERROR;
    case MB_ICONQUESTION:
      return wxART_QUESTION;
    case MB_ICONWARNING:
      return wxART_WARNING;
    case MB_ICONINFORMATION:
      return wxART_INFORMATION;
    default:
      return wxArtID();
  }
}

// `size`: the window with its frame.
wxPoint CentredOverParent(const wxTopLevelWindow* window, const wxSize& size) {
  wxWindow* owner = window->GetParent() != nullptr ? wxGetTopLevelParent(window->GetParent()) : nullptr;
  if (owner != nullptr && !owner->IsShownOnScreen()) owner = nullptr;
  const int display = owner != nullptr ? wxDisplay::GetFromWindow(owner) : wxNOT_FOUND;
  const wxRect area = display != wxNOT_FOUND ? wxDisplay(static_cast<unsigned>(display)).GetClientArea()
                                             : WorkArea();
  const wxRect over = owner != nullptr ? owner->GetScreenRect() : area;
  const int x = over.x + (over.width - size.x) / 2;
  const int y = over.y + (over.height - size.y) / 2;
  return wxPoint(std::clamp(x, area.x, std::max(area.x, area.GetRight() + 1 - size.x)),
                 std::clamp(y, area.y, std::max(area.y, area.GetBottom() + 1 - size.y)));
}

// The window's size as GTK has it, with the frame the window manager put
// around it. wx's own size lags behind while wx learns the frame's extents
// at the first show: it reads only the frame then, and a box centred by it
// opened with its corner at the owner's centre.
wxSize ShownSize(GtkWidget* widget) {
  GdkWindow* gdk = gtk_widget_get_window(widget);
  if (gdk == nullptr) return wxSize(0, 0);
  GdkRectangle frame;
  gdk_window_get_frame_extents(gdk, &frame);
  const int frame_x = frame.width - gdk_window_get_width(gdk);
  const int frame_y = frame.height - gdk_window_get_height(gdk);
  return wxSize(gtk_widget_get_allocated_width(widget) + std::max(0, frame_x),
                gtk_widget_get_allocated_height(widget) + std::max(0, frame_y));
}

// The size a window was last centred for, kept on its widget.
constexpr const char* kCentredSize = "tovrane-centred-size";

void CentreShown(GtkWidget* widget, wxTopLevelWindow* window) {
  const wxSize size = ShownSize(widget);
  if (size.x <= 1 || size.y <= 1) return;
  g_object_set_data(G_OBJECT(widget), kCentredSize,
                    GINT_TO_POINTER(size.x << 16 | (size.y & 0xFFFF)));
  const wxPoint at = CentredOverParent(window, size);
  gtk_window_move(GTK_WINDOW(widget), at.x, at.y);
}

// Once only: a window the user moved and then restored from the task bar
// stays where it was put.
gboolean OnMapped(GtkWidget* widget, GdkEvent*, gpointer data) {
  g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(&OnMapped), data);
  CentreShown(widget, static_cast<wxTopLevelWindow*>(data));
  gtk_window_present(GTK_WINDOW(widget));
  return FALSE;
}

// The window settles its size after it shows (the frame's extents come in
// late): centred again for each new size. Its size is the template's, which
// the user cannot change, so a move of the user's is never undone.
void OnSizeAllocated(GtkWidget* widget, GdkRectangle*, gpointer data) {
  if (!gtk_widget_get_mapped(widget)) return;
  const wxSize size = ShownSize(widget);
  const int packed = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), kCentredSize));
  if (packed != (size.x << 16 | (size.y & 0xFFFF))) CentreShown(widget, static_cast<wxTopLevelWindow*>(data));
}

}  // namespace

void OpenOverParent(wxTopLevelWindow* window) {
  window->Move(CentredOverParent(window, window->GetSize()));
  g_signal_connect(window->GetHandle(), "map-event", G_CALLBACK(OnMapped), window);
  g_signal_connect(window->GetHandle(), "size-allocate", G_CALLBACK(OnSizeAllocated), window);
}

int ShowMessageBox(wxWindow* owner, const wxString& text, const wxString& caption, UINT type) {
  const std::vector<ButtonSpec> buttons = ButtonsFor(type);
  wxDialog box(owner, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
  box.SetFont(DialogFont(9));

  auto* top = new wxBoxSizer(wxHORIZONTAL);
  const wxArtID icon = IconFor(type);
  if (!icon.empty())
    top->Add(new wxStaticBitmap(&box, wxID_ANY, wxArtProvider::GetBitmap(icon, wxART_MESSAGE_BOX)),
             0, wxALL | wxALIGN_TOP, 12);
  auto* message = new wxStaticText(&box, wxID_ANY, text);
  message->Wrap(box.FromDIP(420));
  // The seller can copy what a box says, as the system's boxes let one:
  // an address that would not open, a host that did not answer.
  gtk_label_set_selectable(GTK_LABEL(message->GetHandle()), TRUE);
  top->Add(message, 1, wxALL | wxALIGN_CENTER_VERTICAL, 14);

  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->AddStretchSpacer();
  for (const ButtonSpec& b : buttons) {
    auto* button = new wxButton(&box, b.wx_id, wxString(b.label));
    button->Bind(wxEVT_BUTTON, [&box, id = b.wx_id](wxCommandEvent&) { box.EndModal(id); });
    row->Add(button, 0, wxLEFT, 8);
  }
  row->AddStretchSpacer();
  static_cast<wxButton*>(box.FindWindow(buttons.front().wx_id))->SetDefault();
  box.FindWindow(buttons.front().wx_id)->SetFocus();

  // Escape and the close button: Cancel where there is one, OK for a box
  // with only OK; a yes/no box cannot be dismissed that way.
  const UINT kind = type & MB_TYPEMASK;
  const int escape = kind == MB_YESNO ? wxID_NONE
                     : (kind == MB_OKCANCEL || kind == MB_YESNOCANCEL) ? wxID_CANCEL
                                                                         : wxID_OK;
  box.SetEscapeId(escape);
  box.Bind(wxEVT_CLOSE_WINDOW, [&box, escape](wxCloseEvent& e) {
    if (escape == wxID_NONE && e.CanVeto()) {
      e.Veto();
      return;
    }
    box.EndModal(escape == wxID_NONE ? wxID_NO : escape);
  });

  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(top, 1, wxEXPAND);
  all->Add(row, 0, wxEXPAND | wxALL, 10);
  box.SetSizerAndFit(all);
  box.SetMinSize(wxSize(box.FromDIP(240), -1));
  box.Fit();
  OpenOverParent(&box);

  const int pressed = box.ShowModal();
  for (const ButtonSpec& b : buttons)
    if (b.wx_id == pressed) return b.answer;
  return buttons.size() == 1 ? IDOK : IDCANCEL;
}

}  // namespace wxui
