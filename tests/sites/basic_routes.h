#pragma once
// General pages of the local sites, under "/basic/", for the tests of the
// internet layer and the request functions. Every page answers GET and POST.
//
//   /basic/lines-lf       "alpha\nbeta\ngamma" (no final LF)
//   /basic/lines-crlf     "alpha\r\nbeta\r\n"
//   /basic/gbk            kBasicChineseText in GBK, charset=gbk
//   /basic/utf8           kBasicChineseText in UTF-8, charset=utf-8
//   /basic/empty          an empty 200 reply
//   /basic/zero           "before" NUL "after"
//   /basic/hex?b=HEX      the bytes that HEX spells ("41ff" gives "A\xff")
//   /basic/big?n=N        N bytes (default 5000) of a repeating pattern, see BigBody
//   /basic/status/NNN     that status with kBasicErrorPage
//   /basic/redirect?to=P  302 to P (a path or a full address)
//   /basic/echo           the request's raw head followed by its body
//   /basic/cookies        the Cookie header as sent (empty when none)
//   /basic/setcookie      sets site_session=s1, site_secret=s2 (HttpOnly) and, on a
//                         named host, site_wide=s3 for the host's parent domain;
//                         ?name=N&value=V[&httponly=1][&domain=D] sets only that one
//   /basic/delay?ms=N     replies "delayed" (and ?size=N bytes of filler) after N ms
//   /basic/cut            promises 4000 bytes of "line NNNN\n" lines, sends half, hangs up
//   /basic/never          never replies (until the server stops)
//   /basic/trickle?ms=N   a chunked body of one "x" every N ms, until the server stops
//   /basic/longheader?n=N "short body" under a header line "X-Long: " with N bytes
#include <string>

#include "tests/sites/site_server.h"

namespace sites {

// The Chinese sample text of /basic/gbk and /basic/utf8, as GBK bytes.
extern const char* const kBasicChineseText;
// The body of /basic/status/NNN pages, as GBK bytes ("%d" is the status).
extern const char* const kBasicErrorPage;

// The body of /basic/big?n=N.
std::string BigBody(size_t size);

void AddBasicRoutes(SiteServer& server);

}  // namespace sites
