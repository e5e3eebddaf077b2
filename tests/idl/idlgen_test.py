# Zentarix — MIT licence.
# The IDL generator: what it accepts, how it refuses the rest, and what it emits.
import os
import re
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "idlgen"))

import idlgen  # noqa: E402
from idlparse import IdlError, Parser  # noqa: E402

LIB_HEAD = '[uuid(11111111-2222-3333-4444-555555555555), version(2.3), helpstring("L")] library L {\n'
ITF_HEAD = ('[object, uuid(11111111-2222-3333-4444-555555555556), dual, oleautomation] '
            'interface IX : IDispatch {\n')


def parse(text, path="t.idl"):
    lib = Parser(text, path).parse()
    model = idlgen.Model(lib, path)
    model.validate()
    return model


def in_itf(members):
    return LIB_HEAD + ITF_HEAD + members + "\n};\n};\n"


class Accepts(unittest.TestCase):
    def test_test_idl_parses_with_its_values(self):
        with open(os.path.join(HERE, "dispatch_test.idl"), encoding="utf-8") as f:
            model = parse(f.read())
        lib = model.lib
        self.assertEqual(lib.name, "DispatchTest")
        self.assertEqual(lib.attrs["version"], (1, 0))
        self.assertEqual([(n, v) for n, v, _ in lib.enums[0].members],
                         [("skNone", -1), ("skSquare", 16), ("skCircle", 17), ("skAll", 48)])
        tester = lib.itf_by_name["ITester"]
        ids = [m.dispid for m in tester.methods]
        self.assertIn(0x60020000, ids)
        self.assertIn(-5, ids)
        defaults = [p.default for p in tester.methods[0].params if p.default]
        self.assertEqual([d[:2] for d in defaults],
                         [("int", -7), ("str", "dflt"), ("float", 2.5), ("int", 17), ("int", 16)])
        mod = lib.modules[0]
        self.assertEqual([(c.name, c.value) for c in mod.consts],
                         [("tmRed", -65536), ("tmMask", -16777216), ("tmPi", 3.25), ("tmName", "Tést")])

    def test_header_declares_members_in_vtable_order_with_property_prefixes(self):
        model = parse(in_itf('[id(1), propget] HRESULT A([out, retval] long* v);\n'
                             '[id(1), propput] HRESULT A([in] long v);\n'
                             '[id(2)] HRESULT B([in] SAFEARRAY(long) a, [out] SAFEARRAY(long)* b);\n'
                             '[id(3), propputref] HRESULT C([in] IDispatch* d);'))
        header = idlgen.gen_header(model, "p", "t.idl")
        body = header[header.index("struct IX : IDispatch {"):]
        order = re.findall(r"STDMETHOD\((\w+)\)\(([^)]*)\)", body)
        self.assertEqual(order, [("get_A", "LONG* v"), ("put_A", "LONG v"),
                                 ("B", "SAFEARRAY* a, SAFEARRAY** b"), ("putref_C", "IDispatch* d")])
        self.assertIn("ZX_DECLARE_UUID(IX, IID_IX);", header)
        self.assertIn("inline constexpr GUID LIBID_L = {0x11111111, 0x2222, 0x3333, "
                      "{0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};", header)
        self.assertIn("static constexpr const ZX_DISPATCH_TABLE& value = p_IX_dispatch;", header)

    def test_constants_keep_their_signed_value(self):
        model = parse(LIB_HEAD + '[uuid(11111111-2222-3333-4444-555555555557)] module M {\n'
                      'const long big = 0x80000000; const long low = -2147483648; const short s = -3;\n};\n};\n')
        header = idlgen.gen_header(model, "p", "t.idl")
        self.assertIn("inline constexpr LONG big = (-2147483647 - 1);", header)
        self.assertIn("inline constexpr LONG low = (-2147483647 - 1);", header)
        self.assertIn("inline constexpr SHORT s = -3;", header)

    def test_output_files_are_rewritten_only_when_they_change(self):
        with tempfile.TemporaryDirectory() as d:
            src = os.path.join(HERE, "dispatch_test.idl")
            self.assertEqual(idlgen.main(["--prefix", "x", "--outdir", d, src]), 0)
            names = sorted(os.listdir(d))
            self.assertEqual(names, ["x.h", "x_api.md", "x_dispatch.cpp"])
            stamp = {n: os.stat(os.path.join(d, n)).st_mtime_ns for n in names}
            os.utime(os.path.join(d, "x.h"), ns=(1, 1))
            self.assertEqual(idlgen.main(["--prefix", "x", "--outdir", d, src]), 0)
            self.assertEqual(os.stat(os.path.join(d, "x.h")).st_mtime_ns, 1)
            self.assertEqual(os.stat(os.path.join(d, "x_api.md")).st_mtime_ns, stamp["x_api.md"])

    def test_reference_lists_members_with_signature_dispid_and_defaults(self):
        model = parse(in_itf('[id(0x60020001), helpstring("Does | things")] '
                             'HRESULT Go([in, optional, defaultvalue("a")] BSTR s, [out, retval] long* r);'))
        md = idlgen.gen_markdown(model, "t.idl")
        self.assertIn("| 0x60020001 | `Go` | method | `Go([in, optional] BSTR s = \"a\") → long` | "
                      "Does \\| things |", md)
        self.assertIn("L, version 2.3, LIBID `{11111111-2222-3333-4444-555555555555}`.", md)


class Refuses(unittest.TestCase):
    def assertRefused(self, text, line, fragment):
        with self.assertRaises(IdlError) as cm:
            parse(text)
        msg = str(cm.exception)
        self.assertTrue(msg.startswith("t.idl:%d: " % line), msg)
        self.assertIn(fragment, msg)

    def test_unknown_types_and_attributes_name_file_and_line(self):
        self.assertRefused(in_itf('[id(1)] HRESULT A([in] OLE_COLOR c);'), 3, "unknown type 'OLE_COLOR'")
        self.assertRefused(in_itf('[id(1), vararg] HRESULT A();'), 3, "attribute 'vararg' is not supported")
        self.assertRefused(in_itf('[id(1)] HRESULT A([in] unsigned int c);'), 3, "'unsigned int' is not supported")
        self.assertRefused(in_itf('[id(1)] HRESULT A([in] SAFEARRAY(BSTR) c);'), 3, "SAFEARRAY(long)")

    def test_constructs_outside_the_subset(self):
        self.assertRefused(LIB_HEAD + "\n\ndispinterface D { };\n};", 4, "'dispinterface' is outside")
        self.assertRefused(LIB_HEAD + "typedef struct S { long a; } S;\n};", 2, "expected 'enum'")
        self.assertRefused("#include <x>\n", 1, "preprocessor")
        self.assertRefused(LIB_HEAD + "/* open\n\n", 2, "unterminated comment")

    def test_dual_interface_rules(self):
        self.assertRefused(in_itf('HRESULT A();'), 3, "need an id()")
        self.assertRefused(in_itf('[id(1)] long A();'), 3, "return HRESULT")
        self.assertRefused(in_itf('[id(1)] HRESULT A();\n[id(1)] HRESULT B();'), 4, "reuses dispid 1")
        self.assertRefused(in_itf('[id(1)] HRESULT A([out, retval] long* r, [in] long x);'), 3, "last parameter")
        self.assertRefused(in_itf('[id(1)] HRESULT A([out] long r);'), 3, "must be a pointer")
        self.assertRefused(in_itf('[id(1), propput] HRESULT A();'), 3, "value as the last [in] parameter")
        self.assertRefused(in_itf('[id(1)] HRESULT A([in, defaultvalue("x")] long v);'), 3, "does not suit")
        self.assertRefused(in_itf('[id(1)] HRESULT A([in, defaultvalue(nope)] long v);'), 3, "no enumeration member")
        self.assertRefused(in_itf('[id(1)] HRESULT A([in, defaultvalue(1)] IDispatch* p);'), 3, "does not suit")
        self.assertRefused(LIB_HEAD + '[object, uuid(1-2)] interface IY : IUnknown { };\n};', 2, "malformed uuid")
        self.assertRefused(LIB_HEAD + '[object, uuid(11111111-2222-3333-4444-555555555556)] interface IY : IZ {};\n};',
                           2, "base interface 'IZ'")

    def test_non_automation_parameter_is_reported_but_generated(self):
        model = parse(in_itf('[id(1)] HRESULT A([in, out] long** p);'))
        self.assertEqual(len(model.warnings), 1)
        self.assertIn("t.idl:3: warning: A: parameter p (long**)", model.warnings[0])
        self.assertIn("static_cast<VARTYPE>(VT_VOID)", idlgen.gen_dispatch(model, "p", "t.idl"))
        self.assertEqual(parse(in_itf('[id(1), local] HRESULT A([in, out] long** p);')).warnings, [])

    def test_command_line_reports_errors_with_status_1(self):
        with tempfile.TemporaryDirectory() as d:
            bad = os.path.join(d, "bad.idl")
            with open(bad, "w") as f:
                f.write(in_itf('[id(1)] HRESULT A([in] float* f, [in] Unknown u);'))
            self.assertEqual(idlgen.main(["--prefix", "x", "--outdir", d, bad]), 1)
            self.assertEqual(sorted(os.listdir(d)), ["bad.idl"])  # nothing half-written


if __name__ == "__main__":
    unittest.main()
