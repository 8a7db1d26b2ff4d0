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

wxPoint CentredOverParent(const wxTopLevelWindow* window) {
  wxWindow* owner = window->GetParent() != nullptr ? wxGetTopLevelParent(window->GetParent()) : nullptr;
  if (owner != nullptr && !owner->IsShownOnScreen()) owner = nullptr;
  const int display = owner != nullptr ? wxDisplay::GetFromWindow(owner) : wxNOT_FOUND;
  const wxRect area = display != wxNOT_FOUND ? wxDisplay(static_cast<unsigned>(display)).GetClientArea()
                                             : WorkArea();
  const wxRect over = owner != nullptr ? owner->GetScreenRect() : area;
  const wxSize size = window->GetSize();
  const int x = over.x + (over.width - size.x) / 2;
  const int y = over.y + (over.height - size.y) / 2;
  return wxPoint(std::clamp(x, area.x, std::max(area.x, area.GetRight() + 1 - size.x)),
                 std::clamp(y, area.y, std::max(area.y, area.GetBottom() + 1 - size.y)));
}

// Once only: a window the user moved and then restored from the task bar
// stays where it was put.
gboolean OnMapped(GtkWidget* widget, GdkEvent*, gpointer data) {
  g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(&OnMapped), data);
  auto* window = static_cast<wxTopLevelWindow*>(data);
  window->Move(CentredOverParent(window));
  gtk_window_present(GTK_WINDOW(widget));
  return FALSE;
}

}  // namespace

void OpenOverParent(wxTopLevelWindow* window) {
  window->Move(CentredOverParent(window));
  g_signal_connect(window->GetHandle(), "map-event", G_CALLBACK(OnMapped), window);
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
