#pragma once
// The province list file Data\地区.txt: one line per province of the Dangdang
// stock check, "code,name,TRUE|FALSE" and CR LF, GBK bytes. The pricing page
// loads it into its province list (g_RegionList) at start and writes the
// list back on "确定". UI thread.
#include <boost/regex.hpp>

#include "platform/text/CString.h"

// The path the file is read from: program folder + "\Data\" + "地区.txt".
CString GetRegionFilePath();

// The whole file as text (up to a first zero byte); empty when it cannot be
// opened, after a log entry of the path followed by "[不存在]".
CString ReadFileToString(CString path);

// Appends one row to g_RegionList per record that `pattern` (the file's line
// pattern, code/name/flag in groups 1 to 3) finds in `text`: column 1 the
// name, column 2 the code, ticked when the flag is exactly "TRUE". A record
// with an empty code adds no row. Returns empty text.
CString FillRegionListFromText(CString text, boost::regex pattern);

// The record pattern of the file.
inline constexpr const char* kRegionRecordPattern = "([0-9]*?),(.*?),(TRUE|FALSE)";

// Replaces the file (program folder + "/Data/地区.txt") by `text`. The text
// goes to a temporary file beside it first and only then takes the old
// file's place, so a failed write leaves the old file as it was. Throws
// CFileException* naming the file when it cannot be written.
void SaveRegionText(CString text);
