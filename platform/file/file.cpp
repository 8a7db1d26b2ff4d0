#include "platform/file/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/text/codepage.h"

namespace {

std::string ParentFolder(const std::string& native_path) {
  size_t slash = native_path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return native_path.substr(0, slash);
}

}  // namespace

// ---- CFileException ----

int CFileException::CauseFromErrno(int error, const std::string& native_path) {
  switch (error) {
    case 0:
      return none;
    case ENOENT: {
      // Windows tells a missing folder (bad path) from a missing file.
      struct stat st;
      if (!native_path.empty() && stat(ParentFolder(native_path).c_str(), &st) != 0)
        return badPath;
      return fileNotFound;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return badPath;
    case EMFILE:
    case ENFILE:
      return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
      return accessDenied;
    case EBADF:
      return invalidFile;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return diskFull;
    case ESPIPE:
    case EINVAL:
    case EOVERFLOW:
      return badSeek;
    case EIO:
      return hardIO;
    case EBUSY:
      return sharingViolation;
    default:
      return genericException;
  }
}

BOOL CFileException::GetErrorMessage(char* out, UINT size, UINT* help_context) const {
  if (help_context) *help_context = 0;
  const char* format = nullptr;
  switch (m_cause) {
    case fileNotFound: format = "未找到文件 %s。"; break;
    case badPath: format = "%s 的路径无效。"; break;
    case tooManyOpenFiles: format = "打开的文件太多，无法打开 %s。"; break;
    case accessDenied: format = "无法访问 %s。"; break;
    case invalidFile: format = "对未打开的文件 %s 进行了操作。"; break;
    case directoryFull: format = "目录已满，无法创建 %s。"; break;
    case badSeek: format = "在 %s 中定位时出错。"; break;
    case hardIO: format = "访问 %s 时发生硬件读写错误。"; break;
    case sharingViolation: format = "%s 正被其他程序使用。"; break;
    case lockViolation: format = "%s 已被锁定。"; break;
    case diskFull: format = "磁盘已满，%s 未能写完。"; break;
    case endOfFile: format = "读 %s 时越过了文件末尾。"; break;
    case none: return CopyMessage("", out, size);
    default: format = "访问 %s 时出错。"; break;
  }
  char text[1024];
  std::snprintf(text, sizeof text, format, m_strFileName.c_str());
  return CopyMessage(text, out, size);
}

// ---- CFile ----

CFile::CFile(const char* file_name, UINT open_flags) {
  auto* error = new CFileException;
  if (!Open(file_name, open_flags, error)) throw error;
  error->Delete();
}

CFile::~CFile() { Abort(); }

BOOL CFile::Open(const char* file_name, UINT open_flags, CFileException* error) {
  Abort();
  name_ = file_name ? file_name : "";
  std::string native = NativePath(name_.c_str());

  int flags = O_CLOEXEC;
  switch (open_flags & 0x3) {
    case modeWrite: flags |= O_WRONLY; break;
    case modeReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
  }
  if (open_flags & modeCreate) {
    flags |= O_CREAT;
    if (!(open_flags & modeNoTruncate)) flags |= O_TRUNC;
  }

  int fd = native.empty() ? -1 : ::open(native.c_str(), flags, 0666);
  int saved = native.empty() ? ENOENT : errno;
  if (fd >= 0) {
    // Windows refuses to open a folder as a file.
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      fd = -1;
      saved = EISDIR;
    }
  }
  if (fd < 0) {
    if (error) {
      error->m_cause = CFileException::CauseFromErrno(saved, native);
      error->m_lOsError = saved;
      error->m_strFileName = name_;
    }
    return FALSE;
  }
  fd_ = fd;
  return TRUE;
}

void CFile::ThrowErrno(int error, int fallback_cause) const {
  int cause = CFileException::CauseFromErrno(error, std::string());
  if (cause == CFileException::genericException) cause = fallback_cause;
  throw new CFileException(cause, error, name_.c_str());
}

void CFile::CheckOpen() const {
  if (fd_ < 0) throw new CFileException(CFileException::invalidFile, EBADF, name_.c_str());
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  CheckOpen();
  int whence = from == end ? SEEK_END : from == current ? SEEK_CUR : SEEK_SET;
  off_t pos = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (pos < 0) ThrowErrno(errno, CFileException::badSeek);
  return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::SeekToEnd() { return Seek(0, end); }

void CFile::SeekToBegin() { Seek(0, begin); }

ULONGLONG CFile::GetPosition() const {
  CheckOpen();
  off_t pos = ::lseek(fd_, 0, SEEK_CUR);
  if (pos < 0) ThrowErrno(errno, CFileException::badSeek);
  return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetLength() const {
  CheckOpen();
  struct stat st;
  if (fstat(fd_, &st) != 0) ThrowErrno(errno, CFileException::genericException);
  return static_cast<ULONGLONG>(st.st_size);
}

UINT CFile::Read(void* buffer, UINT count) {
  CheckOpen();
  auto* p = static_cast<char*>(buffer);
  UINT done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno, CFileException::hardIO);
    }
    if (n == 0) break;
    done += static_cast<UINT>(n);
  }
  return done;
}

void CFile::Write(const void* buffer, UINT count) {
  CheckOpen();
  const auto* p = static_cast<const char*>(buffer);
  UINT done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno, CFileException::hardIO);
    }
    if (n == 0) ThrowErrno(ENOSPC, CFileException::diskFull);
    done += static_cast<UINT>(n);
  }
}

void CFile::Flush() {
  CheckOpen();
  // Writes go straight to the system; nothing is buffered here.
}

void CFile::Close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) ThrowErrno(errno, CFileException::hardIO);
}

void CFile::Abort() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// ---- Paths ----

std::string NativePath(const char* gbk_path) {
  if (!gbk_path) return std::string();
  // Convert first: in GBK a 0x5C byte may be the second half of a character.
  std::string utf8 = GbkToUtf8(gbk_path);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

std::string GbkPathFromNative(std::string_view native_path) {
  std::string utf8(native_path);
  for (char& c : utf8)
    if (c == '/') c = '\\';
  return Utf8ToGbk(utf8);
}

namespace {

std::mutex g_module_mutex;
std::string g_module_override;  // GBK; guarded by g_module_mutex

std::string ModulePath() {
  {
    std::lock_guard<std::mutex> lock(g_module_mutex);
    if (!g_module_override.empty()) return g_module_override;
  }
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return GbkPathFromNative(std::string_view(buffer, static_cast<size_t>(n)));
}

}  // namespace

const std::string& ExecutableTitle() {
  static const std::string title = [] {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string file = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
    size_t slash = file.rfind('/');
    if (slash != std::string::npos) file.erase(0, slash + 1);
    size_t dot = file.rfind('.');
    if (dot != std::string::npos && dot > 0) file.erase(dot);
    return file;
  }();
  return title;
}

DWORD GetModuleFileNameA(HMODULE, char* out, DWORD size) {
  if (!out || size == 0) return 0;
  std::string path = ModulePath();
  if (path.size() < size) {
    std::memcpy(out, path.data(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  std::memcpy(out, path.data(), size - 1);
  out[size - 1] = '\0';
  return size;
}

void SetModuleFileNameForTesting(const char* gbk_path) {
  std::lock_guard<std::mutex> lock(g_module_mutex);
  g_module_override = gbk_path ? gbk_path : "";
}
