# Zentarix — MIT licence.
# The COM runtime through ctypes: its ABI structures, the functions the client calls, and VARIANT
# conversion in both directions.
import ctypes
import uuid
from ctypes import (POINTER, CFUNCTYPE, Structure, Union, byref, c_byte, c_char_p, c_double, c_float, c_int16,
                    c_int32, c_int64, c_ubyte, c_uint16, c_uint32, c_uint64, c_void_p, sizeof)

# The runtime's ABI is Win64's: 24-byte VARIANTs, 4-byte LONG and HRESULT, UTF-16 OLECHARs. ctypes'
# c_wchar is 4 bytes on Linux, so strings travel as UTF-16 buffers of c_uint16, never as c_wchar_p.

VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BSTR, VT_DISPATCH = 0, 1, 2, 3, 4, 5, 6, 7, 8, 9
VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN, VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8 = 10, 11, 12, 13, 16, 17, 18, \
    19, 20, 21
VT_INT, VT_UINT = 22, 23
VT_ARRAY, VT_BYREF = 0x2000, 0x4000

DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF = 1, 2, 4, 8
DISPID_VALUE, DISPID_PROPERTYPUT, DISPID_NEWENUM = 0, -3, -4

S_OK, S_FALSE = 0, 1
DISP_E_EXCEPTION = 0x80020009
DISP_E_PARAMNOTFOUND = 0x80020004
COINIT_MULTITHREADED = 0
CLSCTX_INPROC_SERVER = 1

# Texts for the failures Invoke reports without an error record (the component's own failures
# arrive as DISP_E_EXCEPTION with its message).
INVOKE_FAILURES = {
    0x80020003: "Member not found.",
    0x80020004: "Parameter not found.",
    0x80020005: "Type mismatch.",
    0x80020006: "Unknown name.",
    0x80020008: "Bad variable type.",
    0x8002000A: "Out of present range.",
    0x8002000B: "Invalid index.",
    0x8002000E: "Invalid number of parameters.",
    0x8002000F: "Parameter not optional.",
    0x80004001: "Not implemented.",
    0x80004002: "No such interface supported.",
    0x80004005: "Unspecified error.",
    0x80040111: "The class is not available from its module.",
    0x80040154: "Class not registered.",
    0x800401F3: "Invalid class string.",
    0x80070057: "The parameter is incorrect.",
    0x8007000E: "Not enough memory.",
}


class GUID(Structure):
    _fields_ = [("Data1", c_uint32), ("Data2", c_uint16), ("Data3", c_uint16), ("Data4", c_ubyte * 8)]

    @classmethod
    def parse(cls, text):
        return cls.from_buffer_copy(uuid.UUID(text).bytes_le)

    def __str__(self):
        return "{%s}" % str(uuid.UUID(bytes_le=bytes(self))).upper()


class _VariantValue(Union):
    _fields_ = [("llVal", c_int64), ("ullVal", c_uint64), ("lVal", c_int32), ("ulVal", c_uint32), ("iVal", c_int16),
                ("uiVal", c_uint16), ("cVal", c_byte), ("bVal", c_ubyte), ("fltVal", c_float), ("dblVal", c_double),
                ("boolVal", c_int16), ("scode", c_int32), ("ptr", c_void_p), ("record", c_void_p * 2)]


class VARIANT(Structure):
    _fields_ = [("vt", c_uint16), ("wReserved1", c_uint16), ("wReserved2", c_uint16), ("wReserved3", c_uint16),
                ("v", _VariantValue)]


class DISPPARAMS(Structure):
    _fields_ = [("rgvarg", POINTER(VARIANT)), ("rgdispidNamedArgs", POINTER(c_int32)), ("cArgs", c_uint32),
                ("cNamedArgs", c_uint32)]


class EXCEPINFO(Structure):
    pass


EXCEPINFO._fields_ = [("wCode", c_uint16), ("wReserved", c_uint16), ("bstrSource", c_void_p),
                      ("bstrDescription", c_void_p), ("bstrHelpFile", c_void_p), ("dwHelpContext", c_uint32),
                      ("pvReserved", c_void_p), ("pfnDeferredFillIn", CFUNCTYPE(c_int32, POINTER(EXCEPINFO))),
                      ("scode", c_int32)]


class SAFEARRAYBOUND(Structure):
    _fields_ = [("cElements", c_uint32), ("lLbound", c_int32)]


class SAFEARRAY(Structure):
    _fields_ = [("cDims", c_uint16), ("fFeatures", c_uint16), ("cbElements", c_uint32), ("cLocks", c_uint32),
                ("pvData", c_void_p), ("rgsabound", SAFEARRAYBOUND * 1)]


assert sizeof(VARIANT) == 24 and sizeof(SAFEARRAY) == 32 and sizeof(EXCEPINFO) == 64 and sizeof(GUID) == 16

IID_IUnknown = GUID.parse("00000000-0000-0000-C000-000000000046")
IID_IDispatch = GUID.parse("00020400-0000-0000-C000-000000000046")
IID_IEnumVARIANT = GUID.parse("00020404-0000-0000-C000-000000000046")
IID_NULL = GUID()


def _load_runtime():
    # The installed runtime by its soname; a build tree's unversioned one through LD_LIBRARY_PATH.
    errors = []
    for name in ("libzxcom.so.1", "libzxcom.so"):
        try:
            return ctypes.CDLL(name)
        except OSError as e:
            errors.append(str(e))
    raise ImportError("the Zentarix runtime (libzxcom) cannot be loaded: " + "; ".join(errors))


lib = _load_runtime()


def _declare(name, restype, *argtypes):
    fn = getattr(lib, name)
    fn.restype = restype
    fn.argtypes = argtypes
    return fn


HRESULT = c_int32
PSA = c_void_p
CoInitializeEx = _declare("CoInitializeEx", HRESULT, c_void_p, c_uint32)
CLSIDFromProgID = _declare("CLSIDFromProgID", HRESULT, c_char_p, POINTER(GUID))
CoCreateInstance = _declare("CoCreateInstance", HRESULT, POINTER(GUID), c_void_p, c_uint32, POINTER(GUID),
                            POINTER(c_void_p))
SysAllocStringLen = _declare("SysAllocStringLen", c_void_p, c_char_p, c_uint32)
SysFreeString = _declare("SysFreeString", None, c_void_p)
SysStringLen = _declare("SysStringLen", c_uint32, c_void_p)
VariantClear = _declare("VariantClear", HRESULT, POINTER(VARIANT))
VariantChangeType = _declare("VariantChangeType", HRESULT, POINTER(VARIANT), POINTER(VARIANT), c_uint16, c_uint16)
SafeArrayCreate = _declare("SafeArrayCreate", PSA, c_uint16, c_uint32, POINTER(SAFEARRAYBOUND))
SafeArrayDestroy = _declare("SafeArrayDestroy", HRESULT, PSA)
SafeArrayAccessData = _declare("SafeArrayAccessData", HRESULT, PSA, POINTER(c_void_p))
SafeArrayUnaccessData = _declare("SafeArrayUnaccessData", HRESULT, PSA)
SafeArrayPutElement = _declare("SafeArrayPutElement", HRESULT, PSA, POINTER(c_int32), c_void_p)
SafeArrayGetElement = _declare("SafeArrayGetElement", HRESULT, PSA, POINTER(c_int32), c_void_p)
SafeArrayGetVartype = _declare("SafeArrayGetVartype", HRESULT, PSA, POINTER(c_uint16))

# IUnknown, IDispatch and IEnumVARIANT slots: (vtable index, prototype with `this` first).
QUERYINTERFACE = (0, CFUNCTYPE(HRESULT, c_void_p, POINTER(GUID), POINTER(c_void_p)))
ADDREF = (1, CFUNCTYPE(c_uint32, c_void_p))
RELEASE = (2, CFUNCTYPE(c_uint32, c_void_p))
GETIDSOFNAMES = (5, CFUNCTYPE(HRESULT, c_void_p, POINTER(GUID), POINTER(c_char_p), c_uint32, c_uint32,
                              POINTER(c_int32)))
INVOKE = (6, CFUNCTYPE(HRESULT, c_void_p, c_int32, POINTER(GUID), c_uint32, c_uint16, POINTER(DISPPARAMS),
                       POINTER(VARIANT), POINTER(EXCEPINFO), POINTER(c_uint32)))
ENUM_NEXT = (3, CFUNCTYPE(HRESULT, c_void_p, c_uint32, POINTER(VARIANT), POINTER(c_uint32)))


def method(ptr, slot):
    """The interface method in a vtable slot, callable with the interface pointer first."""
    index, prototype = slot
    return prototype(ctypes.cast(ptr, POINTER(POINTER(c_void_p)))[0][index])


def unsigned(hr):
    return hr & 0xFFFFFFFF


class ComError(Exception):
    """A failed COM call: `hresult` (unsigned, e.g. 0x80070057), the error `source` (the failing
    class's ProgID) and `description` (the component's message); `argerr` is the position of the
    argument at fault when Invoke names one."""

    def __init__(self, hresult, description="", source="", argerr=None):
        self.hresult = unsigned(hresult)
        self.description = description or INVOKE_FAILURES.get(self.hresult, "")
        self.source = source or ""
        self.argerr = argerr
        text = "0x%08X" % self.hresult
        if self.source:
            text += " " + self.source
        if self.description:
            text += ": " + self.description
        super().__init__(text)


def check(hr):
    if hr < 0:
        raise ComError(hr)
    return hr


def query_interface(ptr, iid):
    """A new reference to the interface, or None when the object does not have it."""
    out = c_void_p()
    hr = method(ptr, QUERYINTERFACE)(ptr, byref(iid), byref(out))
    return out.value if hr >= 0 and out.value else None


def release(ptr):
    return method(ptr, RELEASE)(ptr)


def addref(ptr):
    return method(ptr, ADDREF)(ptr)


def olestr(text):
    """A NUL-terminated UTF-16 string for LPCOLESTR arguments."""
    return text.encode("utf-16-le", "surrogatepass") + b"\0\0"


def bstr_from(text):
    data = text.encode("utf-16-le", "surrogatepass")
    b = SysAllocStringLen(data, len(data) // 2)
    if not b:
        raise MemoryError("a string for the runtime cannot be allocated")
    return b


def bstr_text(b):
    if not b:
        return ""
    return ctypes.string_at(b, SysStringLen(b) * 2).decode("utf-16-le", "surrogatepass")


def take_bstr(b):
    """The text of a BSTR this side owns, which is freed."""
    try:
        return bstr_text(b)
    finally:
        if b:
            SysFreeString(b)


# ---- arrays ------------------------------------------------------------------------------------

def _bounds(psa):
    """The creator's bounds (SafeArrayCreate order): the descriptor stores them in reverse."""
    sa = SAFEARRAY.from_address(psa)
    stored = (SAFEARRAYBOUND * sa.cDims).from_address(psa + SAFEARRAY.rgsabound.offset)
    return [(b.cElements, b.lLbound) for b in reversed(stored)]


def _create(vt, shape):
    bounds = (SAFEARRAYBOUND * len(shape))(*[SAFEARRAYBOUND(n, 0) for n in shape])
    psa = SafeArrayCreate(vt, len(shape), bounds)
    if not psa:
        raise MemoryError("an array of %s elements cannot be created" % "x".join(map(str, shape)))
    return psa


def _fill(psa, data):
    pv = c_void_p()
    check(SafeArrayAccessData(psa, byref(pv)))
    try:
        ctypes.memmove(pv.value, data, len(data))
    finally:
        SafeArrayUnaccessData(psa)


class _ArrayBlock:
    """Owns a SAFEARRAY and shows its data block to numpy without copying (the numpy array keeps
    this object, and so the SAFEARRAY, alive)."""

    def __init__(self, psa, shape):
        pv = c_void_p()
        check(SafeArrayAccessData(psa, byref(pv)))
        self._psa = psa
        self.__array_interface__ = {"shape": tuple(shape), "typestr": "<i4", "data": (pv.value or 0, False),
                                    "version": 3}

    def __del__(self, unaccess=SafeArrayUnaccessData, destroy=SafeArrayDestroy):
        unaccess(self._psa)
        destroy(self._psa)


def _numpy():
    try:
        import numpy
        return numpy
    except ImportError:
        return None


def _array_to_python(psa):
    """The Python value of a SAFEARRAY this side owns (kept by a view or destroyed). VT_I4 arrays
    (pixel arrays, histograms) become numpy views of the data block in its linear layout: a pixel
    array created {height, width} is (H, W), row y holding pixels (0..W-1, y). Byte arrays become
    bytes; other arrays nested lists, element [i][j] being the one at indices (i, j)."""
    vt = c_uint16()
    check(SafeArrayGetVartype(psa, byref(vt)))
    bounds = _bounds(psa)
    shape = [n for n, _ in bounds]
    np = _numpy()
    if vt.value == VT_I4 and np is not None:
        return np.asarray(_ArrayBlock(psa, shape))
    try:
        if vt.value in (VT_I4, VT_UI1):
            total = 1
            for n in shape:
                total *= n
            pv = c_void_p()
            check(SafeArrayAccessData(psa, byref(pv)))
            try:
                if vt.value == VT_UI1 and len(shape) == 1:
                    return ctypes.string_at(pv.value, total) if total else b""
                element = c_int32 if vt.value == VT_I4 else c_ubyte
                flat = list((element * total).from_address(pv.value)) if total else []
            finally:
                SafeArrayUnaccessData(psa)
            for n in reversed(shape[1:]):  # the same linear layout numpy would show, as lists
                flat = [flat[i:i + n] for i in range(0, len(flat), n)]
            return flat
        return _elements(psa, vt.value, bounds, [])
    finally:
        if vt.value != VT_I4 or np is None:
            SafeArrayDestroy(psa)


def _elements(psa, vt, bounds, prefix):
    count, lower = bounds[len(prefix)]
    last = len(prefix) + 1 == len(bounds)
    out = []
    for i in range(lower, lower + count):
        if not last:
            out.append(_elements(psa, vt, bounds, prefix + [i]))
            continue
        indices = (c_int32 * len(bounds))(*(prefix + [i]))
        v = VARIANT()
        if vt == VT_VARIANT:
            check(SafeArrayGetElement(psa, indices, ctypes.addressof(v)))
        else:
            v.vt = vt
            check(SafeArrayGetElement(psa, indices, ctypes.addressof(v.v)))
        out.append(take(v))
    return out


def _shape_of(items):
    """The shape of a rectangular nest of lists, or None when it is ragged."""
    shape, level = [], [items]
    while True:
        lengths = {len(x) for x in level if isinstance(x, (list, tuple))}
        if not lengths:
            return shape
        if len(lengths) != 1 or not all(isinstance(x, (list, tuple)) for x in level):
            return None
        shape.append(lengths.pop())
        level = [y for x in level for y in x]
        if not level:
            return shape


def _list_to_array(items):
    shape = _shape_of(items) or [len(items)]
    psa = _create(VT_VARIANT, shape)
    try:
        _put_all(psa, items, shape, [])
    except BaseException:
        SafeArrayDestroy(psa)
        raise
    return psa


def _put_all(psa, items, shape, prefix):
    for i, item in enumerate(items):
        if len(prefix) + 1 < len(shape):
            _put_all(psa, item, shape, prefix + [i])
            continue
        indices = (c_int32 * len(shape))(*(prefix + [i]))
        v = VARIANT()
        owned = to_variant(item, v)
        try:
            check(SafeArrayPutElement(psa, indices, ctypes.addressof(v)))  # the array keeps a copy
        finally:
            if owned:
                VariantClear(byref(v))


def _ndarray_to_array(a, np):
    if a.dtype.kind not in "iub" or a.ndim == 0:
        return None
    if a.dtype == np.uint32:
        a = a.view(np.int32)  # colours written as unsigned ARGB keep their bits
    elif a.dtype != np.int32:
        if a.size and (a.min() < -2 ** 31 or a.max() >= 2 ** 31):
            raise OverflowError("array values do not fit a 32-bit element")
        a = a.astype(np.int32)
    a = np.ascontiguousarray(a)
    psa = _create(VT_I4, a.shape)
    if a.size:
        _fill(psa, a.tobytes())
    return psa


# ---- VARIANT conversion ------------------------------------------------------------------------

# Set by the dispatch module: wraps a new reference to an interface pointer as a Python object.
wrap_interface = None
# Set by the dispatch module: the interface pointer and VARTYPE of a wrapper, or None.
unwrap_interface = None


def to_variant(value, v):
    """Fills v with value. Returns True when v owns what it holds (a string or array this side made,
    to be cleared after use) and False when it borrows (an object's pointer): a borrowed VARIANT is
    never cleared, or the wrapper's own reference would be released."""
    if value is None:
        v.vt = VT_NULL
        return False
    if isinstance(value, bool):  # before int: bool is an int
        v.vt = VT_BOOL
        v.v.boolVal = -1 if value else 0
        return False
    if isinstance(value, int):
        if -2 ** 31 <= value < 2 ** 31:
            v.vt, v.v.lVal = VT_I4, value
        elif -2 ** 63 <= value < 2 ** 63:
            v.vt, v.v.llVal = VT_I8, value
        else:
            raise OverflowError("%d does not fit a 64-bit integer" % value)
        return False
    if isinstance(value, float):
        v.vt, v.v.dblVal = VT_R8, value
        return False
    if isinstance(value, str):
        v.v.ptr = bstr_from(value)
        v.vt = VT_BSTR
        return True
    if isinstance(value, (bytes, bytearray, memoryview)):
        data = bytes(value)
        psa = _create(VT_UI1, [len(data)])
        _fill(psa, data)
        v.vt, v.v.ptr = VT_ARRAY | VT_UI1, psa
        return True
    if isinstance(value, (list, tuple)):
        v.v.ptr = _list_to_array(value)
        v.vt = VT_ARRAY | VT_VARIANT
        return True
    interface = unwrap_interface(value)
    if interface is not None:
        v.v.ptr, v.vt = interface
        return False
    np = _numpy()
    if np is not None and isinstance(value, (np.ndarray, np.generic)):
        if isinstance(value, np.generic):
            return to_variant(value.item(), v)
        psa = _ndarray_to_array(value, np)
        if psa is None:
            return to_variant(value.tolist(), v)
        v.vt, v.v.ptr = VT_ARRAY | VT_I4, psa
        return True
    raise TypeError("a %s cannot be passed to a COM object" % type(value).__name__)


_SCALARS = {VT_I2: "iVal", VT_I4: "lVal", VT_INT: "lVal", VT_I1: "cVal", VT_UI1: "bVal", VT_UI2: "uiVal",
            VT_UI4: "ulVal", VT_UINT: "ulVal", VT_I8: "llVal", VT_UI8: "ullVal", VT_R4: "fltVal", VT_R8: "dblVal",
            VT_DATE: "dblVal", VT_ERROR: "scode"}


def take(v, interface_name=None):
    """The Python value of a VARIANT this side owns; v is left empty (its contents are handed to
    the result or freed). interface_name types an object result."""
    vt = v.vt
    try:
        if vt & VT_BYREF:
            inner = VARIANT()
            check(lib.VariantCopyInd(byref(inner), byref(v)))
            return take(inner, interface_name)
        if vt in (VT_EMPTY, VT_NULL):
            return None
        if vt == VT_BOOL:
            return v.v.boolVal != 0
        if vt == VT_BSTR:
            return bstr_text(v.v.ptr)
        if vt == VT_CY:
            return v.v.llVal / 10000
        if vt in _SCALARS:
            return getattr(v.v, _SCALARS[vt])
        if vt in (VT_DISPATCH, VT_UNKNOWN):
            ptr, v.vt = v.v.ptr, VT_EMPTY  # the reference moves into the wrapper
            return wrap_interface(ptr, vt, interface_name) if ptr else None
        if vt & VT_ARRAY:
            psa, v.vt = v.v.ptr, VT_EMPTY
            return _array_to_python(psa) if psa else None
        if vt == VT_VARIANT:
            raise TypeError("a VARIANT cannot hold a bare VT_VARIANT")
        raise TypeError("a VARIANT of type %d has no Python equivalent" % vt)
    finally:
        VariantClear(byref(v))


lib.VariantCopyInd.restype = HRESULT
lib.VariantCopyInd.argtypes = (POINTER(VARIANT), POINTER(VARIANT))
