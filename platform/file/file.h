#pragma once
// Files in place of the class library's CFile, and the program's own path.
//
// Paths arrive as the program builds them: GBK text with "\" separators. The
// layer converts them to UTF-8 first and only then turns every "\" into "/",
// so a GBK trail byte 0x5C is never taken for a separator.
//
// A CFile object belongs to one thread at a time. Failures of the throwing
// members arrive as `CFileException*`, thrown with new; the catcher calls
// Delete(). Share modes are accepted and not enforced: Linux has no mandatory
// sharing, and the program never opens one file twice at once.
#include <string>
#include <string_view>

#include "platform/exception.h"
#include "platform/types.h"

class CFileException : public CException {
 public:
  enum {
    none,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  // `file_name` is GBK text, as the program gave it.
  explicit CFileException(int cause = none, LONG os_error = -1, const char* file_name = nullptr)
      : m_cause(cause), m_lOsError(os_error), m_strFileName(file_name ? file_name : "") {}

  // Cause from an errno value; `native_path` tells a missing folder from a
  // missing file.
  static int CauseFromErrno(int error, const std::string& native_path);

  BOOL GetErrorMessage(char* out, UINT size, UINT* help_context = nullptr) const override;

  int m_cause;
  LONG m_lOsError;          // errno of the failed call, -1 when none
  std::string m_strFileName;  // GBK
};

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,    // create; truncate an existing file unless modeNoTruncate
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

  CFile() = default;
  // Opens at once; throws CFileException* on failure.
  CFile(const char* file_name, UINT open_flags);
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  virtual ~CFile();

  // FALSE on failure, with the cause in `error` when given. Without
  // modeCreate the file must exist.
  virtual BOOL Open(const char* file_name, UINT open_flags, CFileException* error = nullptr);

  // These throw CFileException* on failure, also when no file is open.
  ULONGLONG Seek(LONGLONG offset, UINT from);
  ULONGLONG SeekToEnd();
  void SeekToBegin();
  ULONGLONG GetPosition() const;
  ULONGLONG GetLength() const;
  // Reads up to `count` bytes; fewer only at the end of the file.
  UINT Read(void* buffer, UINT count);
  void Write(const void* buffer, UINT count);
  void Flush();
  void Close();
  // Closes without reporting anything.
  void Abort();

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& GetFilePath() const { return name_; }  // GBK, as opened

 private:
  [[noreturn]] void ThrowErrno(int error, int fallback_cause) const;
  void CheckOpen() const;

  int fd_ = -1;
  std::string name_;
};

// The native (UTF-8, "/") form of a GBK path with "\" separators.
std::string NativePath(const char* gbk_path);
// The program's (GBK, "\") form of a native path.
std::string GbkPathFromNative(std::string_view native_path);

// The executable's full path as GBK text with "\" separators (from
// /proc/self/exe, or the path set for tests). Copies at most `size` - 1 bytes
// and a zero; returns the number copied, or `size` when the path was cut.
DWORD GetModuleFileNameA(HMODULE module, char* out, DWORD size);

// The executable's file name without its extension, as UTF-8: the
// application name. Always the real executable (from /proc/self/exe), also
// while tests set another path below. Any thread.
const std::string& ExecutableTitle();

// Tests point the program at another folder: `gbk_path` is taken as the
// executable's path (for example "C:\Tools\Tovrane.exe"); null or "" goes
// back to the real one. Thread-safe.
void SetModuleFileNameForTesting(const char* gbk_path);
