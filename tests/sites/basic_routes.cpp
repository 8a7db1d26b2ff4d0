#include "tests/sites/basic_routes.h"

#include <cstdio>

namespace sites {

const char* const kBasicChineseText = "卖家中心：宝贝查询，当当网价格35.00元";
const char* const kBasicErrorPage = "<html><body>错误 %d：页面不存在</body></html>\n";

namespace {

// The same text as kBasicChineseText, as UTF-8 bytes (u8 literals keep their
// encoding whatever the narrow execution character set is).
const char8_t kChineseUtf8[] = u8"卖家中心：宝贝查询，当当网价格35.00元";

std::string Utf8Sample() { return std::string(reinterpret_cast<const char*>(kChineseUtf8)); }

// "market.localhost" for "www.market.localhost:8080"; empty for an address
// or a single name, which cannot carry a domain cookie.
std::string ParentDomain(const std::string& host_header) {
  std::string host = host_header.substr(0, host_header.rfind(':'));
  if (host.find_first_not_of("0123456789.") == std::string::npos) return std::string();
  size_t dot = host.find('.');
  if (dot == std::string::npos || host.find('.', dot + 1) == std::string::npos)
    return std::string();
  return host.substr(dot + 1);
}

size_t SizeParam(const httplib::Request& request, const char* name, size_t fallback) {
  if (!request.has_param(name)) return fallback;
  return static_cast<size_t>(std::strtoull(request.get_param_value(name).c_str(), nullptr, 10));
}

}  // namespace

std::string BigBody(size_t size) {
  std::string body;
  body.reserve(size);
  for (size_t i = 0; body.size() < size; ++i) body += static_cast<char>('a' + i % 26);
  return body;
}

void AddBasicRoutes(SiteServer& server) {
  server.Route("ANY", "/basic/lines-lf", [](const SiteRequest&, httplib::Response& response) {
    response.set_content("alpha\nbeta\ngamma", "text/plain");
  });
  server.Route("ANY", "/basic/lines-crlf", [](const SiteRequest&, httplib::Response& response) {
    response.set_content("alpha\r\nbeta\r\n", "text/plain");
  });
  server.Route("ANY", "/basic/gbk", [](const SiteRequest&, httplib::Response& response) {
    response.set_content(std::string("<html><body>") + kBasicChineseText + "</body></html>\n",
                         "text/html; charset=gbk");
  });
  server.Route("ANY", "/basic/utf8", [](const SiteRequest&, httplib::Response& response) {
    response.set_content("<html><body>" + Utf8Sample() + "</body></html>\n",
                         "text/html; charset=utf-8");
  });
  server.Route("ANY", "/basic/empty", [](const SiteRequest&, httplib::Response& response) {
    response.set_content("", "text/plain");
  });
  server.Route("ANY", "/basic/zero", [](const SiteRequest&, httplib::Response& response) {
    response.set_content(std::string("before\0after", 12), "text/plain");
  });
  server.Route("ANY", "/basic/hex", [](const SiteRequest& request, httplib::Response& response) {
    std::string hex = request.http.get_param_value("b"), bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    response.set_content(bytes, "application/octet-stream");
  });
  server.Route("ANY", "/basic/big", [](const SiteRequest& request, httplib::Response& response) {
    response.set_content(BigBody(SizeParam(request.http, "n", 5000)), "text/plain");
  });
  server.Route("ANY", "/basic/status/([0-9]{3})",
               [](const SiteRequest& request, httplib::Response& response) {
                 int status = std::atoi(request.match[1].c_str());
                 char page[256];
                 std::snprintf(page, sizeof(page), kBasicErrorPage, status);
                 response.status = status;
                 response.set_content(page, "text/html; charset=gbk");
               });
  server.Route("ANY", "/basic/redirect", [](const SiteRequest& request, httplib::Response& response) {
    std::string target = request.http.has_param("to") ? request.http.get_param_value("to")
                                                      : std::string("/basic/lines-lf");
    response.status = 302;
    response.set_header("Location", target);
    response.set_content("moved", "text/plain");
  });
  server.Route("ANY", "/basic/echo", [](const SiteRequest& request, httplib::Response& response) {
    response.set_content(request.raw_head + request.http.body, "text/plain");
  });
  server.Route("ANY", "/basic/cookies", [](const SiteRequest& request, httplib::Response& response) {
    response.set_content(request.RawHeader("Cookie"), "text/plain");
  });
  server.Route("ANY", "/basic/setcookie", [](const SiteRequest& request, httplib::Response& response) {
    const httplib::Request& http = request.http;
    if (http.has_param("name")) {
      std::string cookie = http.get_param_value("name") + "=" + http.get_param_value("value") +
                           "; Path=/";
      if (http.has_param("httponly")) cookie += "; HttpOnly";
      if (http.has_param("domain")) cookie += "; Domain=" + http.get_param_value("domain");
      response.set_header("Set-Cookie", cookie);
    } else {
      response.set_header("Set-Cookie", "site_session=s1; Path=/");
      response.set_header("Set-Cookie", "site_secret=s2; Path=/; HttpOnly");
      std::string domain = ParentDomain(http.get_header_value("Host"));
      response.set_header("Set-Cookie",
                          "site_wide=s3; Path=/" + (domain.empty() ? "" : "; Domain=" + domain));
    }
    response.set_content("cookies set", "text/plain");
  });
  server.Route("ANY", "/basic/delay",
               [&server](const SiteRequest& request, httplib::Response& response) {
                 auto wait = std::chrono::milliseconds(SizeParam(request.http, "ms", 100));
                 if (!server.SleepFor(wait)) return;
                 response.set_content("delayed\n" + BigBody(SizeParam(request.http, "size", 0)),
                                      "text/plain");
               });
  server.Route("ANY", "/basic/cut", [](const SiteRequest&, httplib::Response& response) {
    auto body = std::make_shared<std::string>();
    for (int i = 0; i < 400; ++i) {
      char line[16];
      std::snprintf(line, sizeof(line), "line %04d\n", i);
      *body += line;
    }
    response.set_content_provider(body->size(), "text/plain",
                                  [body](size_t offset, size_t, httplib::DataSink& sink) {
                                    size_t half = body->size() / 2;
                                    if (offset >= half) return false;
                                    sink.write(body->data() + offset, half - offset);
                                    return true;
                                  });
  });
  server.Route("ANY", "/basic/trickle",
               [&server](const SiteRequest& request, httplib::Response& response) {
                 auto pause = std::chrono::milliseconds(SizeParam(request.http, "ms", 100));
                 response.set_chunked_content_provider(
                     "text/plain", [&server, pause](size_t, httplib::DataSink& sink) {
                       return server.SleepFor(pause) && sink.write("x", 1);
                     });
               });
  server.Route("ANY", "/basic/longheader",
               [](const SiteRequest& request, httplib::Response& response) {
                 response.set_header("X-Long", std::string(SizeParam(request.http, "n", 0), 'h'));
                 response.set_content("short body", "text/plain");
               });
  server.Route("ANY", "/basic/never", [&server](const SiteRequest&, httplib::Response& response) {
    server.SleepFor(std::chrono::hours(24));
    response.set_content("too late", "text/plain");
  });
}

}  // namespace sites
