# Zentarix — MIT licence.
# Late binding: Python attribute access, calls and indexing turned into IDispatch::Invoke, typed by
# the generated type tables where the object's interface is known and by the object alone otherwise.
import ctypes
import enum
from ctypes import byref, c_char_p, c_int32, c_uint32, c_void_p

from . import _runtime as rt
from . import _typelib

IN, OUT, RETVAL = 0x01, 0x02, 0x04
KINDS = {1: "func", 2: "get", 4: "put", 8: "putref"}
DISP_E_MEMBERNOTFOUND = 0x80020003
DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL = 0x8002000E, 0x8002000F

ENUM_TYPES = {name: enum.IntEnum(name, list(members)) for name, members in _typelib.ENUMS.items()}


class _Member:
    """Every entry one name has in an interface: the method, or the property's get/put/putref,
    each as (parameters, help)."""
    __slots__ = ("name", "dispid", "func", "get", "put", "putref")

    def __init__(self, name, dispid):
        self.name, self.dispid = name, dispid
        self.func = self.get = self.put = self.putref = None


class _Interface:
    def __init__(self, name, iid, members):
        self.name, self.iid = name, rt.GUID.parse(iid[1:-1])
        self.members = {}
        for mname, dispid, kind, params, doc in members:
            m = self.members.setdefault(mname.lower(), _Member(mname, dispid))
            setattr(m, KINDS[kind], (params, doc))


INTERFACES = {name: _Interface(name, iid, members) for name, (iid, _, members) in _typelib.INTERFACES.items()}


def _depth(name):
    base = _typelib.INTERFACES[name][1]
    return 1 + _depth(base) if base in _typelib.INTERFACES else 0


# Most derived first, so that an object answering both IRasterItem and IRasterObject is an item.
_BY_DERIVATION = sorted(INTERFACES.values(), key=lambda i: -_depth(i.name))


def _typed(ptr, interface_name):
    """The interface pointer to invoke through and its type: the declared interface when the tables
    know it, else the first known interface the object answers, else none (late binding by name)."""
    if interface_name in INTERFACES:
        return ptr, INTERFACES[interface_name]
    for itf in _BY_DERIVATION:
        other = rt.query_interface(ptr, itf.iid)
        if other:
            rt.release(ptr)
            return other, itf
    return ptr, None


def _wrap(ptr, vt, interface_name=None):
    if vt == rt.VT_UNKNOWN:
        disp = rt.query_interface(ptr, rt.IID_IDispatch)
        if not disp:
            return Unknown._own(ptr)
        rt.release(ptr)
        ptr = disp
    ptr, itf = _typed(ptr, interface_name)
    return Dispatch._own(ptr, itf)


def _unwrap(value):
    if isinstance(value, Dispatch):
        return object.__getattribute__(value, "_ptr"), rt.VT_DISPATCH
    if isinstance(value, Unknown):
        return value._ptr, rt.VT_UNKNOWN
    return None


rt.wrap_interface = _wrap
rt.unwrap_interface = _unwrap


def _typed_value(value, typename):
    if typename in ENUM_TYPES and isinstance(value, int) and not isinstance(value, bool):
        try:
            return ENUM_TYPES[typename](value)
        except ValueError:
            return value
    return value


class _Out:
    """Storage for an [out] argument: a VARIANT of the declared type whose payload the callee
    writes through a VT_BYREF reference."""

    def __init__(self, param, value=None, given=False):
        self.typename = param[3]
        self.base = param[2] & ~rt.VT_BYREF
        self.var = rt.VARIANT()
        self.result = None
        if given:  # [in, out]: the callee reads the value first
            src = rt.VARIANT()
            owned = rt.to_variant(value, src)
            try:
                if self.base == rt.VT_VARIANT:
                    rt.check(rt.lib.VariantCopy(byref(self.var), byref(src)))
                else:
                    rt.check(rt.VariantChangeType(byref(self.var), byref(src), 0, self.base))
            finally:
                if owned:
                    rt.VariantClear(byref(src))
        elif self.base != rt.VT_VARIANT:
            self.var.vt = self.base

    def reference(self, v):
        v.vt = rt.VT_BYREF | self.base
        v.v.ptr = ctypes.addressof(self.var if self.base == rt.VT_VARIANT else self.var.v)


rt.lib.VariantCopy.restype = rt.HRESULT
rt.lib.VariantCopy.argtypes = (ctypes.POINTER(rt.VARIANT), ctypes.POINTER(rt.VARIANT))


def _error(hr, excepinfo, argerr):
    if rt.unsigned(hr) != rt.DISP_E_EXCEPTION:
        return rt.ComError(hr, argerr=argerr.value if rt.unsigned(hr) in (0x80020004, 0x80020005) else None)
    if excepinfo.pfnDeferredFillIn:
        excepinfo.pfnDeferredFillIn(byref(excepinfo))
    source = rt.take_bstr(excepinfo.bstrSource)
    description = rt.take_bstr(excepinfo.bstrDescription)
    rt.take_bstr(excepinfo.bstrHelpFile)
    return rt.ComError(excepinfo.scode or hr, description, source)


def _invoke(ptr, dispid, flags, positional, named=(), typename=None):
    """One IDispatch::Invoke. positional: values in declared order; named: (id, value) pairs. An _Out
    among the values is passed by reference and receives its value as `result`. Returns the result."""
    count = len(named) + len(positional)
    args = (rt.VARIANT * max(count, 1))()
    ids = (c_int32 * max(len(named), 1))(*[i for i, _ in named])
    values = [v for _, v in named] + list(reversed(positional))  # named first, then last to first
    owned, outs = [], []
    try:
        for k, value in enumerate(values):
            if isinstance(value, _Out):
                value.reference(args[k])
                outs.append(value)
            elif rt.to_variant(value, args[k]):
                owned.append(k)
        params = rt.DISPPARAMS(args, ids, count, len(named))
        result = rt.VARIANT()
        excepinfo = rt.EXCEPINFO()
        argerr = c_uint32(0)
        wants_result = not flags & (rt.DISPATCH_PROPERTYPUT | rt.DISPATCH_PROPERTYPUTREF)
        hr = rt.method(ptr, rt.INVOKE)(ptr, dispid, byref(rt.IID_NULL), 0, flags, byref(params),
                                       byref(result) if wants_result else None, byref(excepinfo), byref(argerr))
    finally:
        # Only what this side made is freed; objects in the arguments were lent, not given.
        for k in owned:
            rt.VariantClear(byref(args[k]))
    if hr < 0:
        for out in outs:
            rt.VariantClear(byref(out.var))
        raise _error(hr, excepinfo, argerr)
    for out in outs:
        out.result = _typed_value(rt.take(out.var, out.typename), out.typename)
    return _typed_value(rt.take(result, typename), typename)


def _signature(member, kind):
    params, _ = getattr(member, kind)
    shown = []
    for name, flags, _, _, default in params:
        if flags & RETVAL or (flags & OUT and not flags & IN):
            continue
        shown.append(name + ("=%r" % default if flags & 0x10 else "=<omitted>" if flags & 0x08 else ""))
    return "%s(%s)" % (member.name, ", ".join(shown))


def _call_member(ptr, member, kind, args, kwargs, value=None):
    """Calls one entry of a typed member: positional arguments fill the [in] parameters in order,
    keywords name any parameter without regard to case, omitted optional ones are left to the
    component, [out] parameters come back as results."""
    params, _ = getattr(member, kind)
    callable_ = [i for i, p in enumerate(params) if not p[1] & RETVAL]
    if kind in ("put", "putref"):
        callable_ = callable_[:-1]  # the value travels as the DISPID_PROPERTYPUT argument
    inputs = [i for i in callable_ if params[i][1] & IN]
    if len(args) > len(inputs):
        raise TypeError("%s takes at most %d arguments (%d given)" % (_signature(member, kind), len(inputs),
                                                                      len(args)))
    given = dict(zip(inputs, args))
    for key, val in kwargs.items():
        i = next((i for i in callable_ if params[i][0].lower() == key.lower()), None)
        if i is None:
            raise TypeError("%s has no argument named %r" % (_signature(member, kind), key))
        if i in given:
            raise TypeError("%s got two values for %r" % (_signature(member, kind), params[i][0]))
        given[i] = val
    outs = [_Out(params[i], given.get(i), i in given) for i in callable_ if params[i][1] & OUT]
    given.update(zip((i for i in callable_ if params[i][1] & OUT), outs))
    positional = []
    for i in callable_:
        if i not in given:
            break
        positional.append(given.pop(i))
    named = sorted(given.items())
    if kind == "func":
        flags = rt.DISPATCH_METHOD
    elif kind == "get":
        flags = rt.DISPATCH_PROPERTYGET
    else:
        named.insert(0, (rt.DISPID_PROPERTYPUT, value))
        flags = rt.DISPATCH_PROPERTYPUTREF if kind == "putref" else rt.DISPATCH_PROPERTYPUT
    has_retval = bool(params) and bool(params[-1][1] & RETVAL)
    result = _invoke(ptr, member.dispid, flags, positional, named, params[-1][3] if has_retval else None)
    if not outs:
        return result
    values = [o.result for o in outs]
    if has_retval:
        return (result, *values)
    return values[0] if len(values) == 1 else tuple(values)


def _put_kind(member, value):
    """Objects are set by reference (PROPERTYPUTREF), as `Set obj.Prop = x` does in a script."""
    is_object = isinstance(value, (Dispatch, Unknown))
    if member.putref and (is_object or not member.put):
        return "putref"
    return "put" if member.put else None


class _Method:
    """A method of an object, bound to it: call it."""
    __slots__ = ("_obj", "_member", "_kind")

    def __init__(self, obj, member, kind="func"):
        self._obj, self._member, self._kind = obj, member, kind

    def __call__(self, *args, **kwargs):
        return _call_member(self._obj._ptr, self._member, self._kind, args, kwargs)

    def __repr__(self):
        return "<method %s>" % _signature(self._member, self._kind)


class _Indexed(_Method):
    """A property with arguments: obj.Prop[x, y] reads it, obj.Prop[x, y] = v writes it, and
    obj.Prop(x, y) reads it too."""
    __slots__ = ()

    def __init__(self, obj, member):
        super().__init__(obj, member, "get" if member.get else "func")

    def __getitem__(self, key):
        return self(*(key if isinstance(key, tuple) else (key,)))

    def __setitem__(self, key, value):
        kind = _put_kind(self._member, value)
        if kind is None:
            raise AttributeError("%s cannot be set" % self._member.name)
        _call_member(self._obj._ptr, self._member, kind, key if isinstance(key, tuple) else (key,), {}, value)


class _LateMember:
    """A member of an object whose interface the tables do not know, found by name: called with
    METHOD|PROPERTYGET, indexed like a property with arguments."""
    __slots__ = ("_obj", "_name", "_dispid")

    def __init__(self, obj, name, dispid):
        self._obj, self._name, self._dispid = obj, name, dispid

    def __call__(self, *args, **kwargs):
        named = list(zip(self._obj._ids_of(self._name, list(kwargs)), kwargs.values())) if kwargs else []
        return _invoke(self._obj._ptr, self._dispid, rt.DISPATCH_METHOD | rt.DISPATCH_PROPERTYGET, list(args),
                       named)

    def __getitem__(self, key):
        return self(*(key if isinstance(key, tuple) else (key,)))

    def __setitem__(self, key, value):
        flags = rt.DISPATCH_PROPERTYPUTREF if isinstance(value, (Dispatch, Unknown)) else rt.DISPATCH_PROPERTYPUT
        _invoke(self._obj._ptr, self._dispid, flags, list(key if isinstance(key, tuple) else (key,)),
                [(rt.DISPID_PROPERTYPUT, value)])


class Unknown:
    """An object reached through IUnknown only (a stream, an enumerator). Holds one reference."""
    __slots__ = ("_ptr", "__weakref__")

    @classmethod
    def _own(cls, ptr):
        self = object.__new__(cls)
        self._ptr = ptr
        return self

    def __del__(self, release=rt.release):
        ptr = getattr(self, "_ptr", None)
        if ptr:
            self._ptr = None
            release(ptr)

    def __repr__(self):
        return "<zentarix.Unknown at 0x%x>" % self._ptr


class Dispatch:
    """An automation object: Dispatch("Zentarix.RasterObject") creates one by ProgID (or by CLSID
    in braces). Attributes are its properties and methods, without regard to case; properties with
    arguments are indexed (obj.Pixels[x, y]); iteration goes through _NewEnum; obj[i] and obj(i) use
    the default member. A failing call raises ComError. The wrapper holds one reference to the
    object, released when the wrapper is collected."""
    __slots__ = ("_ptr", "_itf", "_ids", "__weakref__")

    def __init__(self, progid):
        clsid = rt.GUID()
        if progid.startswith("{"):
            clsid = rt.GUID.parse(progid[1:-1])
        else:
            hr = rt.CLSIDFromProgID(rt.olestr(progid), byref(clsid))
            if hr < 0:
                raise rt.ComError(hr, source=progid)
        ptr = c_void_p()
        hr = rt.CoCreateInstance(byref(clsid), None, rt.CLSCTX_INPROC_SERVER, byref(rt.IID_IDispatch), byref(ptr))
        if hr < 0:
            raise rt.ComError(hr, source=progid)
        coclass = _typelib.COCLASSES.get(str(clsid))
        ptr, itf = _typed(ptr.value, coclass[1] if coclass else None)
        self._init(ptr, itf)

    def _init(self, ptr, itf):
        object.__setattr__(self, "_ptr", ptr)
        object.__setattr__(self, "_itf", itf)
        object.__setattr__(self, "_ids", {})

    @classmethod
    def _own(cls, ptr, itf):
        self = object.__new__(cls)
        self._init(ptr, itf)
        return self

    def __del__(self, release=rt.release):
        ptr = getattr(self, "_ptr", None)
        if ptr:
            object.__setattr__(self, "_ptr", None)
            release(ptr)

    # ---- members by name -------------------------------------------------------------------
    def _ids_of(self, name, argnames=()):
        """DISPIDs from GetIDsOfNames: the member's, or its arguments' when argnames are given."""
        key = (name.lower(), *[a.lower() for a in argnames])
        if key not in self._ids:
            names = [rt.olestr(n) for n in (name, *argnames)]
            ids = (c_int32 * len(names))()
            hr = rt.method(self._ptr, rt.GETIDSOFNAMES)(self._ptr, byref(rt.IID_NULL), (c_char_p * len(names))(*names),
                                                        len(names), 0, ids)
            if hr < 0 and ids[0] == -1:
                raise AttributeError("%s has no member %s" % (self._name(), name))
            if hr < 0:
                raise TypeError("%s has no argument named %s" % (name, " or ".join(argnames)))
            self._ids[key] = list(ids)[1:] if argnames else ids[0]
        return self._ids[key]

    def _member(self, name):
        member = self._itf.members.get(name.lower())
        if member is None:
            raise AttributeError("%s has no member %s" % (self._itf.name, name))
        return member

    def _name(self):
        return self._itf.name if self._itf else "the object"

    def __getattr__(self, name):
        if name.startswith("__") or name in Dispatch.__slots__:
            raise AttributeError(name)
        if self._itf is None:
            dispid = self._ids_of(name)
            try:
                return _invoke(self._ptr, dispid, rt.DISPATCH_PROPERTYGET, [])
            except rt.ComError as e:
                if e.hresult in (DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL):
                    return _LateMember(self, name, dispid)
                raise
        member = self._member(name)
        if member.get:
            needs_arguments = any(p[1] & IN and not p[1] & 0x08 for p in member.get[0])
            if needs_arguments:
                return _Indexed(self, member)
            return _call_member(self._ptr, member, "get", (), {})
        if member.func:
            return _Method(self, member)
        if any(p[1] & IN and not p[1] & 0x08 for p in (member.put or member.putref)[0][:-1]):
            return _Indexed(self, member)  # a write-only property with arguments
        raise AttributeError("%s.%s can be set but not read" % (self._itf.name, member.name))

    def __setattr__(self, name, value):
        if name.startswith("_") and name in Dispatch.__slots__:
            raise AttributeError("%s is the wrapper's own" % name)
        if self._itf is None:
            flags = rt.DISPATCH_PROPERTYPUTREF if isinstance(value, (Dispatch, Unknown)) else rt.DISPATCH_PROPERTYPUT
            _invoke(self._ptr, self._ids_of(name), flags, [], [(rt.DISPID_PROPERTYPUT, value)])
            return
        member = self._member(name)
        kind = _put_kind(member, value)
        if kind is None:
            raise AttributeError("%s.%s is read-only" % (self._itf.name, member.name))
        _call_member(self._ptr, member, kind, (), {}, value)

    def __dir__(self):
        return sorted(m.name for m in self._itf.members.values()) if self._itf else []

    # ---- default member, iteration ---------------------------------------------------------
    def __call__(self, *args):
        return _invoke(self._ptr, rt.DISPID_VALUE, rt.DISPATCH_METHOD | rt.DISPATCH_PROPERTYGET, list(args))

    def __getitem__(self, key):
        return self(*(key if isinstance(key, tuple) else (key,)))

    def __setitem__(self, key, value):
        _invoke(self._ptr, rt.DISPID_VALUE, rt.DISPATCH_PROPERTYPUT, list(key if isinstance(key, tuple) else (key,)),
                [(rt.DISPID_PROPERTYPUT, value)])

    def __iter__(self):
        source = _invoke(self._ptr, rt.DISPID_NEWENUM, rt.DISPATCH_METHOD | rt.DISPATCH_PROPERTYGET, [])
        if not isinstance(source, (Dispatch, Unknown)):
            raise TypeError("%s cannot be enumerated" % self._name())
        enumerator = rt.query_interface(source._ptr, rt.IID_IEnumVARIANT)
        del source
        if not enumerator:
            raise TypeError("%s gave an enumerator without IEnumVARIANT" % self._name())
        return _Enumeration(Unknown._own(enumerator))

    def __len__(self):
        return self.Count

    def __repr__(self):
        return "<zentarix.Dispatch %s at 0x%x>" % (self._name(), self._ptr or 0)


class _Enumeration:
    """Walks an IEnumVARIANT one element at a time; the enumerator goes with this object."""

    def __init__(self, enumerator):
        self._enumerator = enumerator

    def __iter__(self):
        return self

    def __next__(self):
        if self._enumerator is None:
            raise StopIteration
        ptr = self._enumerator._ptr
        item, fetched = rt.VARIANT(), c_uint32(0)
        hr = rt.method(ptr, rt.ENUM_NEXT)(ptr, 1, byref(item), byref(fetched))
        if hr < 0:
            raise rt.ComError(hr)
        if hr == rt.S_FALSE or fetched.value == 0:
            self._enumerator = None  # released now rather than when the loop's iterator is collected
            raise StopIteration
        return rt.take(item)
