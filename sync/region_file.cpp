#include "sync/region_file.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file/file.h"
#include "platform/text/codepage.h"
#include "services/globals.h"
#include "services/text_services.h"

CString GetRegionFilePath() { return GetAppDir() + g_DataDirName + "地区.txt"; }

CString ReadFileToString(CString path) {
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite)) {
    // The entry is a note for whoever looks into a missing province list; a
    // log that cannot be written (no Log folder) must not stop the page.
    try {
      WriteLog(path + "[不存在]");
    } catch (CException* e) {
      e->Delete();
    }
    return CString();
  }
  const ULONGLONG length = file.GetLength();
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  const UINT read = file.Read(buffer.data(), static_cast<UINT>(length));
  file.Close();
  buffer[read] = '\0';
  return CString(buffer.data());
}

CString FillRegionListFromText(CString text, boost::regex pattern) {
  WalkMatches(text.str(), pattern, [](const boost::cmatch& match) {
    const CString code(match.str(1));
    if (code.IsEmpty() || !g_RegionList) return true;
    const CString name(match.str(2));
    const CString flag(match.str(3));
    const int row = g_RegionList->InsertRow(g_RegionList->GetItemCount(), {CString(), name, code});
    g_RegionList->SetCheck(row, flag == "TRUE");
    return true;
  });
  return CString();
}

void SaveRegionText(CString text) {
  const CString path = GetAppDir() + "/Data/地区.txt";
  const CString temporary = path + ".tmp";
  // The report names the file as the system shows it: "/" throughout.
  auto fail = [&path](int cause, int error) {
    throw new CFileException(cause, error, Utf8ToGbk(NativePath(path)).c_str());
  };
  {
    // A file the user made read-only stays as it is, as it would where the
    // file is overwritten in place.
    CFileException error;
    CFile existing;
    if (existing.Open(path, CFile::modeWrite, &error))
      existing.Close();
    else if (error.m_cause != CFileException::fileNotFound)
      fail(error.m_cause, static_cast<int>(error.m_lOsError));
  }
  {
    CFileException error;
    CFile file;
    if (!file.Open(temporary, CFile::modeCreate | CFile::modeWrite, &error))
      fail(error.m_cause, static_cast<int>(error.m_lOsError));
    try {
      file.Write(text.GetString(), static_cast<UINT>(text.GetLength()));
      file.Close();
    } catch (CFileException* e) {
      const int cause = e->m_cause;
      const int os_error = static_cast<int>(e->m_lOsError);
      e->Delete();
      file.Abort();
      std::remove(NativePath(temporary).c_str());
      fail(cause, os_error);
    }
  }
  if (std::rename(NativePath(temporary).c_str(), NativePath(path).c_str()) != 0) {
    const int error = errno;
    std::remove(NativePath(temporary).c_str());
    fail(CFileException::CauseFromErrno(error, NativePath(path)), error);
  }
}
