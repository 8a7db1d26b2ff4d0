#include "platform/text/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

const char* IconvName(UINT code_page) {
  switch (code_page) {
    case CP_UTF8:
      return "UTF-8";
    default:  // CP_ACP, CP_OEMCP, 936
      return "CP936";
  }
}

// The conversion descriptors a thread has opened, kept until it ends. Opening
// one loads the code page's module and closing the last one unloads it
// again: per conversion that cost more than most conversions, and on many
// threads at once it kept the loader loading and unloading the module.
class OpenConverters {
 public:
  OpenConverters() = default;
  OpenConverters(const OpenConverters&) = delete;
  OpenConverters& operator=(const OpenConverters&) = delete;
  ~OpenConverters() {
    for (const Open& c : open_) iconv_close(c.cd);
  }
  // A descriptor in its initial state, or (iconv_t)-1.
  iconv_t Get(const char* to, const char* from) {
    for (const Open& c : open_) {
      if (std::strcmp(c.to, to) == 0 && std::strcmp(c.from, from) == 0) {
        iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
        return c.cd;
      }
    }
    iconv_t cd = iconv_open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1)) open_.push_back({to, from, cd});
    return cd;
  }

 private:
  struct Open {
    const char* to;  // static names
    const char* from;
    iconv_t cd;
  };
  std::vector<Open> open_;
};

iconv_t Converter(const char* to, const char* from) {
  thread_local OpenConverters converters;
  return converters.Get(to, from);
}

// Runs one iconv conversion to the end. `on_bad_input` is called for a byte
// sequence that the source cannot decode (one byte is then skipped);
// `on_unmappable` for a character the target lacks.
template <typename Out, typename BadIn, typename Unmappable>
void Convert(iconv_t cd, const char* in, size_t in_len, Out& out, size_t unit,
             BadIn on_bad_input, Unmappable on_unmappable) {
  char buffer[4096];
  char* src = const_cast<char*>(in);
  size_t src_left = in_len;
  while (src_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(reinterpret_cast<const typename Out::value_type*>(buffer),
               static_cast<size_t>(dst - buffer) / unit);
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: either the input is bad or the target lacks it.
    size_t skipped = on_bad_input(src, src_left, out) ? 1 : on_unmappable(src, src_left, out);
    src += skipped;
    src_left -= skipped;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
}

}  // namespace

std::u16string CodePageToUtf16(UINT code_page, std::string_view bytes) {
  std::u16string out;
  iconv_t cd = Converter("UTF-16LE", IconvName(code_page));
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  Convert(
      cd, bytes.data(), bytes.size(), out, 2,
      [](const char*, size_t, std::u16string& o) {
        o.push_back(u'\uFFFD');
        return true;
      },
      [](const char*, size_t, std::u16string&) -> size_t { return 1; });
  return out;
}

std::string Utf16ToCodePage(UINT code_page, std::u16string_view text) {
  std::string out;
  iconv_t cd = Converter(IconvName(code_page), "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  const char* bytes = reinterpret_cast<const char*>(text.data());
  Convert(
      cd, bytes, text.size() * 2, out, 1,
      [](const char*, size_t, std::string&) { return false; },
      [](const char* src, size_t left, std::string& o) -> size_t {
        // A character the target lacks (or a lone surrogate): one "?" for the
        // whole UTF-16 character.
        o.push_back('?');
        if (left >= 4) {
          char16_t hi, lo;
          std::memcpy(&hi, src, 2);
          std::memcpy(&lo, src + 2, 2);
          if (hi >= 0xD800 && hi <= 0xDBFF && lo >= 0xDC00 && lo <= 0xDFFF) return 4;
        }
        return left >= 2 ? 2 : left;
      });
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  return Utf16ToCodePage(CP_UTF8, CodePageToUtf16(CP_GBK, gbk));
}

std::string Utf8ToGbk(std::string_view utf8) {
  return Utf16ToCodePage(CP_GBK, CodePageToUtf16(CP_UTF8, utf8));
}

int MultiByteToWideChar(UINT code_page, DWORD, const char* src, int src_len, WCHAR* dst,
                        int dst_len) {
  if (!src) return 0;
  size_t n = src_len < 0 ? std::strlen(src) + 1 : static_cast<size_t>(src_len);
  std::u16string wide = CodePageToUtf16(code_page, std::string_view(src, n));
  if (dst_len == 0) return static_cast<int>(wide.size());
  if (!dst || wide.size() > static_cast<size_t>(dst_len)) return 0;
  std::memcpy(dst, wide.data(), wide.size() * sizeof(WCHAR));
  return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT code_page, DWORD, const WCHAR* src, int src_len, char* dst,
                        int dst_len, const char*, BOOL* used_default) {
  if (!src) return 0;
  size_t n = 0;
  if (src_len < 0) {
    while (src[n]) ++n;
    ++n;
  } else {
    n = static_cast<size_t>(src_len);
  }
  std::string bytes = Utf16ToCodePage(code_page, std::u16string_view(src, n));
  if (used_default) *used_default = FALSE;
  if (dst_len == 0) return static_cast<int>(bytes.size());
  if (!dst || bytes.size() > static_cast<size_t>(dst_len)) return 0;
  std::memcpy(dst, bytes.data(), bytes.size());
  return static_cast<int>(bytes.size());
}
