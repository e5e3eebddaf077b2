// Zentarix — MIT licence.
// An ASP page turned into a script: literal HTML becomes numbered blocks written by
// Response.WriteBlock, <%= %> becomes Response.Write, includes are spliced in, and every line of
// the script remembers the file and line it came from so errors point into the page.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace zx::script::web {

struct PageOrigin {
  std::string file;  // absolute path of the page or include file
  int line = 0;      // from 1
};

// <!--METADATA TYPE="TypeLib" UUID="{...}" NAME="..." FILE="..." -->: a type library whose
// constants the page uses, named by any of the three.
struct TypeLibReference {
  std::string uuid, name, file;
  PageOrigin where;
};

struct AspPage {
  std::u16string script;            // the page's code, one generated line per origin below
  std::vector<std::string> blocks;  // literal text, as UTF-8 bytes
  std::vector<PageOrigin> origins;  // origins[i] is where script line i+1 came from
  std::vector<TypeLibReference> typeLibs;
  std::string language = "VBScript";
  long codePage = 65001;
  // Where a line of the script came from (the page's first line for lines out of range).
  PageOrigin origin_of(int scriptLine) const;
};

// A page that could not be read or put together: the file and line at fault and ASP's message.
struct PageError {
  std::string code;     // "ASP 0126"
  std::string message;  // "The include file 'x.inc' was not found."
  PageOrigin where;
};

// Reads and compiles the page at `file` (absolute). Includes with `file=` are found beside the
// file that names them, `virtual=` under `root`; neither may leave `root`, and nesting stops at 16
// levels (which ends include loops). False with *error when the page cannot be made.
bool compile_asp_page(const std::filesystem::path& file, const std::filesystem::path& root, AspPage* page,
                      PageError* error);

// The server-side script blocks of global.asa (<script runat="server">), as one script; lines
// outside them become blank lines so line numbers hold. False with *error when it cannot be read.
bool compile_global_asa(const std::filesystem::path& file, AspPage* page, PageError* error);

}  // namespace zx::script::web
