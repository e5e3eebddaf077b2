// Zentarix — MIT licence.
// The main job, late-bound like a script: load a photo, save it as PNG and as JPEG of quality 80, put a
// caption and a frame on it and save that too, report the files.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "zx/com.h"

namespace {

// Clears what a failed Invoke left in the exception record.
struct ErrorRecord : EXCEPINFO {
  ErrorRecord() : EXCEPINFO{} {}
  ErrorRecord(const ErrorRecord&) = delete;
  ErrorRecord& operator=(const ErrorRecord&) = delete;
  ~ErrorRecord() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
};

int fail(const std::string& what, HRESULT hr, const EXCEPINFO* error = nullptr) {
  std::fprintf(stderr, "image_job: %s failed (0x%08X)", what.c_str(), static_cast<unsigned>(hr));
  if (error && error->bstrDescription)
    std::fprintf(stderr, ": %s",
                 zx::to_utf8(std::u16string_view(error->bstrDescription, SysStringLen(error->bstrDescription))).c_str());
  std::fprintf(stderr, "\n");
  return 1;
}

zx::Variant text(const std::string& s) {
  zx::Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = zx::Bstr(zx::to_utf16(s)).detach();
  return v;
}

zx::Variant number(LONG n) {
  zx::Variant v;
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}

// A script-like handle on one object: members are found by name and called through Invoke.
// Arguments are given in reading order; Invoke wants them last first.
class Script {
 public:
  explicit Script(zx::ComPtr<IDispatch> object) : m_object(std::move(object)) {}

  HRESULT call(const char16_t* member, WORD kind, std::initializer_list<const VARIANT*> arguments, zx::Variant* result,
               ErrorRecord* error) const {
    std::u16string name(member);
    LPOLESTR names[] = {name.data()};
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) return hr;
    VARIANT reversed[8];
    UINT count = 0;
    for (auto it = arguments.end(); it != arguments.begin();) reversed[count++] = **--it;  // borrowed, not copied
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters = {reversed, nullptr, count, 0};
    if (kind == DISPATCH_PROPERTYPUT) {
      parameters.rgdispidNamedArgs = &putId;  // the value of a put is the named argument
      parameters.cNamedArgs = 1;
    }
    zx::Variant ignored;
    return m_object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters, result ? result : &ignored,
                            error, nullptr);
  }

 private:
  zx::ComPtr<IDispatch> m_object;
};

HRESULT new_object(const char16_t* progid, zx::ComPtr<IDispatch>& object) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(progid, &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void());
}

HRESULT new_raster(zx::ComPtr<IDispatch>& raster) { return new_object(u"Zentarix.RasterObject", raster); }

zx::Variant real(double d) {
  zx::Variant v;
  v.vt = VT_R8;
  v.dblVal = d;
  return v;
}

zx::Variant object(IDispatch* p) {
  zx::Variant v;
  v.vt = VT_DISPATCH;
  v.pdispVal = p;
  p->AddRef();
  return v;
}

// The caption and the frame, drawn by a DrawingTool on the raster object as a script draws them:
// a white frame inside the edges, a dark band along the bottom and the caption on it.
int draw_caption_and_frame(IDispatch* rasterObject, double width, double height) {
  zx::ComPtr<IDispatch> toolObject, penObject, bandObject, fontObject;
  for (auto [progid, made] : {std::pair{u"Zentarix.DrawingTool", &toolObject}, std::pair{u"Zentarix.Pen", &penObject},
                              std::pair{u"Zentarix.SolidBrush", &bandObject}, std::pair{u"Zentarix.TextInfo", &fontObject}})
    if (const HRESULT hr = new_object(progid, *made); FAILED(hr)) return fail("CoCreateInstance", hr);
  const Script tool(toolObject), pen(penObject), band(bandObject), font(fontObject);
  ErrorRecord error;
  const double edge = height / 40, bandHeight = height / 8;
  const zx::Variant raster = object(rasterObject), penArg = object(penObject.get()), bandArg = object(bandObject.get()),
                    fontArg = object(fontObject.get());
  const zx::Variant penWidth = real(edge), white = number(-1), transparent = number(0),
                    dark = number(static_cast<LONG>(0xA0101418)), fontSize = real(bandHeight / 2), bold = number(-1);
  const zx::Variant frame[] = {real(edge), real(edge), real(width - 2 * edge), real(height - 2 * edge), real(0), number(0)};
  const zx::Variant strip[] = {real(0), real(height - bandHeight), real(width), real(bandHeight), real(0), number(-1)};
  const zx::Variant caption = text("Dandelion seeds, drawn on by Zentarix"), x = real(width / 2),
                    y = real(height - bandHeight * 0.8), centred = number(1);
  HRESULT hr;
  if (FAILED(hr = tool.call(u"RasterObject", DISPATCH_PROPERTYPUT, {&raster}, nullptr, &error)) ||
      FAILED(hr = pen.call(u"Width", DISPATCH_PROPERTYPUT, {&penWidth}, nullptr, &error)) ||
      FAILED(hr = pen.call(u"color", DISPATCH_PROPERTYPUT, {&transparent}, nullptr, &error)) ||
      FAILED(hr = band.call(u"color", DISPATCH_PROPERTYPUT, {&dark}, nullptr, &error)) ||
      FAILED(hr = tool.call(u"SetRectangle", DISPATCH_METHOD,
                            {&strip[0], &strip[1], &strip[2], &strip[3], &strip[4], &strip[5], &penArg, &bandArg},
                            nullptr, &error)) ||
      FAILED(hr = pen.call(u"color", DISPATCH_PROPERTYPUT, {&white}, nullptr, &error)) ||
      FAILED(hr = tool.call(u"SetRectangle", DISPATCH_METHOD,
                            {&frame[0], &frame[1], &frame[2], &frame[3], &frame[4], &frame[5], &penArg}, nullptr,
                            &error)) ||
      FAILED(hr = font.call(u"FontSize", DISPATCH_PROPERTYPUT, {&fontSize}, nullptr, &error)) ||
      FAILED(hr = font.call(u"IsBold", DISPATCH_PROPERTYPUT, {&bold}, nullptr, &error)) ||
      FAILED(hr = font.call(u"TextAlignment", DISPATCH_PROPERTYPUT, {&centred}, nullptr, &error)))
    return fail("drawing the frame", hr, &error);
  zx::ComPtr<IDispatch> whiteBrush;
  if (FAILED(hr = new_object(u"Zentarix.SolidBrush", whiteBrush))) return fail("CoCreateInstance", hr);
  const zx::Variant whiteArg = object(whiteBrush.get()), angle = real(0);
  if (FAILED(hr = Script(whiteBrush).call(u"color", DISPATCH_PROPERTYPUT, {&white}, nullptr, &error)) ||
      FAILED(hr = tool.call(u"SetText", DISPATCH_METHOD, {&caption, &x, &y, &angle, &fontArg, &whiteArg}, nullptr,
                            &error)))
    return fail("drawing the caption", hr, &error);
  return 0;
}

// Reads a saved file back with a fresh object and prints its name, size and dimensions.
int report_file(const std::filesystem::path& path) {
  zx::ComPtr<IDispatch> object;
  HRESULT hr = new_raster(object);
  if (FAILED(hr)) return fail("CoCreateInstance", hr);
  const Script check(object);
  ErrorRecord error;
  const zx::Variant name = text(path.string());
  if (FAILED(hr = check.call(u"LoadFile", DISPATCH_METHOD, {&name}, nullptr, &error)))
    return fail("LoadFile(" + path.string() + ")", hr, &error);
  zx::Variant width, height;
  if (FAILED(hr = check.call(u"Width", DISPATCH_PROPERTYGET, {}, &width, &error))) return fail("Width", hr, &error);
  if (FAILED(hr = check.call(u"Height", DISPATCH_PROPERTYGET, {}, &height, &error))) return fail("Height", hr, &error);
  std::printf("  wrote %-28s %10llu bytes, reads back as %ld x %ld\n", path.filename().string().c_str(),
              static_cast<unsigned long long>(std::filesystem::file_size(path)), static_cast<long>(width.lVal),
              static_cast<long>(height.lVal));
  return 0;
}

int run(const std::string& input, const std::filesystem::path& folder) {
  zx::ComPtr<IDispatch> object;
  HRESULT hr = new_raster(object);
  if (FAILED(hr)) return fail("CLSIDFromProgID/CoCreateInstance (is the module registered?)", hr);
  const Script raster(object);
  ErrorRecord error;

  const zx::Variant inputName = text(input);
  if (FAILED(hr = raster.call(u"LoadFile", DISPATCH_METHOD, {&inputName}, nullptr, &error)))
    return fail("LoadFile", hr, &error);
  zx::Variant width, height;
  raster.call(u"Width", DISPATCH_PROPERTYGET, {}, &width, &error);
  raster.call(u"Height", DISPATCH_PROPERTYGET, {}, &height, &error);
  std::printf("loaded %s: %ld x %ld\n", std::filesystem::path(input).filename().string().c_str(),
              static_cast<long>(width.lVal), static_cast<long>(height.lVal));

  std::filesystem::create_directories(folder);
  const std::filesystem::path png = folder / "sample.png";
  const std::filesystem::path jpeg = folder / "sample-q80.jpg";
  // The output type follows each name's extension (automatic mode); the quality goes through the
  // options store, as a script writes  raster.EncoderOptions("JPEGQuality") = 80.
  const zx::Variant pngName = text(png.string());
  if (FAILED(hr = raster.call(u"SaveFile", DISPATCH_METHOD, {&pngName}, nullptr, &error)))
    return fail("SaveFile(" + png.string() + ")", hr, &error);
  const zx::Variant option = text("JPEGQuality");
  const zx::Variant quality = number(80);
  if (FAILED(hr = raster.call(u"EncoderOptions", DISPATCH_PROPERTYPUT, {&option, &quality}, nullptr, &error)))
    return fail("EncoderOptions(\"JPEGQuality\") = 80", hr, &error);
  const zx::Variant jpegName = text(jpeg.string());
  if (FAILED(hr = raster.call(u"SaveFile", DISPATCH_METHOD, {&jpegName}, nullptr, &error)))
    return fail("SaveFile(" + jpeg.string() + ")", hr, &error);

  // A caption and a frame drawn on the photo itself, saved as its own JPEG.
  const std::filesystem::path captioned = folder / "sample-captioned.jpg";
  if (int failed = draw_caption_and_frame(object.get(), width.lVal, height.lVal)) return failed;
  const zx::Variant captionedName = text(captioned.string());
  if (FAILED(hr = raster.call(u"SaveFile", DISPATCH_METHOD, {&captionedName}, nullptr, &error)))
    return fail("SaveFile(" + captioned.string() + ")", hr, &error);

  int status = report_file(png);
  if (status == 0) status = report_file(jpeg);
  if (status == 0) status = report_file(captioned);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: image_job <image file> <output folder>\n");
    return 2;
  }
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) return fail("CoInitializeEx", hr);
  const int status = run(argv[1], argv[2]);
  CoUninitialize();
  return status;
}
