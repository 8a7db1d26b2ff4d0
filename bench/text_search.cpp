// CString's searches over large page texts: Replace of every "items" key (as
// the category tree marks its chunks) and a Find walk that passes each hit's
// end as the next start, over texts of 1, 4 and 16 MiB. Time per MiB should
// stay flat as the text grows.
//
//   bench_text_search [--mib 1,4,16] [--runs 3]
//
// Texts: "reply", a category reply (JSON with Chinese names in GBK); "gbk",
// nothing but double-byte characters, so that every search start follows a
// run of them reaching back to the text's start.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text/CString.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ReplyText(size_t bytes) {
  // "儿童文学" and "中国历史" in GBK; the second has a trail byte 0x41 nowhere,
  // but "\x81\x41" below does: a character whose trail byte is 'A'.
  const std::string entry =
      "{\"text\":\"\xB6\xF9\xCD\xAF\xCE\xC4\xD1\xA7\",\"value\":\"50010\",\"items\":[{\"text\":"
      "\"\xD6\xD0\xB9\xFA\xC0\xFA\xCA\xB7\x81\x41\",\"value\":\"50011\",\"items\":[]}]},";
  std::string text;
  text.reserve(bytes + entry.size());
  while (text.size() < bytes) text += entry;
  return text;
}

std::string GbkText(size_t bytes) {
  const std::string chars = "\xCA\xE9\xB5\xEA\xB1\xA6\xB1\xB4\xBC\xDB\xB8\xF1";  // 书店宝贝价格
  std::string text;
  text.reserve(bytes + chars.size());
  while (text.size() < bytes) text += chars;
  return text;
}

template <typename Fn>
double BestSeconds(int runs, Fn fn) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const auto started = Clock::now();
    fn();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - started).count());
  }
  return best;
}

int FindWalk(const CString& text, const char* needle) {
  int hits = 0;
  const int step = static_cast<int>(std::char_traits<char>::length(needle));
  for (int at = text.Find(needle); at >= 0; at = text.Find(needle, at + step)) ++hits;
  return hits;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes = {1, 4, 16};
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
    if (name == "--mib" && i + 1 < argc) {
      sizes.clear();
      for (const char* p = argv[++i]; *p;) {
        char* end = nullptr;
        sizes.push_back(static_cast<int>(std::strtol(p, &end, 10)));
        p = *end ? end + 1 : end;
      }
    }
  }

  std::printf("%-6s %-34s %5s %10s %10s %10s\n", "text", "operation", "MiB", "hits", "ms",
              "ms/MiB");
  for (int mib : sizes) {
    const size_t bytes = static_cast<size_t>(mib) << 20;
    const CString reply(ReplyText(bytes));
    const CString gbk(GbkText(bytes));
    auto report = [&](const char* text, const char* operation, int hits, double seconds) {
      std::printf("%-6s %-34s %5d %10d %10.1f %10.2f\n", text, operation, mib, hits,
                  seconds * 1e3, seconds * 1e3 / mib);
    };

    int hits = 0;
    double s = BestSeconds(runs, [&] {
      CString copy = reply;
      hits = copy.Replace("items", "itemsCaoTaMa");
    });
    report("reply", "Replace(\"items\", \"itemsCaoTaMa\")", hits, s);

    s = BestSeconds(runs, [&] { hits = FindWalk(reply, "items"); });
    report("reply", "Find walk \"items\"", hits, s);

    s = BestSeconds(runs, [&] { hits = FindWalk(reply, "\xCE\xC4\xD1\xA7"); });  // 文学
    report("reply", "Find walk (two characters)", hits, s);

    s = BestSeconds(runs, [&] {
      CString copy = gbk;
      hits = copy.Replace("\xB1\xA6", "\xB1\xA6\xB1\xB4");
    });
    report("gbk", "Replace(one character, two)", hits, s);

    s = BestSeconds(runs, [&] { hits = FindWalk(gbk, "\xB1\xA6"); });  // 宝
    report("gbk", "Find walk (one character)", hits, s);
  }
  return 0;
}
