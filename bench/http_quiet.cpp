// Pages per second through HttpGetQuiet with a number of threads (15, as the
// sync producers run) against the local site, each reply held back by a fixed
// delay (0: none), side by side with a plain libcurl loop that reuses one
// handle per thread for the same page. Printed: pages per second, the
// client threads' CPU time per page, the ratios of the two, and with a delay
// the bound it sets (threads / delay).
//
//   bench_http_quiet [--threads N] [--delay-ms N] [--seconds N] [--scheme http|https]
//                    [--size BYTES] [--client both|quiet|curl]
#include <curl/curl.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "services/http.h"
#include "tests/sites/basic_routes.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/site_server.h"

namespace {

struct Figures {
  long pages = 0;
  long failed = 0;
  double seconds = 0;
  double cpu_seconds = 0;  // of the client threads

  double Rate() const { return pages / seconds; }
  double CpuMicrosPerPage() const { return pages ? cpu_seconds * 1e6 / pages : 0; }
};

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// Runs `fetch` (true for a whole page) on `threads` threads for `seconds`.
Figures Run(int threads, double seconds, const std::function<std::function<bool()>()>& make_fetch) {
  std::atomic<bool> stop{false};
  std::atomic<long> pages{0}, failed{0};
  std::atomic<long long> cpu_ns{0};
  std::vector<std::thread> workers;
  auto started = std::chrono::steady_clock::now();
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      double cpu_start = ThreadCpuSeconds();
      std::function<bool()> fetch = make_fetch();
      while (!stop.load()) {
        bool whole = fetch();
        if (stop.load()) break;  // a page that ends after the window is not counted
        if (whole) ++pages;
        else ++failed;
      }
      cpu_ns += static_cast<long long>((ThreadCpuSeconds() - cpu_start) * 1e9);
    });
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  Figures figures;
  figures.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  for (std::thread& worker : workers) worker.join();
  figures.pages = pages.load();
  figures.failed = failed.load();
  figures.cpu_seconds = cpu_ns.load() / 1e9;
  return figures;
}

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void Print(const char* name, const Figures& f) {
  std::printf("%-14s pages: %7ld (failed: %ld)  pages per second: %9.1f  client CPU per page: %7.1f us\n",
              name, f.pages, f.failed, f.Rate(), f.CpuMicrosPerPage());
}

}  // namespace

int main(int argc, char** argv) {
  int threads = 15;
  int delay_ms = 100;
  double seconds = 10;
  int size = 20000;
  std::string scheme = "http";
  std::string client = "both";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--threads") threads = std::atoi(argv[i + 1]);
    else if (name == "--delay-ms") delay_ms = std::atoi(argv[i + 1]);
    else if (name == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (name == "--scheme") scheme = argv[i + 1];
    else if (name == "--size") size = std::atoi(argv[i + 1]);
    else if (name == "--client") client = argv[i + 1];
  }

  sites::SiteServer server;
  sites::AddBasicRoutes(server);
  sites::TestProgramFolder folder;
  sites::WriteHostsIni(folder, server);
  std::string url = server.Url(scheme, "/basic/delay?ms=" + std::to_string(delay_ms) +
                                           "&size=" + std::to_string(size));
  // "delayed\n" and the filler, each line given back with CR LF.
  const size_t quiet_length = 9 + (size > 0 ? size + 2 : 0);
  const size_t plain_length = 8 + static_cast<size_t>(size);

  std::printf("over %s: %d threads, %d ms delay per reply, %d-byte pages, %.1f s each\n",
              scheme.c_str(), threads, delay_ms, size, seconds);
  Figures quiet, plain;
  if (client != "curl") {
    CString address = url.c_str();
    quiet = Run(threads, seconds, [&] {
      return std::function<bool()>(
          [&] { return static_cast<size_t>(HttpGetQuiet(address).GetLength()) == quiet_length; });
    });
    Print("HttpGetQuiet", quiet);
  }
  if (client != "quiet") {
    plain = Run(threads, seconds, [&] {
      // One handle per thread, kept for every request: its connection and TLS
      // session stay open between pages.
      auto handle = std::shared_ptr<CURL>(curl_easy_init(), curl_easy_cleanup);
      auto body = std::make_shared<std::string>();
      curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
      curl_easy_setopt(handle.get(), CURLOPT_CAINFO, sites::TestCaFile().c_str());
      curl_easy_setopt(handle.get(), CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, Append);
      curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, body.get());
      return std::function<bool()>([handle, body, plain_length] {
        body->clear();
        return curl_easy_perform(handle.get()) == CURLE_OK && body->size() == plain_length;
      });
    });
    Print("plain libcurl", plain);
  }
  if (client == "both" && plain.pages && quiet.pages) {
    std::printf("HttpGetQuiet / plain libcurl: rate %.3f, CPU per page %.2f\n",
                quiet.Rate() / plain.Rate(), quiet.CpuMicrosPerPage() / plain.CpuMicrosPerPage());
  }
  if (delay_ms > 0) {
    double bound = threads / (delay_ms / 1000.0);
    std::printf("bound (threads / delay): %.1f pages per second", bound);
    if (quiet.pages) std::printf("; HttpGetQuiet %.3f of it", quiet.Rate() / bound);
    if (plain.pages) std::printf(", plain libcurl %.3f", plain.Rate() / bound);
    std::printf("\n");
  }
  return quiet.failed == 0 && plain.failed == 0 ? 0 : 1;
}
