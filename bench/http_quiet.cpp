// Pages per second through HttpGetQuiet with a number of threads (15, as the
// sync producers run) against the local site, each reply held back by a fixed
// delay; printed beside the bound the delay sets (threads / delay).
//
//   bench_http_quiet [--threads N] [--delay-ms N] [--seconds N] [--scheme http|https]
//                    [--size BYTES]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "services/http.h"
#include "tests/sites/basic_routes.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/site_server.h"

int main(int argc, char** argv) {
  int threads = 15;
  int delay_ms = 100;
  double seconds = 10;
  int size = 20000;
  std::string scheme = "http";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--threads") threads = std::atoi(argv[i + 1]);
    else if (name == "--delay-ms") delay_ms = std::atoi(argv[i + 1]);
    else if (name == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (name == "--scheme") scheme = argv[i + 1];
    else if (name == "--size") size = std::atoi(argv[i + 1]);
  }

  sites::SiteServer server;
  sites::AddBasicRoutes(server);
  sites::TestProgramFolder folder;
  sites::WriteHostsIni(folder, server);
  CString url = server.Url(scheme, "/basic/delay?ms=" + std::to_string(delay_ms) +
                                       "&size=" + std::to_string(size)).c_str();

  std::atomic<bool> stop{false};
  std::atomic<long> pages{0}, empty{0};
  std::vector<std::thread> workers;
  auto started = std::chrono::steady_clock::now();
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      while (!stop.load()) {
        CString page = HttpGetQuiet(url);
        if (stop.load()) break;  // a page that ends after the window is not counted
        if (page.IsEmpty()) ++empty;
        else ++pages;
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  for (std::thread& worker : workers) worker.join();

  double rate = pages.load() / elapsed;
  double bound = threads / (delay_ms / 1000.0);
  std::printf("HttpGetQuiet over %s: %d threads, %d ms delay per reply, %d-byte pages, %.1f s\n",
              scheme.c_str(), threads, delay_ms, size, elapsed);
  std::printf("pages: %ld (failed: %ld)\n", pages.load(), empty.load());
  std::printf("pages per second: %.1f   bound (threads / delay): %.1f   ratio: %.3f\n", rate,
              bound, rate / bound);
  return empty.load() == 0 ? 0 : 1;
}
