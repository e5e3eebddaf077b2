# Zentarix — MIT licence.
# The late-binding client: properties, calls, conversions, errors, iteration, pixel arrays and
# reference counts, all through the real module.
import ctypes
import gc
import os
import subprocess
import sys

import numpy as np
import pytest

import zentarix as zx
from conftest import MODULE
from zentarix import _runtime

RED, BLUE = -65536, -16776961


@pytest.mark.parametrize("name, other_case, value, expected", [
    ("OutputFileType", "outputfiletype", zx.oftPNG, zx.OutputFileTypes.oftPNG),
    ("HorizontalResolution", "HORIZONTALRESOLUTION", 150.5, 150.5),
    ("EnableLZW", "enableLzw", True, True),
    ("EnableLZW", "EnableLZW", False, False),
])
def test_properties_are_read_and_written_without_regard_to_case(image, name, other_case, value, expected):
    image.EmptyImage(2, 2)
    setattr(image, name, value)
    got = getattr(image, other_case)
    assert got == expected and type(got) is type(expected)


def test_properties_with_arguments_are_indexed(image):
    image.EmptyImage(4, 3)
    image.Pixels[3, 2] = RED
    image.EncoderOptions["JPEGQuality"] = 80
    assert (image.Pixels[3, 2], image.Pixels(2, 3 - 1), image.Pixels[0, 0]) == (RED, -1, -1)
    assert image.EncoderOptions["jpegquality"] == 80


def test_methods_take_defaults_keywords_in_any_case_and_skip_omitted_arguments(image):
    image.EmptyImage(4, 3)  # the default colour: opaque white
    assert (image.Width, image.Height, image.Pixels[1, 1]) == (4, 3, -1)
    image.EmptyImage(Height=2, width=6, COLOR=BLUE)
    assert (image.Width, image.Height, image.Pixels[5, 1]) == (6, 2, BLUE)
    for y in range(2):
        image.Pixels[2, y] = 0
    # FloodFillMode is given, Tolerance skipped, PreserveAlpha named after the gap.
    image.FloodFill(0, 0, RED, 0, zx.ffmFillUntilColor, PreserveAlpha=False)
    assert [image.Pixels[x, 0] for x in range(4)] == [RED, RED, 0, BLUE]
    with pytest.raises(TypeError, match="no argument named 'Colour'"):
        image.EmptyImage(1, 1, Colour=RED)
    with pytest.raises(TypeError, match="two values for 'Width'"):
        image.EmptyImage(1, 1, width=2)


@pytest.mark.parametrize("call, hresult, source, description", [
    (lambda im: im.LoadFile("/nonexistent/photo.jpg"), 0x80004005, "Zentarix.RasterObject.1",
     "Cannot load file /nonexistent/photo.jpg"),
    (lambda im: im.GetHistogram(zx.htRed), 0x80004005, "Zentarix.RasterObject.1",
     "The image is not loaded! Cannot obtain histogram from empty image."),
    (lambda im: im.EmptyImage("wide", 3), 0x80020005, "", "Type mismatch."),
    (lambda im: im.EmptyImage(3), 0x8002000F, "", "Parameter not optional."),
    (lambda im: zx.Dispatch("Zentarix.NoSuchClass"), 0x800401F3, "Zentarix.NoSuchClass", "Invalid class string."),
])
def test_failures_raise_com_error_with_the_components_words(image, call, hresult, source, description):
    with pytest.raises(zx.ComError) as failure:
        call(image)
    e = failure.value
    assert (hex(e.hresult), e.source, e.description) == (hex(hresult), source, description)


def test_attributes_the_type_library_lacks_are_refused(image):
    with pytest.raises(AttributeError, match="IRasterObject has no member Colour"):
        image.Colour
    with pytest.raises(AttributeError, match="read-only"):
        image.Width = 5


@pytest.mark.parametrize("value", [
    True, False, 0, -2 ** 31, 2 ** 40, 1.5, "", "Grüße 𝄞", None, b"\x00\xffraw",
    [1, "two", [3.5, None]], [[1, 2, 3], [4, 5, 6]], [],
])
def test_values_survive_a_round_trip_through_a_variant_store(value):
    store = zx.Dispatch("Scripting.Dictionary")
    store.Add("k", value)
    got = store.Item("k")
    assert got == value and type(got) is type(value)


def test_objects_pass_by_reference_and_come_back_typed(image):
    store = zx.Dispatch("Scripting.Dictionary")
    image.EmptyImage(3, 2)
    store.Item["image"] = image  # an object is put by reference (PROPERTYPUTREF)
    back = store["image"]
    assert repr(back).startswith("<zentarix.Dispatch IRasterObject") and back.Width == 3
    clone = image.Clone()
    image.EmptyImage(1, 1)
    assert (clone.Width, clone.Height) == (3, 2)


def test_iteration_walks_the_collection_in_order():
    keys = zx.Dispatch("Scripting.Dictionary")
    for k in ("b", "a", "c"):
        keys[k] = k.upper()
    assert list(keys) == ["b", "a", "c"] and len(keys) == 3
    assert [keys[k] for k in keys] == ["B", "A", "C"]


def test_layers_are_iterated_and_indexed_like_a_script_walks_them():
    layers = zx.Dispatch("Zentarix.RasterCollection")
    for width in (3, 2, 1):
        layers.Add().EmptyImage(width, 1)
    layers.Move(2, 0)
    assert [(layer.Key, layer.Width) for layer in layers] == [("RasterObject2", 1), ("RasterObject0", 3),
                                                              ("RasterObject1", 2)]
    assert (layers["RasterObject1"].Index, layers[0].Key, len(layers)) == (2, "RasterObject2", 3)


def test_enumerations_and_constants_are_names():
    assert (zx.oftJPEG, zx.OutputFileTypes.oftEXIF, zx.rqtBicubicMode) == (0, 8, 3)
    assert zx.OutputFileTypes(7) is zx.oftSupportedCount  # oftEMF shares the value
    assert (zx.zxAliceBlue, zx.zxAqua) == (-984833, -16711681)


def test_pixel_arrays_cross_as_numpy_arrays_in_their_linear_layout(image):
    pixels = np.arange(15, dtype=np.int32).reshape(3, 5) * 7 - 40  # 3 rows of 5: no symmetry to hide a swap
    flip = zx.Dispatch("Zentarix.TransformFlipAndRotate")
    flip.FlipType = zx.fartNoRotateFlipX
    np.testing.assert_array_equal(flip.Apply(pixels), np.fliplr(pixels))
    flip.FlipType = zx.fartRotate90NoFlip
    turned = flip.Apply(InputArray=pixels.astype(np.uint32))  # unsigned ARGB keeps its bits
    assert turned.shape == (5, 3) and turned.dtype == np.int32
    np.testing.assert_array_equal(turned, np.rot90(pixels, -1))
    assert isinstance(turned.base, _runtime._ArrayBlock)  # a view of the returned array's own memory
    image.EmptyImage(5, 3)
    histogram = image.GetHistogram(zx.htRed)
    assert histogram.shape == (256,) and histogram[255] == 15


def test_no_reference_outlives_ten_thousand_calls():
    module = ctypes.CDLL(MODULE)  # the library activation loaded: the same handle
    image = zx.Dispatch("Zentarix.RasterObject")  # not the fixture's, which outlives the test
    image.EmptyImage(8, 8)
    clone = image.Clone()
    for i in range(10000):
        image.Pixels[i % 8, 3] = i
        assert image.Pixels[i % 8, 3] == i
        image.EncoderOptions["Name"] = "value %d" % i
        if i % 1000 == 0:
            clone = image.Clone()
            with pytest.raises(zx.ComError):
                image.LoadFile("/nonexistent/%d.png" % i)
            image.EmptyImage(8, 8)
    ptr = image._ptr
    assert _runtime.addref(ptr) == 2 and _runtime.release(ptr) == 1
    assert module.DllCanUnloadNow() == 1  # S_FALSE: objects are alive
    del clone, image
    gc.collect()
    assert module.DllCanUnloadNow() == 0


def test_the_package_build_generates_the_type_tables(tmp_path):
    setup = os.path.join(os.environ["ZX_TEST_SOURCE_DIR"], "bindings", "python", "setup.py")
    subprocess.run([sys.executable, setup, "-q", "build_py", "--build-lib", str(tmp_path)], check=True,
                   cwd=tmp_path, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    text = (tmp_path / "zentarix" / "_typelib.py").read_text()
    assert "'IRasterObject': ('{803D856D-0F92-4FF8-80C0-F1DE58ECE76D}'" in text
    assert (tmp_path / "zentarix" / "_dispatch.py").exists()
