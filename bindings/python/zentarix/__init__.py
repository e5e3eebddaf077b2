# Zentarix — MIT licence.
"""Late-bound Python access to the Zentarix imaging component.

    import zentarix
    image = zentarix.Dispatch("Zentarix.RasterObject")
    image.LoadFile("photo.jpg")
    image.Resize(320, 240, Quality=zentarix.rqtBicubicMode)
    image.EncoderOptions["JPEGQuality"] = 80
    image.SaveFile("thumbnail.jpg")

Objects are created by ProgID through the class registry, as any COM client creates them. Values
convert both ways: bool, int, float, str, None, bytes (an array of bytes), nested lists (arrays of
Variants) and numpy integer arrays (pixel arrays: (height, width) ARGB values); arrays of 32-bit
integers come back as numpy views of the returned array's memory. The enumerations and the colour
constants of the type library are names of this package (zentarix.oftJPEG,
zentarix.OutputFileTypes.oftJPEG, zentarix.zxRed). Failures raise ComError.
"""
from . import _runtime, _typelib
from ._dispatch import ENUM_TYPES as _ENUM_TYPES
from ._dispatch import Dispatch, Unknown
from ._runtime import ComError

__all__ = ["Dispatch", "Unknown", "ComError"]

# Every thread of the process may create and call objects: they are free-threaded, and the
# process's multithreaded apartment stays open for as long as the package is loaded. A thread that
# other code already made single-threaded keeps its apartment (RPC_E_CHANGED_MODE) and works too.
_hr = _runtime.CoInitializeEx(None, _runtime.COINIT_MULTITHREADED)
if _hr < 0 and _runtime.unsigned(_hr) != 0x80010106:
    raise _runtime.ComError(_hr, "the COM runtime cannot be initialised")

for _name, _type in _ENUM_TYPES.items():
    globals()[_name] = _type
    __all__.append(_name)
    for _member in _type.__members__:
        globals()[_member] = _type[_member]
        __all__.append(_member)
for _name, _value in _typelib.CONSTANTS:
    globals()[_name] = _value
    __all__.append(_name)
del _hr, _name, _type, _member, _value
