// Zentarix — MIT licence.
// SHCreateStreamOnFileEx: an IStream over a POSIX file descriptor; and ReplaceFileW.
// The Windows headers come first: <fcntl.h> defines LOCK_WRITE as a macro, which would clash with
// the LOCKTYPE enumerator of the same name.
#include "objbase.h"
#include "stream_internal.h"
#include "winbase.h"
#include "zx/com.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace {

HRESULT hresult_from_errno(int err) {
  const DWORD code = ZxWin32ErrorFromErrno(err);
  SetLastError(code);
  return HRESULT_FROM_WIN32(code);
}

// Seconds and nanoseconds since 1970 as a FILETIME (100 ns ticks since 1601).
FILETIME filetime_of(const timespec& ts) {
  const uint64_t ticks = (static_cast<uint64_t>(ts.tv_sec) + 11644473600ull) * 10000000ull +
                         static_cast<uint64_t>(ts.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

class FileStream final : public IStream {
 public:
  FileStream(int fd, DWORD mode, std::u16string name) : m_fd(fd), m_mode(mode), m_name(std::move(name)) {}
  ~FileStream() { ::close(m_fd); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
      *ppv = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if ((m_mode & 3) == STGM_WRITE) return STG_E_ACCESSDENIED;
    ULONG done = 0;
    while (done < cb) {
      const ssize_t n = ::read(m_fd, static_cast<char*>(pv) + done, cb - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (pcbRead) *pcbRead = done;
        return hresult_from_errno(errno);
      }
      if (n == 0) break;
      done += static_cast<ULONG>(n);
    }
    if (pcbRead) *pcbRead = done;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if ((m_mode & 3) == STGM_READ) return STG_E_ACCESSDENIED;
    ULONG done = 0;
    while (done < cb) {
      const ssize_t n = ::write(m_fd, static_cast<const char*>(pv) + done, cb - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (pcbWritten) *pcbWritten = done;
        return (n < 0 && (errno == ENOSPC || errno == EDQUOT)) || n == 0 ? STG_E_MEDIUMFULL : hresult_from_errno(errno);
      }
      done += static_cast<ULONG>(n);
    }
    if (pcbWritten) *pcbWritten = done;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
    int whence;
    switch (origin) {
      case STREAM_SEEK_SET: whence = SEEK_SET; break;
      case STREAM_SEEK_CUR: whence = SEEK_CUR; break;
      case STREAM_SEEK_END: whence = SEEK_END; break;
      default: return STG_E_INVALIDFUNCTION;
    }
    const off_t pos = ::lseek(m_fd, static_cast<off_t>(move.QuadPart), whence);
    if (pos < 0) return errno == EINVAL ? STG_E_INVALIDFUNCTION : hresult_from_errno(errno);
    if (newPos) newPos->QuadPart = static_cast<ULONGLONG>(pos);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER newSize) override {
    if ((m_mode & 3) == STGM_READ) return STG_E_ACCESSDENIED;
    if (newSize.QuadPart > static_cast<ULONGLONG>(INT64_MAX)) return STG_E_INVALIDFUNCTION;
    if (::ftruncate(m_fd, static_cast<off_t>(newSize.QuadPart)) != 0)
      return errno == EFBIG || errno == ENOSPC ? STG_E_MEDIUMFULL : hresult_from_errno(errno);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override {
    return zx::types::copy_stream(this, target, cb, pcbRead, pcbWritten);
  }

  // Writes go straight to the descriptor, so there is nothing buffered to commit or revert.
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT STDMETHODCALLTYPE Stat(STATSTG* st, DWORD flags) override {
    if (!st) return STG_E_INVALIDPOINTER;
    struct stat s;
    if (::fstat(m_fd, &s) != 0) return hresult_from_errno(errno);
    STATSTG out{};
    out.type = STGTY_STREAM;
    out.cbSize.QuadPart = static_cast<ULONGLONG>(s.st_size);
    out.mtime = filetime_of(s.st_mtim);
    out.ctime = filetime_of(s.st_ctim);
    out.atime = filetime_of(s.st_atim);
    out.grfMode = m_mode;
    if (!(flags & STATFLAG_NONAME)) {
      const size_t bytes = (m_name.size() + 1) * sizeof(OLECHAR);
      out.pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
      if (!out.pwcsName) return STG_E_INSUFFICIENTMEMORY;
      std::memcpy(out.pwcsName, m_name.c_str(), bytes);
    }
    *st = out;
    return S_OK;
  }

  // As the Shell's file stream: a file stream cannot be cloned.
  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
    if (ppstm) *ppstm = nullptr;
    return E_NOTIMPL;
  }

 private:
  std::atomic<ULONG> m_refs{1};
  int m_fd;
  DWORD m_mode;
  std::u16string m_name;  // the last path component, as Stat reports it
};

}  // namespace

// Creation rule: STGM_CREATE creates or truncates; otherwise fCreate creates a new file and fails
// when one exists (STGM_FAILIFTHERE); otherwise the file must exist.
HRESULT SHCreateStreamOnFileEx(LPCWSTR pszFile, DWORD grfMode, DWORD dwAttributes, BOOL fCreate, IStream* pstmTemplate,
                               IStream** ppstm) {
  (void)dwAttributes;
  (void)pstmTemplate;
  if (!ppstm) return E_INVALIDARG;
  *ppstm = nullptr;
  if (!pszFile || !*pszFile) return E_INVALIDARG;
  int flags;
  switch (grfMode & 3) {
    case STGM_READ: flags = O_RDONLY; break;
    case STGM_WRITE: flags = O_WRONLY; break;
    case STGM_READWRITE: flags = O_RDWR; break;
    default: return E_INVALIDARG;
  }
  flags |= O_CLOEXEC;
  if (grfMode & STGM_CREATE) {
    if ((grfMode & 3) == STGM_READ) return E_INVALIDARG;  // creating needs write access
    flags |= O_CREAT | O_TRUNC;
  } else if (fCreate) {
    if ((grfMode & 3) == STGM_READ) return E_INVALIDARG;
    flags |= O_CREAT | O_EXCL;
  }
  try {
    const std::u16string path(pszFile);
    const std::string native = zx::to_utf8(path);
    const size_t slash = path.find_last_of(u'/');
    std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
    int fd;
    do {
      fd = ::open(native.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return hresult_from_errno(errno);
    struct stat s;
    int err = ::fstat(fd, &s) != 0 ? errno : S_ISDIR(s.st_mode) ? EISDIR : 0;
    if (err) {
      ::close(fd);
      return hresult_from_errno(err);
    }
    auto* stream = new (std::nothrow) FileStream(fd, grfMode, std::move(name));
    if (!stream) {
      ::close(fd);
      return E_OUTOFMEMORY;
    }
    *ppstm = stream;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

BOOL ReplaceFileW(LPCWSTR lpReplacedFileName, LPCWSTR lpReplacementFileName, LPCWSTR lpBackupFileName,
                  DWORD dwReplaceFlags, LPVOID, LPVOID) {
  if (!lpReplacedFileName || !lpReplacementFileName || lpBackupFileName || dwReplaceFlags) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  try {
    const std::string replaced = zx::to_utf8(lpReplacedFileName);
    const std::string replacement = zx::to_utf8(lpReplacementFileName);
    struct stat s;
    if (::stat(replaced.c_str(), &s) != 0) {
      hresult_from_errno(errno);
      return FALSE;
    }
    // Best effort, in this order: an ordinary user may keep the group (one of their own) but not
    // give the file away, and the bits go last because chown may clear set-id bits.
    [[maybe_unused]] const bool kept = ::chown(replacement.c_str(), s.st_uid, s.st_gid) == 0 ||
                                       ::chown(replacement.c_str(), static_cast<uid_t>(-1), s.st_gid) == 0;
    ::chmod(replacement.c_str(), s.st_mode & 07777);
    if (::rename(replacement.c_str(), replaced.c_str()) != 0) {
      hresult_from_errno(errno);
      return FALSE;
    }
    return TRUE;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}
