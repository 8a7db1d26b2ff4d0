#include "services/text_services.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/file/file.h"
#include "platform/text/ascii.h"
#include "platform/text/codepage.h"

CString g_DataDirName = "\\Data\\";

boost::regex MakeRegex(CString pattern) {
  return boost::regex(pattern.GetString(), boost::regex::icase);
}

bool RegexSearch(const char* first, const char* last, boost::cmatch& match,
                 const boost::regex& pattern, boost::match_flag_type flags) {
  try {
    return boost::regex_search(first, last, match, pattern, flags);
  } catch (const std::runtime_error&) {
    // The library's "too complex" and "out of stack" errors.
    return false;
  }
}

namespace {

CString Group(const boost::cmatch& match, size_t i) {
  if (!match[i].matched) return CString();
  return CString(std::string(match[i].first, match[i].second));
}

}  // namespace

CString RegexFirst(CString& text, boost::regex pattern) {
  CString found;
  WalkMatches(text.str(), pattern, [&](const boost::cmatch& match) {
    for (size_t i = 1; i < match.size(); ++i) {
      found = Group(match, i);
      if (!found.IsEmpty()) return false;
    }
    return true;
  });
  return found;
}

CStringArray* RegexAllToArray(CString& text, boost::regex pattern) {
  auto* all = new CStringArray;
  try {
    WalkMatches(text.str(), pattern, [&](const boost::cmatch& match) {
      for (size_t i = 1; i < match.size(); ++i) {
        CString group = Group(match, i);
        if (!group.IsEmpty()) all->Add(group);
      }
      return true;
    });
  } catch (...) {
    delete all;
    throw;
  }
  return all;
}

CString ConvertCodePage(CString text, UINT from_code_page, UINT to_code_page) {
  // Up to the first zero byte, as a zero-terminated conversion goes.
  std::u16string wide = CodePageToUtf16(from_code_page, std::string_view(text.GetString()));
  std::string out = Utf16ToCodePage(to_code_page, wide);
  return CString(std::string(out.c_str()));
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void WalkUnicodeEscapes(const CString& text, const std::function<void(std::string_view)>& plain,
                        const std::function<void(char16_t)>& unit) {
  const std::string_view bytes = text.str();
  const int length = text.GetLength();
  int pos = 0;
  while (pos < length) {
    const int slash = text.Find('\\', pos);
    if (slash < 0) {
      plain(bytes.substr(static_cast<size_t>(pos)));
      break;
    }
    if (slash > pos) plain(bytes.substr(static_cast<size_t>(pos), static_cast<size_t>(slash - pos)));
    pos = slash;
    if (pos + 5 < length && (text[pos + 1] == 'u' || text[pos + 1] == 'U')) {
      int d[4];
      for (int i = 0; i < 4; ++i) d[i] = HexDigit(text[pos + 2 + i]);
      if (d[0] >= 0 && d[1] >= 0 && d[2] >= 0 && d[3] >= 0) {
        unit(static_cast<char16_t>((d[0] << 12) | (d[1] << 8) | (d[2] << 4) | d[3]));
        pos += 6;
        continue;
      }
    }
    plain("\\");
    pos += 1;
  }
}

CString UnescapeUnicode(const char* text) {
  std::string result;
  WalkUnicodeEscapes(
      CString(text ? text : ""), [&](std::string_view run) { result += run; },
      [&](char16_t unit) {
        // Each escape on its own: the halves of a surrogate pair stay apart.
        // All of it: "\u0000" gives a zero byte, which a caller that names a
        // file after the text must be able to see.
        result += Utf16ToCodePage(CP_ACP, std::u16string_view(&unit, 1));
      });
  return CString(std::move(result));
}

WCHAR* AnsiToWide(const char* text) {
  if (!text) return nullptr;
  int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (units <= 0) return nullptr;
  auto* wide = static_cast<WCHAR*>(std::calloc(static_cast<size_t>(units) * 2, sizeof(WCHAR)));
  if (!wide) return nullptr;
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, units * 2) <= 0) {
    std::free(wide);
    return nullptr;
  }
  return wide;
}

void Utf8ToAnsi(CString& text) {
  std::string ansi = Utf16ToCodePage(CP_ACP, CodePageToUtf16(CP_UTF8, text.GetString()));
  text = ansi.c_str();
}

namespace {

// Follows the parser through one JSON value and judges its top-level
// "success" members as the parser meets them: a DOM would keep only the last
// of two members of the same name.
class SuccessMembers final : public nlohmann::json_sax<nlohmann::json> {
 public:
  bool IsObject() const { return object_; }
  bool AllSayTrue() const { return all_true_; }

  bool null() override { return Value(false); }
  bool boolean(bool value) override { return Value(value); }
  bool number_integer(number_integer_t) override { return Value(false); }
  bool number_unsigned(number_unsigned_t) override { return Value(false); }
  bool number_float(number_float_t, const string_t&) override { return Value(false); }
  bool string(string_t& value) override { return Value(value == "true"); }
  bool binary(binary_t&) override { return Value(false); }
  bool start_object(std::size_t) override {
    if (depth_ == 0) object_ = true;
    return Enter();
  }
  bool key(string_t& name) override {
    success_next_ = depth_ == 1 && AsciiLower(name) == "success";
    return true;
  }
  bool end_object() override { return Leave(); }
  bool start_array(std::size_t) override { return Enter(); }
  bool end_array() override { return Leave(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;  // ends the parse without an exception
  }

 private:
  // A value begins; it is a "success" member's when the key before it was one.
  bool Value(bool says_true) {
    if (success_next_) all_true_ = all_true_ && says_true;
    success_next_ = false;
    return true;
  }
  bool Enter() {
    Value(false);  // an object or array is no success
    ++depth_;
    return true;
  }
  bool Leave() {
    --depth_;
    return true;
  }

  int depth_ = 0;
  bool object_ = false;
  bool success_next_ = false;
  bool all_true_ = true;
};

constexpr std::string_view kJsonSpace = " \t\r\n";

std::string_view TrimJsonSpace(std::string_view text) {
  const size_t first = text.find_first_not_of(kJsonSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kJsonSpace) - first + 1);
}

}  // namespace

bool JsonAnswerSucceeded(std::string_view answer) {
  // White space and the mark are the same bytes in either code page and are
  // set aside before the code page is chosen: the mark's bytes read as GBK
  // would swallow the "{" behind them. The parser skips a mark of its own at
  // the start, so a second one is refused here.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  std::string_view bytes = TrimJsonSpace(answer);
  if (bytes.substr(0, kBom.size()) == kBom) bytes = TrimJsonSpace(bytes.substr(kBom.size()));
  if (bytes.substr(0, kBom.size()) == kBom) return false;
  // The parser takes a zero byte for the end of the text and would judge
  // only what stands before it. In valid JSON there is none, in a string or
  // outside, and in neither code page is it part of another character.
  if (bytes.find('\0') != std::string_view::npos) return false;
  // Valid UTF-8 comes back from the round trip unchanged. Other bytes are
  // the ANSI code page's, read as such: a GBK character whose second byte is
  // 0x5C stays one character and escapes no quote.
  const bool is_utf8 = Utf16ToCodePage(CP_UTF8, CodePageToUtf16(CP_UTF8, bytes)) == bytes;
  const std::string text = is_utf8 ? std::string(bytes) : GbkToUtf8(bytes);
  SuccessMembers members;
  try {
    if (!nlohmann::json::sax_parse(text.begin(), text.end(), &members)) return false;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
  return members.IsObject() && members.AllSayTrue();
}

CString GetAppDir() {
  // A buffer that holds any path the system allows, so that a deep program
  // folder is never cut into a wrong one.
  char path[PATH_MAX + 1] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  CString dir(path);
  int slash = dir.ReverseFind('\\');
  if (slash < 0) return CString();
  return dir.Left(slash);
}

CString GetDataDir() { return GetAppDir() + g_DataDirName; }

CString GetSystemIniPath() { return GetAppDir() + g_DataDirName + "system.ini"; }

void WriteLog(CString text) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);

  char day[48];
  std::snprintf(day, sizeof day, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);
  CString path = GetAppDir() + "/Log/" + day + ".txt";

  CFile file;
  if (!file.Open(path, CFile::modeWrite | CFile::shareExclusive))
    file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
  // Throws the file exception when neither open succeeded (no Log folder).
  file.SeekToEnd();

  // "--%Y年%m月%d日 %X\r\n\r\n" with %X as the C locale gives it (HH:MM:SS),
  // built by hand so that a locale set elsewhere cannot change the bytes.
  char stamp[160];
  std::snprintf(stamp, sizeof stamp, "--%d年%02d月%02d日 %02d:%02d:%02d\r\n\r\n",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec);

  file.Write(text.GetString(), static_cast<UINT>(text.GetLength()) + 1);
  file.Write(stamp, static_cast<UINT>(std::strlen(stamp) + 1));
  file.Close();
}
