# Zentarix — MIT licence.
# Parser for the MIDL subset our type libraries are written in; produces a plain object model.
"""Parses the MIDL subset used by Zentarix IDL files.

The subset: import/importlib (ignored), one library block, typedef'd enums, interfaces
(dual or IUnknown-based), coclasses and one module of functions and constants. Anything else
is refused with a file:line message so that the IDL never silently means something we do not
generate."""

import re


class IdlError(Exception):
    pass


class Token:
    __slots__ = ("kind", "text", "line")

    def __init__(self, kind, text, line):
        self.kind = kind  # 'id', 'num', 'str', 'punct', 'raw', 'eof'
        self.text = text
        self.line = line

    def __repr__(self):
        return "%s(%r)@%d" % (self.kind, self.text, self.line)


_NUM = re.compile(r"0[xX][0-9A-Fa-f]+[uUlL]*|\d+\.\d*(?:[eE][-+]?\d+)?|\d*\.\d+(?:[eE][-+]?\d+)?|\d+[uUlL]*")
_ID = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
_PUNCT = "[](){};,:*=<>-+|~&."


def tokenize(text, path):
    toks = []
    i, n, line = 0, len(text), 1
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
        elif c in " \t\r\f\v":
            i += 1
        elif text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            if j < 0:
                raise IdlError("%s:%d: unterminated comment" % (path, line))
            line += text.count("\n", i, j)
            i = j + 2
        elif c == "#":
            raise IdlError("%s:%d: preprocessor directives are not supported" % (path, line))
        elif c == '"':
            j = i + 1
            buf = []
            while j < n and text[j] != '"':
                if text[j] == "\n":
                    raise IdlError("%s:%d: unterminated string" % (path, line))
                if text[j] == "\\" and j + 1 < n:
                    esc = text[j + 1]
                    buf.append({"n": "\n", "t": "\t", "\\": "\\", '"': '"', "'": "'"}.get(esc, "\\" + esc))
                    j += 2
                    continue
                buf.append(text[j])
                j += 1
            if j >= n:
                raise IdlError("%s:%d: unterminated string" % (path, line))
            toks.append(Token("str", "".join(buf), line))
            i = j + 1
        elif c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            m = _NUM.match(text, i)
            toks.append(Token("num", m.group(0), line))
            i = m.end()
        elif c.isalpha() or c == "_":
            m = _ID.match(text, i)
            word = m.group(0)
            toks.append(Token("id", word, line))
            i = m.end()
            # uuid(...) holds a bare GUID that is not a valid token sequence: take it raw.
            if word == "uuid":
                k = i
                while k < n and text[k] in " \t":
                    k += 1
                if k < n and text[k] == "(":
                    e = text.find(")", k)
                    if e < 0:
                        raise IdlError("%s:%d: unterminated uuid(" % (path, line))
                    toks.append(Token("punct", "(", line))
                    toks.append(Token("raw", text[k + 1:e].strip().strip('"'), line))
                    toks.append(Token("punct", ")", line))
                    i = e + 1
        elif c in _PUNCT:
            toks.append(Token("punct", c, line))
            i += 1
        else:
            raise IdlError("%s:%d: unexpected character %r" % (path, line, c))
    toks.append(Token("eof", "", line))
    return toks


_GUID_RE = re.compile(r"^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$")

# Attributes accepted per construct. Attributes that do not change what we generate (they only
# matter to tools we do not have) are accepted and kept for the reference text.
LIB_ATTRS = {"uuid", "version", "helpstring", "lcid", "helpfile", "helpcontext", "control", "hidden", "restricted"}
ITF_ATTRS = {"object", "uuid", "dual", "oleautomation", "nonextensible", "hidden", "restricted", "helpstring",
             "pointer_default", "helpcontext", "local", "version"}
METHOD_ATTRS = {"id", "propget", "propput", "propputref", "helpstring", "hidden", "restricted", "helpcontext",
                "bindable", "defaultbind", "displaybind", "requestedit", "nonbrowsable", "defaultcollelem",
                "uidefault", "usesgetlasterror", "entry", "local"}
PARAM_ATTRS = {"in", "out", "retval", "optional", "defaultvalue"}
COCLASS_ATTRS = {"uuid", "helpstring", "noncreatable", "appobject", "hidden", "licensed", "control", "helpcontext",
                 "version"}
COCLASS_ITF_ATTRS = {"default", "source", "restricted"}
ENUM_ATTRS = {"uuid", "helpstring", "hidden", "v1_enum", "public", "helpcontext"}
ENUM_MEMBER_ATTRS = {"helpstring", "hidden", "helpcontext"}
MODULE_ATTRS = {"uuid", "dllname", "helpstring", "hidden", "helpcontext", "version"}

# Base types the subset knows, by their spelling after multi-word types are joined.
BASE_TYPES = {"long", "short", "int", "unsigned char", "unsigned long", "unsigned short", "float", "double",
              "BSTR", "VARIANT", "VARIANT_BOOL", "GUID", "IUnknown", "IDispatch", "IPictureDisp", "HRESULT",
              "void", "SAFEARRAY", "DATE"}


class Type:
    """A declared type: base name (a BASE_TYPES entry, an enum or an interface of the file),
    the SAFEARRAY element type when base == 'SAFEARRAY', and the pointer depth."""

    def __init__(self, base, ptr=0, elem=None):
        self.base = base
        self.ptr = ptr
        self.elem = elem

    def spelled(self):
        b = "SAFEARRAY(%s)" % self.elem if self.base == "SAFEARRAY" else self.base
        return b + "*" * self.ptr


class Param:
    def __init__(self, name, type_, attrs, line):
        self.name = name
        self.type = type_
        self.attrs = attrs
        self.line = line
        self.default = None  # (kind, value, text) kind in int/float/str

    def has(self, a):
        return a in self.attrs


class Method:
    def __init__(self, name, ret, params, attrs, line):
        self.name = name
        self.ret = ret
        self.params = params
        self.attrs = attrs
        self.line = line

    @property
    def kind(self):
        for k in ("propget", "propput", "propputref"):
            if k in self.attrs:
                return k
        return "method"

    @property
    def dispid(self):
        return self.attrs.get("id")


class Interface:
    def __init__(self, name, base, attrs, line):
        self.name = name
        self.base = base
        self.attrs = attrs
        self.line = line
        self.methods = []
        self.defined = True


class Enum:
    def __init__(self, name, attrs, line):
        self.name = name
        self.attrs = attrs
        self.line = line
        self.members = []  # (name, value, attrs)


class Coclass:
    def __init__(self, name, attrs, line):
        self.name = name
        self.attrs = attrs
        self.line = line
        self.interfaces = []  # (name, attrs)


class Const:
    def __init__(self, name, type_, value, text, line, attrs):
        self.name = name
        self.type = type_
        self.value = value
        self.text = text
        self.line = line
        self.attrs = attrs


class Module:
    def __init__(self, name, attrs, line):
        self.name = name
        self.attrs = attrs
        self.line = line
        self.functions = []
        self.consts = []


class Library:
    def __init__(self):
        self.name = None
        self.attrs = {}
        self.enums = []
        self.interfaces = []
        self.coclasses = []
        self.modules = []
        self.itf_by_name = {}
        self.enum_by_name = {}
        self.enum_values = {}


def parse_guid(text, where):
    if not _GUID_RE.match(text):
        raise IdlError("%s: malformed uuid %r" % (where, text))
    return text.upper()


def to_int32(v):
    v &= 0xFFFFFFFF
    return v - 0x100000000 if v & 0x80000000 else v


class Parser:
    def __init__(self, text, path):
        self.path = path
        self.toks = tokenize(text, path)
        self.pos = 0
        self.lib = Library()

    # ---- token helpers ------------------------------------------------------------------------
    def peek(self, k=0):
        return self.toks[min(self.pos + k, len(self.toks) - 1)]

    def next(self):
        t = self.toks[self.pos]
        if t.kind != "eof":
            self.pos += 1
        return t

    def err(self, msg, tok=None):
        tok = tok or self.peek()
        return IdlError("%s:%d: %s" % (self.path, tok.line, msg))

    def at(self, text):
        t = self.peek()
        return t.kind in ("punct", "id") and t.text == text

    def accept(self, text):
        if self.at(text):
            return self.next()
        return None

    def expect(self, text):
        t = self.peek()
        if not self.at(text):
            raise self.err("expected '%s' but found '%s'" % (text, t.text or "end of file"))
        return self.next()

    def ident(self, what="a name"):
        t = self.peek()
        if t.kind != "id":
            raise self.err("expected %s but found '%s'" % (what, t.text or "end of file"))
        return self.next().text

    # ---- attributes ---------------------------------------------------------------------------
    def attributes(self, allowed, what):
        """[a, b(x), c("s")] -> {name: value}; a bare attribute maps to True."""
        attrs = {}
        if not self.accept("["):
            return attrs
        while True:
            tok = self.peek()
            name = self.ident("an attribute")
            if name not in allowed:
                raise self.err("attribute '%s' is not supported on %s" % (name, what), tok)
            value = True
            if self.accept("("):
                value = self.attr_value(name, tok)
                self.expect(")")
            attrs[name] = value
            if self.accept("]"):
                return attrs
            self.expect(",")

    def attr_value(self, name, tok):
        where = "%s:%d" % (self.path, tok.line)
        if name == "uuid":
            t = self.next()
            return parse_guid(t.text, where)
        if name in ("helpstring", "dllname", "helpfile", "entry"):
            t = self.next()
            if t.kind != "str":
                if name == "entry" and t.kind == "num":
                    return t.text
                raise IdlError("%s: %s expects a string" % (where, name))
            return t.text
        if name == "id":
            return self.const_expr(where)
        if name in ("helpcontext", "lcid"):
            return self.const_expr(where)
        if name == "version":
            t = self.next()
            parts = t.text.split(".")
            if t.kind != "num" or len(parts) > 2:
                raise IdlError("%s: version expects major.minor" % where)
            return (int(parts[0]), int(parts[1]) if len(parts) > 1 and parts[1] else 0)
        if name == "defaultvalue":
            return self.default_value(where)
        # Anything else (pointer_default(unique), ...): keep the raw text.
        depth, words = 0, []
        while not (depth == 0 and self.at(")")):
            t = self.next()
            if t.kind == "eof":
                raise IdlError("%s: unterminated attribute %s(" % (where, name))
            depth += (t.text == "(") - (t.text == ")")
            words.append(t.text)
        return " ".join(words)

    def default_value(self, where):
        t = self.peek()
        if t.kind == "str":
            self.next()
            return ("str", t.text, '"%s"' % t.text)
        neg = False
        if self.accept("-"):
            neg = True
            t = self.peek()
        if t.kind == "num":
            self.next()
            txt = t.text.rstrip("uUlL")
            if txt.lower().startswith("0x"):
                v = int(txt, 16)
                return ("int", to_int32(-v if neg else v), ("-" if neg else "") + t.text)
            if "." in txt or "e" in txt.lower():
                v = float(txt)
                return ("float", -v if neg else v, ("-" if neg else "") + t.text)
            v = int(txt)
            return ("int", to_int32(-v if neg else v), ("-" if neg else "") + t.text)
        if t.kind == "id" and not neg:
            self.next()
            named = {"TRUE": 1, "FALSE": 0, "VARIANT_TRUE": -1, "VARIANT_FALSE": 0}
            if t.text in named:
                return ("int", named[t.text], t.text)
            if t.text in self.lib.enum_values:
                return ("int", self.lib.enum_values[t.text], t.text)
            raise IdlError("%s: defaultvalue names '%s', which is no enumeration member declared before it"
                           % (where, t.text))
        raise IdlError("%s: unsupported defaultvalue '%s'" % (where, t.text))

    # ---- constant expressions (enum values, ids) -----------------------------------------------
    def const_expr(self, where, scope=None):
        v = self.expr_term(where, scope)
        while self.peek().kind == "punct" and self.peek().text in "|+-&<":
            op = self.next().text
            if op == "<":
                self.expect("<")
                op = "<<"
            r = self.expr_term(where, scope)
            v = {"|": lambda a, b: a | b, "+": lambda a, b: a + b, "-": lambda a, b: a - b,
                 "&": lambda a, b: a & b, "<<": lambda a, b: a << b}[op](v, r)
        return to_int32(v)

    def expr_term(self, where, scope):
        if self.accept("-"):
            return -self.expr_term(where, scope)
        if self.accept("~"):
            return ~self.expr_term(where, scope)
        if self.accept("("):
            v = self.const_expr(where, scope)
            self.expect(")")
            return v
        t = self.next()
        if t.kind == "num":
            txt = t.text.rstrip("uUlL")
            if txt.lower().startswith("0x"):
                return int(txt, 16)
            if "." in txt:
                raise IdlError("%s:%d: integer expected, found %s" % (self.path, t.line, t.text))
            return int(txt)
        if t.kind == "id":
            if scope is not None and t.text in scope:
                return scope[t.text]
            if t.text in self.lib.enum_values:
                return self.lib.enum_values[t.text]
            raise IdlError("%s:%d: unknown name '%s' in a constant expression" % (self.path, t.line, t.text))
        raise IdlError("%s:%d: constant expected, found '%s'" % (self.path, t.line, t.text))

    # ---- types --------------------------------------------------------------------------------
    def type_(self, what):
        tok = self.peek()
        self.accept("const")
        name = self.ident("a type")
        if name == "unsigned":
            second = self.ident("a type after 'unsigned'")
            if second not in ("char", "long", "short"):
                raise self.err("type 'unsigned %s' is not supported" % second, tok)
            name = "unsigned " + second
        elif name == "signed":
            raise self.err("type 'signed ...' is not supported", tok)
        elem = None
        if name == "SAFEARRAY":
            self.expect("(")
            elem = self.type_("a SAFEARRAY element")
            if elem.ptr or elem.base not in ("long", "VARIANT"):
                raise self.err("only SAFEARRAY(long) and SAFEARRAY(VARIANT) are supported", tok)
            self.expect(")")
            elem = elem.base
        elif name not in BASE_TYPES and name not in self.lib.enum_by_name and name not in self.lib.itf_by_name:
            raise self.err("unknown type '%s' in %s (declare interfaces and enumerations before use)" % (name, what),
                           tok)
        ptr = 0
        while self.accept("*"):
            ptr += 1
        return Type(name, ptr, elem)

    # ---- top level ------------------------------------------------------------------------------
    def parse(self):
        while self.peek().kind != "eof":
            self.top_item(inside_library=False)
        if self.lib.name is None:
            raise IdlError("%s: no library block" % self.path)
        return self.lib

    def skip_import(self):
        if self.accept("import"):
            while not self.accept(";"):
                if self.next().kind == "eof":
                    raise self.err("unterminated import")
            return True
        if self.accept("importlib"):
            self.expect("(")
            while not self.accept(")"):
                if self.next().kind == "eof":
                    raise self.err("unterminated importlib")
            self.expect(";")
            return True
        return False

    def top_item(self, inside_library):
        if self.skip_import():
            return
        if self.at("typedef"):
            self.enum_def()
            return
        if self.at("interface") and self.peek(2).text == ";":
            self.next()
            name = self.ident()
            self.next()
            if name not in self.lib.itf_by_name:
                itf = Interface(name, None, {}, self.peek().line)
                itf.defined = False
                self.lib.itf_by_name[name] = itf
            return
        start = self.peek()
        # Attributes are parsed after we know the construct, so scan ahead to find the keyword.
        depth, k = 0, 0
        if self.at("["):
            while True:
                t = self.peek(k)
                if t.kind == "eof":
                    raise self.err("unterminated attribute list", start)
                if t.text == "[":
                    depth += 1
                elif t.text == "]":
                    depth -= 1
                    if depth == 0:
                        break
                k += 1
            k += 1
        kw = self.peek(k)
        if kw.kind != "id":
            raise self.err("expected a declaration, found '%s'" % kw.text, kw)
        if kw.text == "library":
            if inside_library or self.lib.name is not None:
                raise self.err("only one library block is supported", kw)
            self.library()
        elif kw.text == "interface":
            self.interface()
        elif kw.text == "coclass":
            self.coclass()
        elif kw.text == "module":
            self.module()
        elif kw.text in ("dispinterface", "struct", "union", "cpp_quote", "midl_pragma"):
            raise self.err("'%s' is outside the supported IDL subset" % kw.text, kw)
        else:
            raise self.err("unexpected '%s'" % kw.text, kw)

    def library(self):
        self.lib.attrs = self.attributes(LIB_ATTRS, "a library")
        if "uuid" not in self.lib.attrs:
            raise self.err("library needs a uuid")
        self.expect("library")
        self.lib.name = self.ident("the library name")
        self.expect("{")
        while not self.accept("}"):
            if self.peek().kind == "eof":
                raise self.err("unterminated library block")
            self.top_item(inside_library=True)
        self.accept(";")

    def enum_def(self):
        self.expect("typedef")
        line = self.peek().line
        attrs = self.attributes(ENUM_ATTRS, "an enumeration")
        self.expect("enum")
        tag = self.ident() if self.peek().kind == "id" else None
        self.expect("{")
        members, scope, nextv = [], {}, 0
        while not self.accept("}"):
            mattrs = self.attributes(ENUM_MEMBER_ATTRS, "an enumeration member")
            mtok = self.peek()
            mname = self.ident("an enumeration member")
            if mname in scope or mname in self.lib.enum_values:
                raise self.err("enumeration member '%s' declared twice" % mname, mtok)
            if self.accept("="):
                nextv = self.const_expr("%s:%d" % (self.path, mtok.line), scope)
            members.append((mname, to_int32(nextv), mattrs))
            scope[mname] = to_int32(nextv)
            nextv = to_int32(nextv) + 1
            if not self.accept(","):
                self.expect("}")
                break
        name = self.ident("the enumeration's typedef name")
        self.expect(";")
        if name in self.lib.enum_by_name or name in self.lib.itf_by_name:
            raise self.err("'%s' declared twice" % name)
        e = Enum(name, attrs, line)
        e.tag = tag
        e.members = members
        self.lib.enums.append(e)
        self.lib.enum_by_name[name] = e
        self.lib.enum_values.update(scope)

    def interface(self):
        line = self.peek().line
        attrs = self.attributes(ITF_ATTRS, "an interface")
        self.expect("interface")
        name = self.ident("the interface name")
        if "uuid" not in attrs:
            raise self.err("interface %s needs a uuid" % name)
        self.expect(":")
        base = self.ident("the base interface")
        if base not in ("IUnknown", "IDispatch") and base not in self.lib.itf_by_name:
            raise self.err("base interface '%s' of %s is not declared before it" % (base, name))
        if base in self.lib.itf_by_name and not self.lib.itf_by_name[base].defined:
            raise self.err("base interface '%s' of %s is only forward-declared" % (base, name))
        prev = self.lib.itf_by_name.get(name)
        if prev is not None and prev.defined:
            raise self.err("interface %s defined twice" % name)
        itf = Interface(name, base, attrs, line)
        self.lib.itf_by_name[name] = itf
        self.expect("{")
        while not self.accept("}"):
            itf.methods.append(self.method("interface %s" % name, METHOD_ATTRS))
        self.accept(";")
        self.lib.interfaces.append(itf)

    def method(self, where, allowed):
        line = self.peek().line
        attrs = self.attributes(allowed, "a member of " + where)
        ret = self.type_("a return type")
        for cc in ("_stdcall", "__stdcall", "STDMETHODCALLTYPE", "WINAPI"):
            self.accept(cc)
        name = self.ident("a member name")
        self.expect("(")
        params = []
        if self.at("void") and self.peek(1).text == ")":
            self.next()
        while not self.accept(")"):
            ptok = self.peek()
            pattrs = self.attributes(PARAM_ATTRS, "a parameter")
            ptype = self.type_("parameter of %s" % name)
            pname = self.ident("a parameter name")
            if self.accept("["):
                raise self.err("array parameters are not supported; use SAFEARRAY", ptok)
            p = Param(pname, ptype, pattrs, ptok.line)
            if "defaultvalue" in pattrs:
                p.default = pattrs["defaultvalue"]
            params.append(p)
            if not self.accept(","):
                self.expect(")")
                break
        self.expect(";")
        return Method(name, ret, params, attrs, line)

    def coclass(self):
        line = self.peek().line
        attrs = self.attributes(COCLASS_ATTRS, "a coclass")
        self.expect("coclass")
        name = self.ident("the coclass name")
        if "uuid" not in attrs:
            raise self.err("coclass %s needs a uuid" % name)
        c = Coclass(name, attrs, line)
        self.expect("{")
        while not self.accept("}"):
            iattrs = self.attributes(COCLASS_ITF_ATTRS, "a coclass interface")
            if self.accept("dispinterface"):
                raise self.err("dispinterfaces are outside the supported IDL subset")
            self.expect("interface")
            itok = self.peek()
            iname = self.ident("an interface name")
            if iname not in self.lib.itf_by_name and iname not in ("IUnknown", "IDispatch"):
                raise self.err("coclass %s lists undeclared interface %s" % (name, iname), itok)
            c.interfaces.append((iname, iattrs))
            self.expect(";")
        self.accept(";")
        self.lib.coclasses.append(c)

    def module(self):
        line = self.peek().line
        attrs = self.attributes(MODULE_ATTRS, "a module")
        self.expect("module")
        name = self.ident("the module name")
        m = Module(name, attrs, line)
        self.expect("{")
        while not self.accept("}"):
            if self.at("const") or (self.at("[") and self._const_after_attrs()):
                m.consts.append(self.module_const())
            else:
                m.functions.append(self.method("module %s" % name, METHOD_ATTRS))
        self.accept(";")
        self.lib.modules.append(m)

    def _const_after_attrs(self):
        depth, k = 0, 0
        while True:
            t = self.peek(k)
            if t.kind == "eof":
                return False
            depth += (t.text == "[") - (t.text == "]")
            k += 1
            if depth == 0:
                return self.peek(k).text == "const"

    def module_const(self):
        attrs = self.attributes({"helpstring", "helpcontext", "hidden"}, "a module constant")
        tok = self.expect("const")
        t = self.type_("a constant")
        if t.ptr or t.base in ("VARIANT", "SAFEARRAY", "GUID", "IUnknown", "IDispatch", "IPictureDisp", "void",
                               "HRESULT") or t.base in self.lib.itf_by_name:
            raise self.err("constants of type %s are not supported" % t.spelled(), tok)
        name = self.ident("the constant name")
        self.expect("=")
        where = "%s:%d" % (self.path, tok.line)
        if self.peek().kind == "str":
            if t.base not in ("BSTR",):
                raise self.err("a string constant must be declared BSTR")
            s = self.next().text
            self.expect(";")
            return Const(name, t, s, '"%s"' % s, tok.line, attrs)
        start = self.pos
        if t.base in ("float", "double"):
            kind, v, text = self.default_value(where)
            self.expect(";")
            return Const(name, t, float(v), text, tok.line, attrs)
        v = self.const_expr(where)
        text = " ".join(x.text for x in self.toks[start:self.pos])
        self.expect(";")
        return Const(name, t, v, text, tok.line, attrs)


def parse_file(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    return Parser(text, path).parse()
