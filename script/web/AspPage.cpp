// Zentarix — MIT licence.
// Page compilation: includes spliced in textually first (as the server always did, so an include
// may open a block another file closes), then the text split into literal blocks and code.
#include "AspPage.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "zx/com.h"

namespace zx::script::web {
namespace fs = std::filesystem;
namespace {

constexpr int kMaxIncludeDepth = 16;

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool starts_with_ci(std::string_view s, size_t at, std::string_view prefix) {
  if (at + prefix.size() > s.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (lower(s[at + i]) != prefix[i]) return false;
  return true;
}

size_t find_ci(std::string_view s, std::string_view what, size_t from) {
  for (size_t i = from; i + what.size() <= s.size(); ++i)
    if (starts_with_ci(s, i, what)) return i;
  return std::string_view::npos;
}

size_t skip_space(std::string_view s, size_t i) {
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  return i;
}

bool read_file(const fs::path& file, std::string* text) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  if (text->compare(0, 3, "\xEF\xBB\xBF") == 0) text->erase(0, 3);
  return true;
}

// A path is inside the site when, made absolute and normal, it starts with the root's components.
bool inside(const fs::path& path, const fs::path& root) {
  const fs::path p = path.lexically_normal(), r = root.lexically_normal();
  auto [ri, pi] = std::mismatch(r.begin(), r.end(), p.begin(), p.end());
  return ri == r.end() || (ri->empty() && std::next(ri) == r.end());
}

// The page's text with every include spliced in, and where each stretch of it came from.
class Source {
 public:
  std::string text;
  std::vector<TypeLibReference> typeLibs;

  void mark(const std::string& file, int line) { m_marks.push_back({text.size(), {file, line}}); }

  // Where the text at `offset` came from. Offsets are asked for in rising order, so a cursor
  // walks the text once.
  PageOrigin origin_at(size_t offset) {
    while (m_mark + 1 < m_marks.size() && m_marks[m_mark + 1].first <= offset) {
      ++m_mark;
      m_pos = m_marks[m_mark].first;
      m_line = m_marks[m_mark].second.line;
    }
    if (m_marks.empty()) return {};
    if (m_pos < m_marks[m_mark].first) {
      m_pos = m_marks[m_mark].first;
      m_line = m_marks[m_mark].second.line;
    }
    for (; m_pos < offset && m_pos < text.size(); ++m_pos)
      if (text[m_pos] == '\n') ++m_line;
    return {m_marks[m_mark].second.file, m_line};
  }

 private:
  std::vector<std::pair<size_t, PageOrigin>> m_marks;
  size_t m_mark = 0, m_pos = 0;
  int m_line = 1;
};

struct Directive {
  bool include = false;  // an include (else METADATA or not a directive)
  bool typeLib = false;  // METADATA TYPE="TypeLib"
  TypeLibReference reference;
  bool isVirtual = false;
  std::string path;
  size_t end = 0;  // after "-->"
};

// "<!-- #include file="x" -->", "<!--#include virtual="/x" -->", "<!--METADATA ... -->" at `at`.
bool parse_directive(std::string_view s, size_t at, Directive* d) {
  size_t i = skip_space(s, at + 4);
  if (starts_with_ci(s, i, "metadata")) {
    const size_t close = s.find("-->", i);
    if (close == std::string_view::npos) return false;
    d->end = close + 3;
    // KEY="value" pairs, quotes optional.
    for (i += 8; (i = skip_space(s, i)) < close;) {
      const size_t eq = s.find('=', i);
      if (eq == std::string_view::npos || eq > close) break;
      std::string key(s.substr(i, eq - i));
      std::transform(key.begin(), key.end(), key.begin(), lower);
      size_t v = skip_space(s, eq + 1), end;
      std::string value;
      if (v < close && (s[v] == '"' || s[v] == '\'')) {
        end = std::min(close, s.find(s[v], v + 1));
        value = std::string(s.substr(v + 1, end - v - 1));
        ++end;
      } else {
        end = std::min(close, s.find_first_of(" \t\r\n", v));
        value = std::string(s.substr(v, end - v));
      }
      std::string folded = value;
      std::transform(folded.begin(), folded.end(), folded.begin(), lower);
      if (key == "type") d->typeLib = folded == "typelib";
      else if (key == "uuid") d->reference.uuid = folded;
      else if (key == "name") d->reference.name = value;
      else if (key == "file") d->reference.file = value;
      i = end;
    }
    return true;
  }
  if (!starts_with_ci(s, i, "#include")) return false;
  i = skip_space(s, i + 8);
  if (starts_with_ci(s, i, "file")) i += 4;
  else if (starts_with_ci(s, i, "virtual")) i += 7, d->isVirtual = true;
  else return false;
  i = skip_space(s, i);
  if (i >= s.size() || s[i] != '=') return false;
  i = skip_space(s, i + 1);
  if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) return false;
  const size_t close = s.find(s[i], i + 1);
  if (close == std::string_view::npos) return false;
  d->path = std::string(s.substr(i + 1, close - i - 1));
  i = skip_space(s, close + 1);
  if (s.compare(i, 3, "-->") != 0) return false;
  d->include = true;
  d->end = i + 3;
  return true;
}

bool expand(const fs::path& file, const fs::path& root, int depth, Source& out, PageError* error) {
  std::string text;
  if (!read_file(file, &text)) {
    error->code = "ASP 0126";
    error->message = "The include file '" + file.filename().string() + "' was not found.";
    return false;
  }
  const std::string name = file.string();
  out.mark(name, 1);
  size_t pos = 0;
  int line = 1;
  for (;;) {
    const size_t at = text.find("<!--", pos);
    if (at == std::string::npos) break;
    Directive d;
    if (!parse_directive(text, at, &d)) {
      out.text.append(text, pos, at + 4 - pos);
      line += static_cast<int>(std::count(text.begin() + static_cast<ptrdiff_t>(pos), text.begin() + static_cast<ptrdiff_t>(at + 4), '\n'));
      pos = at + 4;
      continue;
    }
    out.text.append(text, pos, at - pos);
    line += static_cast<int>(std::count(text.begin() + static_cast<ptrdiff_t>(pos), text.begin() + static_cast<ptrdiff_t>(at), '\n'));
    if (d.typeLib) {
      d.reference.where = {name, line};
      out.typeLibs.push_back(d.reference);
    }
    if (d.include) {
      const fs::path target = d.isVirtual ? root / fs::path(d.path).relative_path() : file.parent_path() / d.path;
      if (!inside(target, root)) {
        *error = {"ASP 0131", "The include file '" + d.path + "' cannot be outside the site.", {name, line}};
        return false;
      }
      if (depth >= kMaxIncludeDepth) {
        *error = {"ASP 0126", "The include file '" + d.path + "' nests too deeply (an include loop?).", {name, line}};
        return false;
      }
      if (!fs::is_regular_file(target)) {
        *error = {"ASP 0126", "The include file '" + d.path + "' was not found.", {name, line}};
        return false;
      }
      if (!expand(target.lexically_normal(), root, depth + 1, out, error)) return false;
    }
    line += static_cast<int>(std::count(text.begin() + static_cast<ptrdiff_t>(at), text.begin() + static_cast<ptrdiff_t>(d.end), '\n'));
    out.mark(name, line);
    pos = d.end;
  }
  out.text.append(text, pos);
  return true;
}

// <script ... runat="server" ...>code</script>: the code's range and the block's end.
struct ScriptBlock {
  size_t start = std::string::npos, codeStart = 0, codeEnd = 0, end = 0;
};

ScriptBlock find_server_script(std::string_view s, size_t from) {
  for (size_t at = find_ci(s, "<script", from); at != std::string_view::npos; at = find_ci(s, "<script", at + 7)) {
    const size_t close = s.find('>', at);
    if (close == std::string_view::npos) break;
    std::string tag(s.substr(at, close - at));
    std::transform(tag.begin(), tag.end(), tag.begin(), lower);
    tag.erase(std::remove_if(tag.begin(), tag.end(), [](char c) { return c == '"' || c == '\'' || c == ' '; }), tag.end());
    if (tag.find("runat=server") == std::string::npos) continue;
    const size_t endTag = find_ci(s, "</script>", close + 1);
    if (endTag == std::string_view::npos) break;
    return {at, close + 1, endTag, endTag + 9};
  }
  return {};
}

class Compiler {
 public:
  Compiler(Source& source, AspPage* page, bool literals) : m_src(source), m_page(page), m_literals(literals) {}

  bool run(PageError* error) {
    const std::string_view s = m_src.text;
    size_t pos = 0;
    while (pos < s.size()) {
      const size_t open = s.find("<%", pos);
      const ScriptBlock block = find_server_script(s, pos);
      const size_t next = std::min(open, block.start);
      if (next > pos && m_literals) {
        m_page->blocks.emplace_back(s.substr(pos, (next == std::string_view::npos ? s.size() : next) - pos));
        emit("Response.WriteBlock " + std::to_string(m_page->blocks.size() - 1), pos);
      }
      if (next == std::string_view::npos) break;
      if (next == block.start) {
        code(s.substr(block.codeStart, block.codeEnd - block.codeStart), block.codeStart);
        pos = block.end;
        continue;
      }
      const size_t close = s.find("%>", open + 2);
      if (close == std::string_view::npos) {
        *error = {"ASP 0116", "Missing close of script delimiter.", m_src.origin_at(open)};
        return false;
      }
      const std::string_view body = s.substr(open + 2, close - open - 2);
      if (!body.empty() && body[0] == '@') {
        if (!directive(body.substr(1), open, error)) return false;
      } else if (!body.empty() && body[0] == '=') {
        std::string expr(body.substr(1));
        std::replace_if(expr.begin(), expr.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        emit("Response.Write (" + expr + ")", open + 3);
      } else {
        code(body, open + 2);
      }
      pos = close + 2;
    }
    if (m_optionExplicit) {  // it must be the script's first statement, wherever the page put it
      m_page->script.insert(0, u"Option Explicit\n");
      m_page->origins.insert(m_page->origins.begin(), m_page->origins.empty() ? PageOrigin{} : m_page->origins.front());
    }
    return true;
  }

 private:
  void emit(std::string_view line, size_t offset) {
    m_page->script += zx::to_utf16(line);
    m_page->script += u'\n';
    m_page->origins.push_back(m_src.origin_at(offset));
  }

  void code(std::string_view body, size_t offset) {
    for (size_t start = 0;;) {
      const size_t nl = body.find('\n', start);
      std::string_view line = body.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (is_option_explicit(line)) {
        m_optionExplicit = true;
        line = {};
      }
      emit(line, offset + start);
      if (nl == std::string_view::npos) break;
      start = nl + 1;
    }
  }

  // <%@ Language="VBScript" CodePage=65001 %>
  bool directive(std::string_view body, size_t offset, PageError* error) {
    size_t i = 0;
    while ((i = skip_space(body, i)) < body.size()) {
      size_t eq = body.find('=', i);
      if (eq == std::string_view::npos) break;
      std::string key(body.substr(i, eq - i));
      while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back()))) key.pop_back();
      std::transform(key.begin(), key.end(), key.begin(), lower);
      i = skip_space(body, eq + 1);
      std::string value;
      if (i < body.size() && (body[i] == '"' || body[i] == '\'')) {
        const size_t q = body.find(body[i], i + 1);
        value = std::string(body.substr(i + 1, (q == std::string_view::npos ? body.size() : q) - i - 1));
        i = q == std::string_view::npos ? body.size() : q + 1;
      } else {
        const size_t e = std::min(body.size(), body.find_first_of(" \t\r\n", i));
        value = std::string(body.substr(i, e - i));
        i = e;
      }
      if (key == "language") {
        std::string v = value;
        std::transform(v.begin(), v.end(), v.begin(), lower);
        if (v != "vbscript" && v != "vbs") {
          *error = {"ASP 0129", "The scripting language '" + value + "' is not found on the server.", m_src.origin_at(offset)};
          return false;
        }
        m_page->language = value;
      } else if (key == "codepage") {
        m_page->codePage = std::atol(value.c_str());
      }
    }
    return true;
  }

  static bool is_option_explicit(std::string_view line) {
    const size_t start = skip_space(line, 0);
    if (!starts_with_ci(line, start, "option")) return false;
    const size_t word = skip_space(line, start + 6);
    if (word == start + 6 || !starts_with_ci(line, word, "explicit")) return false;
    return skip_space(line, word + 8) == line.size();
  }

  Source& m_src;
  AspPage* m_page;
  bool m_literals;
  bool m_optionExplicit = false;
};

bool compile(const fs::path& file, const fs::path& root, bool literals, AspPage* page, PageError* error) {
  Source source;
  *page = AspPage();
  error->where = {file.string(), 1};
  if (!expand(file, root, 0, source, error)) return false;
  page->typeLibs = source.typeLibs;
  return Compiler(source, page, literals).run(error);
}

}  // namespace

PageOrigin AspPage::origin_of(int scriptLine) const {
  if (scriptLine >= 1 && static_cast<size_t>(scriptLine) <= origins.size()) return origins[static_cast<size_t>(scriptLine) - 1];
  return origins.empty() ? PageOrigin{} : origins.front();
}

bool compile_asp_page(const fs::path& file, const fs::path& root, AspPage* page, PageError* error) {
  return compile(file, root, true, page, error);
}

bool compile_global_asa(const fs::path& file, AspPage* page, PageError* error) {
  return compile(file, file.parent_path(), false, page, error);
}

}  // namespace zx::script::web
