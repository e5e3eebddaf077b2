// Zentarix — MIT licence.
// What the file system object's sources share: its errors, path text and the text stream factory.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "oleauto.h"
#include "scrrun_idl.h"

namespace zx::activation::fsx {

// The language's run-time errors the file system object answers with (error n is 0x800A0000 | n).
constexpr HRESULT kIllegalCall = ZX_HR(0x800A0005);       // 5
constexpr HRESULT kTypeMismatch = ZX_HR(0x800A000D);      // 13
constexpr HRESULT kBadFileName = ZX_HR(0x800A0034);       // 52
constexpr HRESULT kFileNotFound = ZX_HR(0x800A0035);      // 53
constexpr HRESULT kBadFileMode = ZX_HR(0x800A0036);       // 54
constexpr HRESULT kDeviceError = ZX_HR(0x800A0039);       // 57
constexpr HRESULT kFileExists = ZX_HR(0x800A003A);        // 58
constexpr HRESULT kDiskFull = ZX_HR(0x800A003D);          // 61
constexpr HRESULT kPastEnd = ZX_HR(0x800A003E);           // 62
constexpr HRESULT kPermissionDenied = ZX_HR(0x800A0046);  // 70
constexpr HRESULT kPathNotFound = ZX_HR(0x800A004C);      // 76
constexpr char16_t kSource[] = u"Scripting.FileSystemObject";

// Records the error for the caller (source kSource) and returns it.
HRESULT fail(HRESULT hr, REFIID iid);
// The run-time error for an errno value; `missing` is the answer for ENOENT (file or path not found).
HRESULT from_errno(int err, HRESULT missing);

inline std::u16string_view bstr_view(BSTR b) {
  return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view();
}
HRESULT give_text(std::u16string_view text, BSTR* out);

bool is_separator(char16_t c);
std::u16string file_name(std::u16string_view path);
std::u16string parent_name(std::u16string_view path);
std::u16string base_name(std::u16string_view path);
std::u16string extension_name(std::u16string_view path);
std::u16string build_path(std::u16string_view folder, std::u16string_view name);
// A script's path for the host (backslashes read as separators), and made absolute and normal.
std::filesystem::path native(std::u16string_view path);
std::filesystem::path absolute(std::u16string_view path);
std::u16string text_of(const std::filesystem::path& p);

HRESULT copy_files(std::u16string_view source, std::u16string_view destination, bool overwrite);
HRESULT move_files(std::u16string_view source, std::u16string_view destination);
HRESULT last_modified(const std::filesystem::path& p, HRESULT missing, DATE* out);

// Opens a text stream on a file; `create` makes a missing one. Returns a run-time error code
// (unrecorded) on failure.
HRESULT open_text_stream(const std::filesystem::path& path, IOMode mode, bool create, Tristate format,
                         ITextStream** out);

}  // namespace zx::activation::fsx
