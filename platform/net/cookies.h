#pragma once
// The process-wide cookie store that every request of platform/net/internet.h
// reads and fills, and that the sign-in browser hands its cookies to.
// Thread-safe: the store is locked inside for each call.
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

constexpr DWORD INTERNET_COOKIE_HTTPONLY = 0x00002000;

// Sets cookies for the host of `url` (host only, path "/", for the session).
// `name` null or empty: `data` is a cookie text "a=1; b=2" and each pair is
// one cookie; otherwise the cookie is `name`=`data`. FALSE for a URL without
// a host, for a text without a cookie, or when the store does not keep one of
// them (a "__Secure-" or "__Host-" cookie, which needs the secure flag that
// this call cannot give).
BOOL InternetSetCookieA(LPCSTR url, LPCSTR name, LPCSTR data);

// Every cookie that a request to `url` would carry, as "a=1; b=2" (longest
// path first), HttpOnly ones only with INTERNET_COOKIE_HTTPONLY in `flags`;
// only those called `name` when it is given. `*size` is the buffer's size in
// bytes; on return the text's length with its zero. FALSE, with `data` left
// as it was, when the text does not fit (last error
// ERROR_INSUFFICIENT_BUFFER) or when no cookie matches (ERROR_NO_MORE_ITEMS).
// `data` null asks for the size only.
BOOL InternetGetCookieExA(LPCSTR url, LPCSTR name, LPSTR data, DWORD* size, DWORD flags,
                          LPVOID reserved);

struct CookieRecord {
  std::string name;
  std::string value;
  // "www.example.com": that host only; ".example.com": example.com and every
  // host under it.
  std::string domain;
  std::string path = "/";
  bool secure = false;
  bool http_only = false;
  long long expires = 0;  // seconds since 1970; 0 for a session cookie
};

// The name=value pairs of a cookie text "a=1; b=2" as records, blanks
// around names and values dropped; a piece without "=" or without a name is
// skipped. Domain and path are left for the caller to set.
std::vector<CookieRecord> ParseCookieText(std::string_view text);

// Puts one cookie into the store, replacing one of the same name, domain and
// path. FALSE when the record cannot be a cookie (no name or domain, control
// characters) or the store does not keep it (a "__Secure-" or "__Host-" one
// without the secure flag). For the sign-in browser.
bool AddCookieToStore(const CookieRecord& cookie);

// Every cookie in the store, expired ones left out.
std::vector<CookieRecord> ListCookieStore();

// Puts the name=value pairs of a cookie text into the store as cookies of
// `domain` (path "/", for the session), once per change: while the text and
// the domain stay what they were at the last call and the store has not been
// emptied since, nothing is set again, so a value that a reply has changed
// since stays. An empty text sets nothing.
void SetCookieTextOnce(const std::string& domain, const std::string& text);

// Empties the store.
void ClearCookieStore();
