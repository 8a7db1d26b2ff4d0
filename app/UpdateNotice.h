#pragma once
// The maker's notice: the entry of the notice page that names this program
// gives the main window's banner text and link. UI thread (one blocking GET).
#include <boost/regex.hpp>

#include "platform/text/CString.h"

// Fetches the notice page (key NoticeUrl of the HOSTS settings; none when it
// is empty) and picks its entry for g_SoftName into `text` and `link`, which
// keep their values when nothing matches. Always returns false. A page that
// cannot be fetched throws CInternetException* to the caller, its text
// naming the notice page and its host.
bool CheckUpdateNotice(CString name, CString& text, CString& link);

// Walks the matches of `pattern` over `page`, each search starting behind the
// previous whole match. A match counts when its whole text contains
// g_SoftName: a non-empty group 2 becomes `link`; a non-empty group 3 becomes
// `text` and ends the walk. Returns an empty text.
CString FindUpdateEntry(CString page, CString name, CString& text, CString& link,
                        boost::regex pattern);
