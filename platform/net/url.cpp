#include <cctype>
#include <string>
#include <string_view>

#include "platform/net/internet.h"
#include "platform/text/ascii.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool ValidScheme(std::string_view scheme) {
  if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0]))) return false;
  for (char c : scheme) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
      return false;
  }
  return true;
}

}  // namespace

BOOL AfxParseURL(LPCSTR url, DWORD& service_type, CString& server, CString& object,
                 INTERNET_PORT& port) {
  service_type = AFX_INET_SERVICE_UNK;
  server.Empty();
  object.Empty();
  port = INTERNET_INVALID_PORT_NUMBER;
  if (!url) return FALSE;

  std::string_view text(url);
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

  size_t separator = text.find("://");
  if (separator == std::string_view::npos) return FALSE;
  std::string scheme(text.substr(0, separator));
  if (!ValidScheme(scheme)) return FALSE;
  scheme = AsciiLower(std::move(scheme));

  DWORD type = AFX_INET_SERVICE_UNK;
  INTERNET_PORT default_port = INTERNET_INVALID_PORT_NUMBER;
  if (scheme == "http") {
    type = AFX_INET_SERVICE_HTTP;
    default_port = INTERNET_DEFAULT_HTTP_PORT;
  } else if (scheme == "https") {
    type = AFX_INET_SERVICE_HTTPS;
    default_port = INTERNET_DEFAULT_HTTPS_PORT;
  } else if (scheme == "ftp") {
    type = AFX_INET_SERVICE_FTP;
    default_port = INTERNET_DEFAULT_FTP_PORT;
  } else if (scheme == "gopher") {
    type = AFX_INET_SERVICE_GOPHER;
    default_port = 70;
  } else if (scheme == "file") {
    type = AFX_INET_SERVICE_FILE;
  }

  std::string_view rest = text.substr(separator + 3);
  size_t path_start = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, path_start);
  std::string_view path =
      path_start == std::string_view::npos ? std::string_view() : rest.substr(path_start);

  size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);

  std::string_view host = authority;
  std::string_view port_text;
  if (!authority.empty() && authority.front() == '[') {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return FALSE;
    host = authority.substr(1, close - 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return FALSE;
      port_text = after.substr(1);
    }
  } else {
    size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port_text = authority.substr(colon + 1);
    }
  }
  if (host.empty() && type != AFX_INET_SERVICE_FILE) return FALSE;

  INTERNET_PORT number = default_port;
  if (!port_text.empty()) {
    if (port_text.size() > 5) return FALSE;
    unsigned value = 0;
    for (char c : port_text) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return FALSE;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return FALSE;
    number = static_cast<INTERNET_PORT>(value);
  }

  std::string object_text(path);
  if (object_text.empty() || object_text.front() != '/') object_text.insert(object_text.begin(), '/');

  service_type = type;
  server = CString(std::string(host));
  object = CString(object_text);
  port = number;
  return TRUE;
}
