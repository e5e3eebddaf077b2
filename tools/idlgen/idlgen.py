#!/usr/bin/env python3
# Zentarix — MIT licence.
# Turns an IDL file into C++ interface declarations, dispatch tables and a Markdown API reference.
"""usage: idlgen.py [--prefix NAME --outdir DIR] [--python FILE] file.idl

Writes DIR/NAME.h, DIR/NAME_dispatch.cpp and DIR/NAME_api.md, and with --python the type tables
a late-binding Python client reads (FILE). Files whose content would not change are left untouched
so that dependent objects are not rebuilt."""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from idlparse import IdlError, parse_file  # noqa: E402

CPP_KEYWORDS = {"alignas", "alignof", "and", "asm", "auto", "bool", "break", "case", "catch", "char", "class",
                "const", "constexpr", "continue", "default", "delete", "do", "double", "else", "enum", "explicit",
                "export", "extern", "false", "float", "for", "friend", "goto", "if", "inline", "int", "long",
                "mutable", "namespace", "new", "noexcept", "not", "operator", "or", "private", "protected",
                "public", "register", "return", "short", "signed", "sizeof", "static", "struct", "switch",
                "template", "this", "throw", "true", "try", "typedef", "typeid", "typename", "union", "unsigned",
                "using", "virtual", "void", "volatile", "while", "xor", "requires", "concept", "module", "import"}

# base type -> (C++ type, VARTYPE, VARIANT field)
SCALARS = {
    "long": ("LONG", "VT_I4", "lVal"),
    "int": ("INT", "VT_I4", "intVal"),
    "short": ("SHORT", "VT_I2", "iVal"),
    "unsigned char": ("BYTE", "VT_UI1", "bVal"),
    "unsigned long": ("ULONG", "VT_UI4", "ulVal"),
    "unsigned short": ("USHORT", "VT_UI2", "uiVal"),
    "float": ("FLOAT", "VT_R4", "fltVal"),
    "double": ("DOUBLE", "VT_R8", "dblVal"),
    "DATE": ("DATE", "VT_DATE", "date"),
    "BSTR": ("BSTR", "VT_BSTR", "bstrVal"),
    "VARIANT_BOOL": ("VARIANT_BOOL", "VT_BOOL", "boolVal"),
    "VARIANT": ("VARIANT", "VT_VARIANT", None),
    "GUID": ("GUID", "VT_CLSID", None),
    "HRESULT": ("HRESULT", "VT_HRESULT", "scode"),
}
ITF_BUILTIN = {"IUnknown": "VT_UNKNOWN", "IDispatch": "VT_DISPATCH", "IPictureDisp": "VT_DISPATCH"}


def cname(n):
    return n + "_" if n in CPP_KEYWORDS else n


def u16(s):
    out = []
    for ch in s:
        o = ord(ch)
        if ch in '"\\':
            out.append("\\" + ch)
        elif 32 <= o < 127:
            out.append(ch)
        elif o <= 0xFFFF:
            out.append("\\u%04X" % o)
        else:
            out.append("\\U%08X" % o)
    return 'u"%s"' % "".join(out)


def int_lit(v):
    return "(-2147483647 - 1)" if v == -2147483648 else str(v)


def guid_init(g):
    p = g.split("-")
    d4 = p[3] + p[4]
    return "{0x%s, 0x%s, 0x%s, {%s}}" % (p[0], p[1], p[2],
                                          ", ".join("0x" + d4[i:i + 2] for i in range(0, 16, 2)))


class Model:
    """Resolved view of a parsed library: type mapping and validation for generation."""

    def __init__(self, lib, path):
        self.lib = lib
        self.path = path
        self.warnings = []

    def err(self, line, msg):
        return IdlError("%s:%d: %s" % (self.path, line, msg))

    def is_itf(self, base):
        return base in ITF_BUILTIN or base in self.lib.itf_by_name

    def is_dispatch_itf(self, name):
        if name in ("IDispatch", "IPictureDisp"):
            return True
        if name == "IUnknown":
            return False
        itf = self.lib.itf_by_name[name]
        if not itf.defined:
            return "dual" in itf.attrs
        b = itf.base
        while b not in ("IUnknown", "IDispatch", None):
            b = self.lib.itf_by_name[b].base
        return b == "IDispatch"

    def is_dual(self, itf):
        return "dual" in itf.attrs

    def level(self, t):
        """Indirection beyond the automation value: 0 = by value, 1 = by reference."""
        return t.ptr - 1 if self.is_itf(t.base) else t.ptr

    def ctype(self, t):
        if t.base == "SAFEARRAY":
            return "SAFEARRAY*" + "*" * t.ptr
        if t.base in SCALARS:
            base = SCALARS[t.base][0]
        elif t.base == "void":
            base = "void"
        else:
            base = t.base  # interfaces and enumerations keep their names
        return base + "*" * t.ptr

    def value_vt(self, t, line):
        """VARTYPE of the automation value (without VT_BYREF)."""
        if t.base == "SAFEARRAY":
            return "VT_ARRAY | " + ("VT_I4" if t.elem == "long" else "VT_VARIANT")
        if t.base in SCALARS:
            return SCALARS[t.base][1]
        if t.base in self.lib.enum_by_name:
            return "VT_I4"
        if self.is_itf(t.base):
            return "VT_DISPATCH" if self.is_dispatch_itf(t.base) else "VT_UNKNOWN"
        raise self.err(line, "type %s has no automation equivalent" % t.spelled())

    def param_vt(self, p):
        lv = self.level(p.type)
        if lv < 0:
            raise self.err(p.line, "interface %s passed by value (parameter %s)" % (p.type.base, p.name))
        if lv > 1:
            # Reachable through the vtable only; Invoke answers DISP_E_BADVARTYPE for the member.
            return "VT_VOID"
        vt = self.value_vt(p.type, p.line)
        return ("VT_BYREF | " + vt) if lv == 1 else vt

    def thunk_arg(self, p, i):
        t = p.type
        lv = self.level(t)
        if lv >= 1:
            inner = self.ctype(t)[:-1]
            return "static_cast<%s*>(a[%d].byref)" % (inner, i)
        if t.base == "VARIANT":
            return "a[%d]" % i
        if t.base == "GUID":
            return "*static_cast<GUID*>(a[%d].byref)" % i
        if t.base == "SAFEARRAY":
            return "a[%d].parray" % i
        if t.base in SCALARS:
            return "a[%d].%s" % (i, SCALARS[t.base][2])
        if t.base in self.lib.enum_by_name:
            return "static_cast<%s>(a[%d].lVal)" % (t.base, i)
        if t.base == "IUnknown":
            return "a[%d].punkVal" % i
        if t.base == "IDispatch":
            return "a[%d].pdispVal" % i
        return "static_cast<%s*>(a[%d].punkVal)" % (t.base, i)

    def method_cname(self, m):
        return {"propget": "get_", "propput": "put_", "propputref": "putref_"}.get(m.kind, "") + m.name

    # ---- validation ---------------------------------------------------------------------------
    def validate(self):
        lib = self.lib
        for name, itf in lib.itf_by_name.items():
            if not itf.defined:
                raise self.err(itf.line, "interface %s is forward-declared but never defined" % name)
        for itf in lib.interfaces:
            if self.is_dual(itf) and not self.is_dispatch_itf(itf.name):
                raise self.err(itf.line, "dual interface %s must derive from IDispatch" % itf.name)
            seen = {}
            for m in itf.methods:
                self.validate_method(itf, m, seen)
        for c in lib.coclasses:
            if sum(1 for _, a in c.interfaces if "default" in a) > 1:
                raise self.err(c.line, "coclass %s has more than one [default] interface" % c.name)
        names = {}
        for kind, items in (("enumeration", lib.enums), ("interface", lib.interfaces), ("coclass", lib.coclasses)):
            for it in items:
                if it.name in names:
                    raise self.err(it.line, "%s %s reuses the name of a %s" % (kind, it.name, names[it.name]))
                names[it.name] = kind
        for mod in lib.modules:
            for f in mod.functions:
                for i, p in enumerate(f.params):
                    self.validate_param(f, p, i, for_dispatch=False)

    def validate_method(self, itf, m, seen):
        dual = self.is_dual(itf)
        if dual:
            if m.ret.base != "HRESULT" or m.ret.ptr:
                raise self.err(m.line, "%s.%s: members of a dual interface return HRESULT" % (itf.name, m.name))
            if m.dispid is None:
                raise self.err(m.line, "%s.%s: members of a dual interface need an id()" % (itf.name, m.name))
        key = (m.name.lower(), m.kind)
        if key in seen:
            raise self.err(m.line, "%s.%s declared twice (%s)" % (itf.name, m.name, m.kind))
        seen[key] = m
        if m.dispid is not None:
            for (other_name, other_kind), o in seen.items():
                if o is m or o.dispid != m.dispid:
                    continue
                if other_name != m.name.lower() or other_kind == m.kind or "method" in (other_kind, m.kind):
                    raise self.err(m.line, "%s.%s reuses dispid %d of %s" % (itf.name, m.name, m.dispid, o.name))
        for i, p in enumerate(m.params):
            self.validate_param(m, p, i, for_dispatch=dual)
        if m.kind in ("propput", "propputref"):
            vis = [p for p in m.params if not p.has("retval")]
            if not vis or vis[-1].has("out") or len(vis) != len(m.params):
                raise self.err(m.line, "%s.%s: a property put takes its value as the last [in] parameter"
                               % (itf.name, m.name))
        if m.kind == "propget":
            if any(p.has("out") and not p.has("retval") for p in m.params):
                raise self.err(m.line, "%s.%s: a property get returns through [out, retval] only"
                               % (itf.name, m.name))

    def validate_param(self, m, p, i, for_dispatch):
        if p.type.base in ("void", "HRESULT"):
            raise self.err(p.line, "parameter %s cannot be %s" % (p.name, p.type.base))
        if p.has("retval"):
            if not p.has("out") or i != len(m.params) - 1:
                raise self.err(p.line, "%s: [retval] must be the last parameter and [out]" % m.name)
        if p.has("out") and self.level(p.type) < 1:
            raise self.err(p.line, "%s: [out] parameter %s must be a pointer" % (m.name, p.name))
        if p.has("optional") or p.default:
            if p.has("out") and not p.has("in"):
                raise self.err(p.line, "%s: [out] parameter %s cannot be optional" % (m.name, p.name))
        if p.default:
            kind = p.default[0]
            base = p.type.base
            if self.level(p.type) != 0:
                raise self.err(p.line, "%s: defaultvalue on pointer parameter %s" % (m.name, p.name))
            # An interface pointer's only default is null, written defaultvalue(0).
            ok = (base == "VARIANT" or (kind == "str" and base == "BSTR")
                  or (kind == "int" and p.default[1] == 0 and self.is_itf(base))
                  or (kind == "float" and base in ("float", "double"))
                  or (kind == "int" and (base in SCALARS and base not in ("BSTR", "GUID")
                                         or base in self.lib.enum_by_name)))
            if not ok:
                raise self.err(p.line, "%s: defaultvalue %s does not suit parameter %s of type %s"
                               % (m.name, p.default[2], p.name, p.type.spelled()))
        # [local] declares a member in-process only on purpose (it passes raw pointers), so its
        # missing automation type is expected rather than reported.
        if for_dispatch and self.param_vt(p) == "VT_VOID" and "local" not in m.attrs:
            self.warnings.append("%s:%d: warning: %s: parameter %s (%s) has no automation type; the member is "
                                 "callable through the vtable only" % (self.path, p.line, m.name, p.name,
                                                                       p.type.spelled()))


# ---- header -------------------------------------------------------------------------------------

def itf_order(model):
    order, done = [], set()

    def visit(itf):
        if itf.name in done:
            return
        done.add(itf.name)
        if itf.base in model.lib.itf_by_name:
            visit(model.lib.itf_by_name[itf.base])
        order.append(itf)

    for itf in model.lib.interfaces:
        visit(itf)
    return order


def gen_header(model, prefix, idl_name):
    lib = model.lib
    o = []
    w = o.append
    w("// Zentarix — MIT licence.")
    w("// Generated by tools/idlgen from %s: interfaces, GUIDs, enumerations and dispatch tables." % idl_name)
    w("#pragma once")
    w("#include <cstdint>")
    w("")
    w('#include "oaidl.h"')
    w('#include "olectl.h"')
    w('#include "winreg.h"')
    w('#include "zxdispatch.h"')
    w("")
    w("inline constexpr GUID LIBID_%s = %s;" % (lib.name, guid_init(lib.attrs["uuid"])))
    w("")
    for e in lib.enums:
        w("enum %s : int32_t {" % e.name)
        for n, v, _ in e.members:
            w("  %s = %s," % (n, int_lit(v)))
        w("};")
    if lib.enums:
        w("")
    for itf in lib.interfaces:
        w("struct %s;" % itf.name)
    w("")
    for itf in lib.interfaces:
        w("inline constexpr IID IID_%s = %s;" % (itf.name, guid_init(itf.attrs["uuid"])))
    for c in lib.coclasses:
        w("inline constexpr CLSID CLSID_%s = %s;" % (c.name, guid_init(c.attrs["uuid"])))
    w("")
    for itf in itf_order(model):
        w("struct %s : %s {" % (itf.name, itf.base))
        for m in itf.methods:
            params = ", ".join("%s %s" % (model.ctype(p.type), cname(p.name)) for p in m.params)
            if m.ret.base == "HRESULT" and not m.ret.ptr:
                w("  STDMETHOD(%s)(%s) PURE;" % (model.method_cname(m), params))
            else:
                w("  STDMETHOD_(%s, %s)(%s) PURE;" % (model.ctype(m.ret), model.method_cname(m), params))
        w("};")
        w("ZX_DECLARE_UUID(%s, IID_%s);" % (itf.name, itf.name))
        w("")
    duals = [i for i in lib.interfaces if model.is_dual(i)]
    if duals:
        w("// Member tables for the generic IDispatch (ZxDispatchGetIDsOfNames / ZxDispatchInvoke).")
        for itf in duals:
            w("extern const ZX_DISPATCH_TABLE %s_%s_dispatch;" % (prefix, itf.name))
            w("template <>")
            w("struct zx::dispatch_table_of<%s> {" % itf.name)
            w("  static constexpr const ZX_DISPATCH_TABLE& value = %s_%s_dispatch;" % (prefix, itf.name))
            w("};")
        w("")
    for mod in lib.modules:
        w("// module %s" % mod.name)
        for f in mod.functions:
            params = ", ".join("%s %s" % (model.ctype(p.type), cname(p.name)) for p in f.params)
            if f.ret.base == "HRESULT" and not f.ret.ptr:
                w("STDAPI %s(%s);" % (f.name, params))
            else:
                w("STDAPI_(%s) %s(%s);" % (model.ctype(f.ret), f.name, params))
        for c in mod.consts:
            if c.type.base == "BSTR":
                w("inline constexpr const OLECHAR* %s = %s;" % (c.name, u16(c.value)))
            elif c.type.base in ("float", "double"):
                w("inline constexpr %s %s = %r;" % (model.ctype(c.type), c.name, c.value))
            else:
                w("inline constexpr %s %s = %s;" % (model.ctype(c.type), c.name, int_lit(c.value)))
        w("")
    numbers = [(n, v) for e in lib.enums for n, v, _ in e.members]
    numbers += [(c.name, c.value) for mod in lib.modules for c in mod.consts
                if c.type.base not in ("BSTR", "float", "double")]
    w("// Every named number of the library, for hosts that give scripts its constants.")
    w("inline constexpr UINT %s_constant_count = %d;" % (prefix, len(numbers)))
    w("inline constexpr ZX_CONSTANT_DESC %s_constants[%d] = {" % (prefix, max(1, len(numbers))))
    for n, v in numbers or [(None, 0)]:
        w("    {%s, %s}," % (u16(n) if n else "nullptr", int_lit(v)))
    w("};")
    w("")
    w("// Coclasses and the library descriptor (for registration and the class table).")
    w("inline constexpr UINT %s_coclass_count = %d;" % (prefix, len(lib.coclasses)))
    w("extern const ZX_COCLASS_DESC %s_coclasses[%d];" % (prefix, max(1, len(lib.coclasses))))
    w("extern const ZX_TYPELIB_DESC %s_typelib;" % prefix)
    return "\n".join(o) + "\n"


# ---- dispatch tables ----------------------------------------------------------------------------

def dispatch_members(model, itf):
    """All members reachable through a dual interface, base interfaces first (vtable order)."""
    chain = []
    cur = itf
    while cur is not None:
        chain.append(cur)
        cur = model.lib.itf_by_name.get(cur.base)
    out = []
    for c in reversed(chain):
        for m in c.methods:
            out.append((c, m))
    return out


def gen_dispatch(model, prefix, idl_name):
    lib = model.lib
    o = []
    w = o.append
    w("// Zentarix — MIT licence.")
    w("// Generated by tools/idlgen from %s: member tables and thunks for the generic IDispatch." % idl_name)
    w('#include "%s.h"' % prefix)
    w("")
    w("namespace {")
    emitted = set()
    for itf in lib.interfaces:
        if not model.is_dual(itf):
            continue
        for owner, m in dispatch_members(model, itf):
            sym = "%s_%s" % (owner.name, model.method_cname(m))
            if sym in emitted:
                continue
            emitted.add(sym)
            w("")
            args = ", ".join(model.thunk_arg(p, i) for i, p in enumerate(m.params))
            w("HRESULT %s_thunk(IUnknown* p, VARIANT*%s) {" % (sym, " a" if m.params else ""))
            w("  return static_cast<%s*>(p)->%s(%s);" % (owner.name, model.method_cname(m), args))
            w("}")
            for i, p in enumerate(m.params):
                if p.default:
                    kind, v, _ = p.default
                    if model.is_itf(p.type.base):
                        init = "ZxStaticDefaultNull(%s)" % model.param_vt(p)
                    elif kind == "str":
                        init = "ZxStaticDefaultBstr(%s)" % u16(v)
                    elif kind == "float":
                        init = "ZxStaticDefaultR8(%r)" % v
                    else:
                        init = "ZxStaticDefaultI4(%s)" % int_lit(v)
                    w("constexpr VARIANT %s_d%d = %s;" % (sym, i, init))
            if m.params:
                w("constexpr ZX_PARAM_DESC %s_params[] = {" % sym)
                for i, p in enumerate(m.params):
                    flags = [f for f, a in (("ZX_PARAM_IN", "in"), ("ZX_PARAM_OUT", "out"),
                                            ("ZX_PARAM_RETVAL", "retval"), ("ZX_PARAM_OPTIONAL", "optional"))
                             if p.has(a)]
                    if p.default:
                        flags.append("ZX_PARAM_HASDEFAULT")
                        if "ZX_PARAM_OPTIONAL" not in flags:
                            flags.append("ZX_PARAM_OPTIONAL")
                    if not p.has("in") and not p.has("out"):
                        flags.insert(0, "ZX_PARAM_IN")
                    vt = model.param_vt(p)
                    iid = "nullptr"
                    if model.is_itf(p.type.base):
                        iid = "&IID_%s" % p.type.base
                    w("    {%s, static_cast<VARTYPE>(%s), static_cast<uint16_t>(%s), %s, %s}," % (
                        u16(p.name), vt, " | ".join(flags), "&%s_d%d" % (sym, i) if p.default else "nullptr", iid))
                w("};")
        w("")
        members = dispatch_members(model, itf)
        w("constexpr ZX_MEMBER_DESC %s_members[] = {" % itf.name)
        for owner, m in members:
            sym = "%s_%s" % (owner.name, model.method_cname(m))
            kind = {"method": "ZX_INVOKE_FUNC", "propget": "ZX_INVOKE_PROPERTYGET",
                    "propput": "ZX_INVOKE_PROPERTYPUT", "propputref": "ZX_INVOKE_PROPERTYPUTREF"}[m.kind]
            w("    {%s, %s, %s, %d, %s, %s_thunk}," % (int_lit(m.dispid), u16(m.name), kind, len(m.params),
                                                     "%s_params" % sym if m.params else "nullptr", sym))
        w("};")
    w("")
    w("}  // namespace")
    w("")
    for itf in lib.interfaces:
        if model.is_dual(itf):
            n = len(dispatch_members(model, itf))
            w("const ZX_DISPATCH_TABLE %s_%s_dispatch = {&IID_%s, %s, %s_members, %d};"
              % (prefix, itf.name, itf.name, u16(itf.name), itf.name, n))
    w("")
    w("namespace {")
    for c in lib.coclasses:
        w("constexpr ZX_COCLASS_INTERFACE %s_interfaces[] = {" % c.name)
        for iname, attrs in c.interfaces:
            w("    {&IID_%s, %s, %s}," % (iname, u16(iname), "TRUE" if "default" in attrs else "FALSE"))
        if not c.interfaces:
            w("    {nullptr, nullptr, FALSE},")
        w("};")
    w("constexpr ZX_TYPELIB_INTERFACE typelib_interfaces[] = {")
    for itf in lib.interfaces:
        auto = model.is_dual(itf) or "oleautomation" in itf.attrs
        w("    {&IID_%s, %s, %s}," % (itf.name, u16(itf.name), "TRUE" if auto else "FALSE"))
    if not lib.interfaces:
        w("    {nullptr, nullptr, FALSE},")
    w("};")
    w("}  // namespace")
    w("")
    w("const ZX_COCLASS_DESC %s_coclasses[%d] = {" % (prefix, max(1, len(lib.coclasses))))
    for c in lib.coclasses:
        w("    {&CLSID_%s, %s, %s, %s_interfaces, %d, %s}," % (
            c.name, u16(c.name), u16(c.attrs.get("helpstring", "")), c.name, len(c.interfaces),
            "TRUE" if "noncreatable" in c.attrs else "FALSE"))
    if not lib.coclasses:
        w("    {nullptr, nullptr, nullptr, nullptr, 0, FALSE},")
    w("};")
    major, minor = lib.attrs.get("version", (1, 0))
    w("const ZX_TYPELIB_DESC %s_typelib = {&LIBID_%s, %d, %d, %d, %s, %s, typelib_interfaces, %d};" % (
        prefix, lib.name, major, minor, lib.attrs.get("lcid", 0), u16(lib.name),
        u16(lib.attrs.get("helpstring", "")), len(lib.interfaces)))
    return "\n".join(o) + "\n"


# ---- Markdown reference -------------------------------------------------------------------------

def md_escape(s):
    return s.replace("|", "\\|")


def md_type(t):
    return t.spelled()


def md_param(p):
    attrs = [a for a in ("in", "out", "retval", "optional") if p.has(a)]
    s = "%s %s" % (md_type(p.type), p.name)
    if p.default:
        s += " = %s" % p.default[2]
    if attrs:
        s = "[%s] %s" % (", ".join(attrs), s)
    return s


def md_signature(m):
    vis = [p for p in m.params if not p.has("retval")]
    ret = [p for p in m.params if p.has("retval")]
    s = "%s(%s)" % (m.name, ", ".join(md_param(p) for p in vis))
    if ret:
        t = ret[0].type
        s += " → %s" % ("SAFEARRAY(%s)" % t.elem if t.base == "SAFEARRAY" and t.ptr == 1
                        else md_type(type(t)(t.base, t.ptr - 1, t.elem)))
    return s


def gen_markdown(model, idl_name):
    lib = model.lib
    o = []
    w = o.append
    major, minor = lib.attrs.get("version", (1, 0))
    w("# %s type library" % lib.name)
    w("")
    w("Generated from `%s` by `tools/idlgen`; do not edit by hand (build the `update_api_docs` target)." % idl_name)
    w("")
    if lib.attrs.get("helpstring"):
        w("%s, version %d.%d, LIBID `{%s}`." % (lib.attrs["helpstring"], major, minor, lib.attrs["uuid"]))
    else:
        w("Version %d.%d, LIBID `{%s}`." % (major, minor, lib.attrs["uuid"]))
    w("")
    if lib.coclasses:
        w("## Classes")
        w("")
        w("| Class | CLSID | Interfaces | Description |")
        w("|---|---|---|---|")
        for c in lib.coclasses:
            itfs = ", ".join(("**%s** (default)" % n) if "default" in a else n for n, a in c.interfaces)
            desc = c.attrs.get("helpstring", "")
            if "noncreatable" in c.attrs:
                desc = (desc + " " if desc else "") + "(not creatable)"
            w("| `%s` | `{%s}` | %s | %s |" % (c.name, c.attrs["uuid"], itfs, md_escape(desc)))
        w("")
    if lib.interfaces:
        w("## Interfaces")
        w("")
        for itf in lib.interfaces:
            w("### %s" % itf.name)
            w("")
            flags = [a for a in ("dual", "oleautomation", "hidden", "restricted", "nonextensible") if a in itf.attrs]
            w("IID `{%s}`, derives from `%s`%s." % (itf.attrs["uuid"], itf.base,
                                                     "; " + ", ".join(flags) if flags else ""))
            if itf.attrs.get("helpstring"):
                w("")
                w(itf.attrs["helpstring"])
            w("")
            if not itf.methods:
                w("No members of its own.")
                w("")
                continue
            w("| Dispid | Member | Kind | Signature | Description |")
            w("|---|---|---|---|---|")
            for m in itf.methods:
                did = "" if m.dispid is None else (str(m.dispid) if -1000 < m.dispid < 1000
                                                   else "0x%08X" % (m.dispid & 0xFFFFFFFF))
                kind = {"method": "method", "propget": "get", "propput": "put", "propputref": "putref"}[m.kind]
                if "hidden" in m.attrs:
                    kind += ", hidden"
                w("| %s | `%s` | %s | `%s` | %s |" % (did, m.name, kind, md_escape(md_signature(m)),
                                                    md_escape(m.attrs.get("helpstring", ""))))
            w("")
    if lib.enums:
        w("## Enumerations")
        w("")
        for e in lib.enums:
            w("### %s" % e.name)
            w("")
            if e.attrs.get("helpstring"):
                w(e.attrs["helpstring"])
                w("")
            w("| Name | Value | Description |")
            w("|---|---|---|")
            for n, v, a in e.members:
                w("| `%s` | %d | %s |" % (n, v, md_escape(a.get("helpstring", ""))))
            w("")
    for mod in lib.modules:
        w("## Module %s" % mod.name)
        w("")
        bits = []
        if mod.attrs.get("helpstring"):
            bits.append(mod.attrs["helpstring"])
        if mod.attrs.get("uuid"):
            bits.append("GUID `{%s}`" % mod.attrs["uuid"])
        if mod.attrs.get("dllname"):
            bits.append("entry points in `%s`" % mod.attrs["dllname"])
        if bits:
            w(", ".join(bits) + ".")
            w("")
        if mod.functions:
            w("### Functions")
            w("")
            w("| Function | Signature | Description |")
            w("|---|---|---|")
            for f in mod.functions:
                w("| `%s` | `%s` | %s |" % (f.name, md_escape(md_signature(f)), md_escape(f.attrs.get("helpstring", ""))))
            w("")
        if mod.consts:
            w("### Constants")
            w("")
            w("| Name | Type | Value | Description |")
            w("|---|---|---|---|")
            for c in mod.consts:
                if c.type.base in ("BSTR", "float", "double"):
                    val = c.text
                else:
                    val = "%d (0x%08X)" % (c.value, c.value & 0xFFFFFFFF) if c.value < 0 else str(c.value)
                w("| `%s` | %s | %s | %s |" % (c.name, c.type.spelled(), md_escape(val),
                                              md_escape(c.attrs.get("helpstring", ""))))
            w("")
    return "\n".join(o).rstrip("\n") + "\n"


# ---- Python type tables -------------------------------------------------------------------------

VARTYPES = {"VT_EMPTY": 0, "VT_I2": 2, "VT_I4": 3, "VT_R4": 4, "VT_R8": 5, "VT_BSTR": 8, "VT_DISPATCH": 9,
            "VT_ERROR": 10, "VT_BOOL": 11, "VT_VARIANT": 12, "VT_UNKNOWN": 13, "VT_UI1": 17, "VT_UI2": 18,
            "VT_UI4": 19, "VT_INT": 22, "VT_VOID": 24, "VT_HRESULT": 25, "VT_CLSID": 72, "VT_ARRAY": 0x2000,
            "VT_BYREF": 0x4000}
PARAM_FLAGS = (("in", 0x01), ("out", 0x02), ("retval", 0x04), ("optional", 0x08))
INVOKE_KINDS = {"method": 1, "propget": 2, "propput": 4, "propputref": 8}


def vt_number(expr):
    return sum(VARTYPES[part.strip()] for part in expr.split("|"))


def py_param(model, p):
    flags = sum(bit for name, bit in PARAM_FLAGS if p.has(name))
    if p.default:
        flags |= 0x10 | 0x08
    if not p.has("in") and not p.has("out"):
        flags |= 0x01
    base = p.type.base
    typename = base if (base in model.lib.enum_by_name or model.is_itf(base)) else None
    default = p.default[1] if p.default else None
    return (p.name, flags, vt_number(model.param_vt(p)), typename, default)


def gen_python(model, idl_name):
    """The library as plain Python data: what a client without run-time type information needs to
    turn attribute access and calls into IDispatch invocations, and the enumerations and constants
    as names."""
    lib = model.lib
    major, minor = lib.attrs.get("version", (1, 0))
    o = []
    w = o.append
    w("# Zentarix — MIT licence.")
    w("# Generated by tools/idlgen from %s: the type library as Python data. Do not edit." % idl_name)
    w("")
    w("LIBRARY = %r" % ((lib.name, "{%s}" % lib.attrs["uuid"].upper(), (major, minor),
                         lib.attrs.get("helpstring", "")),))
    w("")
    w("# name -> ((member, value), ...) in declaration order")
    w("ENUMS = {")
    for e in lib.enums:
        w("    %r: (%s)," % (e.name, "".join("(%r, %d), " % (n, v) for n, v, _ in e.members).rstrip(" ")))
    w("}")
    w("")
    w("# (name, value) of the module's constants")
    w("CONSTANTS = (")
    for mod in lib.modules:
        for c in mod.consts:
            w("    (%r, %r)," % (c.name, c.value))
    w(")")
    w("")
    w("# Dispatchable interfaces: name -> (IID, base, members), the members of base interfaces first.")
    w("# member: (name, dispid, invoke kind 1 method / 2 get / 4 put / 8 putref, parameters, help)")
    w("# parameter: (name, flags 1 in / 2 out / 4 retval / 8 optional / 16 default, VARTYPE,")
    w("#             enumeration or interface name, default value)")
    w("INTERFACES = {")
    for itf in lib.interfaces:
        if not model.is_dual(itf):
            continue
        w("    %r: (%r, %r, (" % (itf.name, "{%s}" % itf.attrs["uuid"].upper(), itf.base))
        for _, m in dispatch_members(model, itf):
            params = tuple(py_param(model, p) for p in m.params)
            w("        (%r, %d, %d, %r, %r)," % (m.name, m.dispid, INVOKE_KINDS[m.kind], params,
                                                m.attrs.get("helpstring", "")))
        w("    )),")
    w("}")
    w("")
    w("# CLSID -> (class name, default interface, creatable)")
    w("COCLASSES = {")
    for c in lib.coclasses:
        default = next((n for n, a in c.interfaces if "default" in a), c.interfaces[0][0] if c.interfaces else None)
        w("    %r: (%r, %r, %r)," % ("{%s}" % c.attrs["uuid"].upper(), c.name, default,
                                     "noncreatable" not in c.attrs))
    w("}")
    return "\n".join(o) + "\n"


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(tmp, path)


def main(argv):
    ap = argparse.ArgumentParser(description="Generate C++ glue and a reference from an IDL file.")
    ap.add_argument("--prefix")
    ap.add_argument("--outdir")
    ap.add_argument("--python", metavar="FILE", help="also write the Python type tables to FILE")
    ap.add_argument("idl")
    args = ap.parse_args(argv)
    if bool(args.prefix) != bool(args.outdir) or not (args.prefix or args.python):
        ap.error("give --prefix with --outdir, --python, or both")
    try:
        lib = parse_file(args.idl)
        model = Model(lib, args.idl)
        model.validate()
        idl_name = os.path.basename(args.idl)
        header = gen_header(model, args.prefix, idl_name)
        disp = gen_dispatch(model, args.prefix, idl_name)
        md = gen_markdown(model, idl_name)
        py = gen_python(model, idl_name) if args.python else None
        for warning in model.warnings:
            print("idlgen: %s" % warning, file=sys.stderr)
    except IdlError as e:
        print("idlgen: error: %s" % e, file=sys.stderr)
        return 1
    except OSError as e:
        print("idlgen: error: %s" % e, file=sys.stderr)
        return 1
    if args.outdir:
        os.makedirs(args.outdir, exist_ok=True)
        write_if_changed(os.path.join(args.outdir, args.prefix + ".h"), header)
        write_if_changed(os.path.join(args.outdir, args.prefix + "_dispatch.cpp"), disp)
        write_if_changed(os.path.join(args.outdir, args.prefix + "_api.md"), md)
    if args.python:
        os.makedirs(os.path.dirname(os.path.abspath(args.python)), exist_ok=True)
        write_if_changed(args.python, py)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
