// Zentarix — MIT licence.
// Scripting.FileSystemObject: path text, files, folders and their collections, over the host's files.
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <random>

#include "activation_internal.h"
#include "filesystem_internal.h"
#include "object_base.h"
#include "scrrun_idl.h"

namespace zx::activation {

const CLSID kFileSystemClsid = CLSID_FileSystemObject;

namespace fsx {

// ---- path text --------------------------------------------------------------------------------
// Scripts written for Windows name paths with backslashes, so a backslash separates path parts here
// as a slash does; a file whose name holds a backslash cannot be named through this object.

bool is_separator(char16_t c) { return c == u'/' || c == u'\\'; }

namespace {

// The path without trailing separators; a root ("/") stays as it is.
std::u16string_view trimmed(std::u16string_view p) {
  while (p.size() > 1 && is_separator(p.back())) p.remove_suffix(1);
  return p;
}

size_t last_separator(std::u16string_view p) {
  for (size_t i = p.size(); i-- > 0;)
    if (is_separator(p[i])) return i;
  return std::u16string_view::npos;
}

}  // namespace

std::u16string file_name(std::u16string_view path) {
  const std::u16string_view p = trimmed(path);
  if (p.size() == 1 && is_separator(p[0])) return {};
  const size_t sep = last_separator(p);
  return std::u16string(sep == std::u16string_view::npos ? p : p.substr(sep + 1));
}

std::u16string parent_name(std::u16string_view path) {
  const std::u16string_view p = trimmed(path);
  const size_t sep = last_separator(p);
  if (sep == std::u16string_view::npos || p.size() == 1) return {};
  return std::u16string(sep == 0 ? p.substr(0, 1) : trimmed(p.substr(0, sep)));
}

std::u16string base_name(std::u16string_view path) {
  const std::u16string name = file_name(path);
  const size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

std::u16string extension_name(std::u16string_view path) {
  const std::u16string name = file_name(path);
  const size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
}

std::u16string build_path(std::u16string_view folder, std::u16string_view name) {
  if (folder.empty()) return std::u16string(name);
  if (name.empty()) return std::u16string(folder);
  const bool endSep = is_separator(folder.back()), startSep = is_separator(name.front());
  std::u16string out(folder);
  if (endSep && startSep)
    out.append(name.substr(1));
  else if (endSep || startSep)
    out.append(name);
  else
    out.append(u"/").append(name);
  return out;
}

std::filesystem::path native(std::u16string_view path) {
  std::u16string p(path);
  std::replace(p.begin(), p.end(), u'\\', u'/');
  return std::filesystem::path(zx::to_utf8(p));
}

std::filesystem::path absolute(std::u16string_view path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(native(path), ec).lexically_normal();
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return std::filesystem::path(s);
}

std::u16string text_of(const std::filesystem::path& p) { return zx::to_utf16(p.string()); }

HRESULT give_text(std::u16string_view text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT from_errno(int err, HRESULT missing) {
  switch (err) {
    case ENOENT: return missing;
    case ENOTDIR: return kPathNotFound;
    case EACCES: case EPERM: case EROFS: case EISDIR: case ETXTBSY: case EBUSY: return kPermissionDenied;
    case EEXIST: case ENOTEMPTY: return kFileExists;
    case ENOSPC: case EDQUOT: return kDiskFull;
    case ENAMETOOLONG: case EINVAL: return kBadFileName;
    default: return kDeviceError;
  }
}

HRESULT fail(HRESULT hr, REFIID iid) { return report_runtime_error(hr, kSource, iid); }

namespace {

bool has_wildcard(std::u16string_view name) {
  return name.find_first_of(u"*?") != std::u16string_view::npos;
}

enum class Kind { File, Folder };

bool is_kind(const std::filesystem::path& p, Kind kind) {
  std::error_code ec;
  return kind == Kind::File ? std::filesystem::is_regular_file(p, ec) : std::filesystem::is_directory(p, ec);
}

// The files or folders a path names: one path, or the matches of wildcards in its last part.
// An empty list means nothing matched (or the folder of the pattern is missing).
std::vector<std::filesystem::path> matches(std::u16string_view path, Kind kind, bool patterns = true) {
  std::vector<std::filesystem::path> out;
  const std::u16string name = file_name(path);
  if (!patterns || !has_wildcard(name)) {
    const std::filesystem::path p = absolute(path);
    if (is_kind(p, kind)) out.push_back(p);
    return out;
  }
  const std::u16string parent = parent_name(path);
  const std::filesystem::path folder = absolute(parent.empty() ? u"." : parent);
  const std::string pattern = zx::to_utf8(name);
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string leaf = it->path().filename().string();
    if (::fnmatch(pattern.c_str(), leaf.c_str(), FNM_PERIOD) == 0 && is_kind(it->path(), kind))
      out.push_back(it->path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Without Force, a file its owner may not write is not deleted (the read-only attribute).
bool read_only(const std::filesystem::path& p) {
  std::error_code ec;
  const auto perms = std::filesystem::status(p, ec).permissions();
  return !ec && (perms & std::filesystem::perms::owner_write) == std::filesystem::perms::none;
}

// `patterns` false: the name is taken as it is, "*" and "?" included (a File or Folder object's own).
HRESULT delete_paths(std::u16string_view path, Kind kind, bool force, bool patterns = true) {
  const auto found = matches(path, kind, patterns);
  if (found.empty()) return kind == Kind::File ? kFileNotFound : kPathNotFound;
  for (const auto& p : found) {
    if (!force && read_only(p)) return kPermissionDenied;
    std::error_code ec;
    if (kind == Kind::File)
      std::filesystem::remove(p, ec);
    else
      std::filesystem::remove_all(p, ec);
    if (ec) return from_errno(ec.value(), kFileNotFound);
  }
  return S_OK;
}

// Where each source lands: inside a folder named with a trailing separator (or for several sources),
// else at the destination itself.
HRESULT targets(std::u16string_view destination, const std::vector<std::filesystem::path>& sources, bool wildcard,
                std::vector<std::filesystem::path>* out) {
  const bool intoFolder = !destination.empty() && is_separator(destination.back());
  const std::filesystem::path dest = absolute(destination);
  if (intoFolder || wildcard) {
    if (!is_kind(dest, Kind::Folder)) return kPathNotFound;
    for (const auto& s : sources) out->push_back(dest / s.filename());
    return S_OK;
  }
  if (is_kind(dest, Kind::Folder)) return kPermissionDenied;  // a folder is not overwritten by a file
  std::error_code ec;
  if (!std::filesystem::is_directory(dest.parent_path(), ec)) return kPathNotFound;
  out->push_back(dest);
  return S_OK;
}

}  // namespace

HRESULT copy_files(std::u16string_view source, std::u16string_view destination, bool overwrite) {
  const auto sources = matches(source, Kind::File);
  if (sources.empty()) return kFileNotFound;
  std::vector<std::filesystem::path> to;
  if (HRESULT hr = targets(destination, sources, has_wildcard(file_name(source)), &to); FAILED(hr)) return hr;
  for (size_t i = 0; i < sources.size(); ++i) {
    std::error_code ec;
    if (std::filesystem::exists(to[i], ec)) {
      if (!overwrite) return kFileExists;
      if (read_only(to[i])) return kPermissionDenied;
      if (std::filesystem::equivalent(sources[i], to[i], ec)) return kPermissionDenied;
    }
    std::filesystem::copy_file(sources[i], to[i], std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) return from_errno(ec.value(), kPathNotFound);
  }
  return S_OK;
}

HRESULT move_files(std::u16string_view source, std::u16string_view destination) {
  const auto sources = matches(source, Kind::File);
  if (sources.empty()) return kFileNotFound;
  std::vector<std::filesystem::path> to;
  if (HRESULT hr = targets(destination, sources, has_wildcard(file_name(source)), &to); FAILED(hr)) return hr;
  for (size_t i = 0; i < sources.size(); ++i) {
    std::error_code ec;
    if (std::filesystem::exists(to[i], ec)) return kFileExists;
    std::filesystem::rename(sources[i], to[i], ec);
    if (ec.value() == EXDEV) {  // another file system: copy, then remove the source
      std::filesystem::copy_file(sources[i], to[i], ec);
      if (!ec) std::filesystem::remove(sources[i], ec);
    }
    if (ec) return from_errno(ec.value(), kPathNotFound);
  }
  return S_OK;
}

HRESULT last_modified(const std::filesystem::path& p, HRESULT missing, DATE* out) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return from_errno(errno, missing);
  std::tm local{};
  const time_t seconds = st.st_mtim.tv_sec;
  if (!::localtime_r(&seconds, &local)) return kDeviceError;
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(local.tm_year + 1900);
  t.wMonth = static_cast<WORD>(local.tm_mon + 1);
  t.wDay = static_cast<WORD>(local.tm_mday);
  t.wHour = static_cast<WORD>(local.tm_hour);
  t.wMinute = static_cast<WORD>(local.tm_min);
  t.wSecond = static_cast<WORD>(std::min(local.tm_sec, 59));
  return SystemTimeToVariantTime(&t, out) ? S_OK : kDeviceError;
}

}  // namespace fsx

namespace {

using namespace fsx;

class Folder;

class File final : public DispatchObject<File, IFile> {
 public:
  explicit File(std::filesystem::path path) : m_path(std::move(path)) {}
  STDMETHOD(get_Path)(BSTR* out) override { return boundary([&] { return give_text(text_of(m_path), out); }); }
  STDMETHOD(get_Name)(BSTR* out) override {
    return boundary([&] { return give_text(text_of(m_path.filename()), out); });
  }
  STDMETHOD(get_ParentFolder)(IFolder** out) override;
  STDMETHOD(get_DateLastModified)(DATE* out) override {
    if (!out) return E_POINTER;
    return fail_if(last_modified(m_path, kFileNotFound, out));
  }
  STDMETHOD(get_Size)(VARIANT* out) override {
    if (!out) return E_POINTER;
    struct stat st {};
    if (::stat(m_path.c_str(), &st) != 0) return fail_if(from_errno(errno, kFileNotFound));
    VariantInit(out);
    if (st.st_size <= 0x7FFFFFFF) {
      out->vt = VT_I4;
      out->lVal = static_cast<LONG>(st.st_size);
    } else {
      out->vt = VT_R8;
      out->dblVal = static_cast<double>(st.st_size);
    }
    return S_OK;
  }
  STDMETHOD(Delete)(VARIANT_BOOL Force) override {
    return boundary([&] { return fail_if(delete_one(Force != VARIANT_FALSE)); });
  }
  STDMETHOD(Copy)(BSTR Destination, VARIANT_BOOL OverWriteFiles) override {
    return boundary([&] {
      return fail_if(copy_files(text_of(m_path), bstr_view(Destination), OverWriteFiles != VARIANT_FALSE));
    });
  }
  STDMETHOD(Move)(BSTR Destination) override {
    return boundary([&] {
      HRESULT hr = move_files(text_of(m_path), bstr_view(Destination));
      if (SUCCEEDED(hr)) {
        std::u16string dest(bstr_view(Destination));
        m_path = absolute(!dest.empty() && is_separator(dest.back()) ? dest + text_of(m_path.filename()) : dest);
      }
      return fail_if(hr);
    });
  }
  STDMETHOD(OpenAsTextStream)(IOMode mode, Tristate format, ITextStream** out) override {
    return boundary([&] { return fail_if(open_text_stream(m_path, mode, false, format, out)); });
  }

 private:
  HRESULT fail_if(HRESULT hr) { return FAILED(hr) ? fail(hr, IID_IFile) : hr; }
  HRESULT delete_one(bool force) { return delete_paths(text_of(m_path), Kind::File, force, false); }
  std::filesystem::path m_path;
};

// A snapshot of a folder's files or subfolders, sorted by name, taken when the collection is asked for.
template <class Itf, class ItemItf, class Item>
class Collection final : public DispatchObject<Collection<Itf, ItemItf, Item>, Itf> {
 public:
  Collection(std::vector<std::filesystem::path> paths, HRESULT missing) : m_paths(std::move(paths)), m_missing(missing) {}
  STDMETHOD(get_Item)(VARIANT Key, ItemItf** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return boundary([&] {
      zx::Variant name;
      if (FAILED(VariantChangeType(&name, &Key, 0, VT_BSTR))) return fail(kTypeMismatch, zx::uuid_of<Itf>::value);
      const std::u16string wanted(bstr_view(name.bstrVal));
      for (const auto& p : m_paths)
        if (text_of(p.filename()) == wanted)
          return Item::create(zx::uuid_of<ItemItf>::value, reinterpret_cast<void**>(out), p);
      for (const auto& p : m_paths)  // names typed with other capitals, as scripts from Windows do
        if (zx::equal_ignoring_case(text_of(p.filename()), wanted))
          return Item::create(zx::uuid_of<ItemItf>::value, reinterpret_cast<void**>(out), p);
      return fail(m_missing, zx::uuid_of<Itf>::value);
    });
  }
  STDMETHOD(get__NewEnum)(IUnknown** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return boundary([&] {
      std::vector<zx::Variant> items(m_paths.size());
      for (size_t i = 0; i < m_paths.size(); ++i) {
        items[i].vt = VT_DISPATCH;
        if (HRESULT hr = Item::create(IID_IDispatch, reinterpret_cast<void**>(&items[i].pdispVal), m_paths[i]);
            FAILED(hr)) {
          items[i].vt = VT_EMPTY;
          return hr;
        }
      }
      return VariantEnumerator::create(IID_IUnknown, reinterpret_cast<void**>(out), std::move(items), size_t{0});
    });
  }
  STDMETHOD(get_Count)(LONG* out) override {
    if (!out) return E_POINTER;
    *out = static_cast<LONG>(m_paths.size());
    return S_OK;
  }

 private:
  std::vector<std::filesystem::path> m_paths;
  HRESULT m_missing;
};

std::vector<std::filesystem::path> children(const std::filesystem::path& folder, bool folders) {
  std::vector<std::filesystem::path> out;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kind;
    if (folders ? it->is_directory(kind) : it->is_regular_file(kind)) out.push_back(it->path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

class Folder final : public DispatchObject<Folder, IFolder> {
 public:
  explicit Folder(std::filesystem::path path) : m_path(std::move(path)) {}
  STDMETHOD(get_Path)(BSTR* out) override { return boundary([&] { return give_text(text_of(m_path), out); }); }
  STDMETHOD(get_Name)(BSTR* out) override {
    return boundary([&] { return give_text(is_root() ? text_of(m_path) : text_of(m_path.filename()), out); });
  }
  STDMETHOD(get_ParentFolder)(IFolder** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (is_root()) return S_OK;  // the root has none: Nothing
    return boundary([&] { return create(IID_IFolder, reinterpret_cast<void**>(out), m_path.parent_path()); });
  }
  STDMETHOD(get_DateLastModified)(DATE* out) override {
    if (!out) return E_POINTER;
    HRESULT hr = last_modified(m_path, kPathNotFound, out);
    return FAILED(hr) ? fail(hr, IID_IFolder) : hr;
  }
  STDMETHOD(get_IsRootFolder)(VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    *out = is_root() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHOD(get_Files)(IFileCollection** out) override {
    return make_collection<IFileCollection, IFile, File>(false, kFileNotFound, out);
  }
  STDMETHOD(get_SubFolders)(IFolderCollection** out) override {
    return make_collection<IFolderCollection, IFolder, Folder>(true, kPathNotFound, out);
  }
  STDMETHOD(Delete)(VARIANT_BOOL Force) override {
    return boundary([&] {
      const HRESULT hr = delete_paths(text_of(m_path), Kind::Folder, Force != VARIANT_FALSE, false);
      return FAILED(hr) ? fail(hr, IID_IFolder) : hr;
    });
  }

 private:
  bool is_root() const { return m_path == m_path.root_path(); }
  template <class Itf, class ItemItf, class Item>
  HRESULT make_collection(bool folders, HRESULT missing, Itf** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return boundary([&] {
      if (!std::filesystem::is_directory(m_path)) return fail(kPathNotFound, IID_IFolder);
      return Collection<Itf, ItemItf, Item>::create(zx::uuid_of<Itf>::value, reinterpret_cast<void**>(out),
                                                    children(m_path, folders), missing);
    });
  }
  std::filesystem::path m_path;
};

HRESULT File::get_ParentFolder(IFolder** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return boundary([&] { return Folder::create(IID_IFolder, reinterpret_cast<void**>(out), m_path.parent_path()); });
}

class FileSystem final : public DispatchObject<FileSystem, IFileSystem> {
 public:
  STDMETHOD(BuildPath)(BSTR Path, BSTR Name, BSTR* out) override {
    return boundary([&] { return give_text(build_path(bstr_view(Path), bstr_view(Name)), out); });
  }
  STDMETHOD(GetParentFolderName)(BSTR Path, BSTR* out) override {
    return boundary([&] { return give_text(parent_name(bstr_view(Path)), out); });
  }
  STDMETHOD(GetFileName)(BSTR Path, BSTR* out) override {
    return boundary([&] { return give_text(file_name(bstr_view(Path)), out); });
  }
  STDMETHOD(GetBaseName)(BSTR Path, BSTR* out) override {
    return boundary([&] { return give_text(base_name(bstr_view(Path)), out); });
  }
  STDMETHOD(GetExtensionName)(BSTR Path, BSTR* out) override {
    return boundary([&] { return give_text(extension_name(bstr_view(Path)), out); });
  }
  STDMETHOD(GetAbsolutePathName)(BSTR Path, BSTR* out) override {
    return boundary([&] {
      const std::u16string_view p = bstr_view(Path);
      return give_text(text_of(absolute(p.empty() ? u"." : p)), out);
    });
  }
  STDMETHOD(GetTempName)(BSTR* out) override {
    return boundary([&] {
      static constexpr char16_t kHex[] = u"0123456789ABCDEF";
      std::random_device seed;
      std::u16string name = u"rad";
      for (int i = 0; i < 5; ++i) name += kHex[seed() % 16];
      return give_text(name + u".tmp", out);
    });
  }
  STDMETHOD(FileExists)(BSTR FileSpec, VARIANT_BOOL* out) override { return exists(FileSpec, false, out); }
  STDMETHOD(FolderExists)(BSTR FolderSpec, VARIANT_BOOL* out) override { return exists(FolderSpec, true, out); }
  STDMETHOD(GetFile)(BSTR FilePath, IFile** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return boundary([&] {
      const auto p = absolute(bstr_view(FilePath));
      if (bstr_view(FilePath).empty() || !std::filesystem::is_regular_file(p)) return failed(kFileNotFound);
      return File::create(IID_IFile, reinterpret_cast<void**>(out), p);
    });
  }
  STDMETHOD(GetFolder)(BSTR FolderPath, IFolder** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return boundary([&] {
      const auto p = absolute(bstr_view(FolderPath));
      if (bstr_view(FolderPath).empty() || !std::filesystem::is_directory(p)) return failed(kPathNotFound);
      return Folder::create(IID_IFolder, reinterpret_cast<void**>(out), p);
    });
  }
  STDMETHOD(DeleteFile)(BSTR FileSpec, VARIANT_BOOL Force) override {
    return boundary([&] { return failed(delete_paths(bstr_view(FileSpec), Kind::File, Force != VARIANT_FALSE)); });
  }
  STDMETHOD(DeleteFolder)(BSTR FolderSpec, VARIANT_BOOL Force) override {
    return boundary([&] { return failed(delete_paths(bstr_view(FolderSpec), Kind::Folder, Force != VARIANT_FALSE)); });
  }
  STDMETHOD(MoveFile)(BSTR Source, BSTR Destination) override {
    return boundary([&] { return failed(move_files(bstr_view(Source), bstr_view(Destination))); });
  }
  STDMETHOD(CopyFile)(BSTR Source, BSTR Destination, VARIANT_BOOL OverWriteFiles) override {
    return boundary(
        [&] { return failed(copy_files(bstr_view(Source), bstr_view(Destination), OverWriteFiles != VARIANT_FALSE)); });
  }
  STDMETHOD(CreateFolder)(BSTR Path, IFolder** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return boundary([&] {
      const auto p = absolute(bstr_view(Path));
      std::error_code ec;
      if (bstr_view(Path).empty()) return failed(kBadFileName);
      if (std::filesystem::exists(p, ec)) return failed(kFileExists);
      if (!std::filesystem::is_directory(p.parent_path(), ec)) return failed(kPathNotFound);
      if (!std::filesystem::create_directory(p, ec)) return failed(from_errno(ec.value(), kPathNotFound));
      return Folder::create(IID_IFolder, reinterpret_cast<void**>(out), p);
    });
  }
  STDMETHOD(CreateTextFile)(BSTR FileName, VARIANT_BOOL Overwrite, VARIANT_BOOL Unicode, ITextStream** out) override {
    return boundary([&] {
      const auto p = absolute(bstr_view(FileName));
      std::error_code ec;
      if (Overwrite == VARIANT_FALSE && std::filesystem::exists(p, ec)) return failed(kFileExists);
      return failed(open_text_stream(p, ForWriting, true, Unicode ? TristateTrue : TristateFalse, out));
    });
  }
  STDMETHOD(OpenTextFile)(BSTR FileName, IOMode mode, VARIANT_BOOL Create, Tristate Format, ITextStream** out) override {
    return boundary([&] {
      return failed(open_text_stream(absolute(bstr_view(FileName)), mode, Create != VARIANT_FALSE, Format, out));
    });
  }

 private:
  HRESULT failed(HRESULT hr) { return FAILED(hr) ? fail(hr, IID_IFileSystem) : hr; }
  HRESULT exists(BSTR path, bool folder, VARIANT_BOOL* out) {
    if (!out) return E_POINTER;
    return boundary([&] {
      std::error_code ec;
      const auto p = absolute(bstr_view(path));
      const bool yes = !bstr_view(path).empty() &&
                       (folder ? std::filesystem::is_directory(p, ec) : std::filesystem::is_regular_file(p, ec));
      *out = yes ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
};

}  // namespace

HRESULT create_file_system(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  return FileSystem::create(riid, ppv);
}

}  // namespace zx::activation
