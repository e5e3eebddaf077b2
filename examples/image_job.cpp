// Zentarix — MIT licence.
// The main job, late-bound like a script: load a photo, save it as PNG and as JPEG of quality 80, put a
// caption and a frame on it and save that too, report the files.
#include <cstdio>
#include <filesystem>
#include <string>

#include "LateBound.h"

namespace {

using zx::late::ErrorRecord;
using zx::late::number;
using zx::late::Script;
using zx::late::text;

int fail(const std::string& what, HRESULT hr, const EXCEPINFO* error = nullptr) {
  return zx::late::fail("image_job", what, hr, error);
}

HRESULT new_raster(zx::ComPtr<IDispatch>& raster) { return Script::create(u"Zentarix.RasterObject", raster); }

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
// a dark band along the bottom, a white frame inside the edges and the caption on the band.
int draw_caption_and_frame(IDispatch* rasterObject, double width, double height) {
  zx::ComPtr<IDispatch> toolObject, penObject, bandObject, whiteObject, fontObject;
  for (auto [progid, made] : {std::pair{u"Zentarix.DrawingTool", &toolObject}, std::pair{u"Zentarix.Pen", &penObject},
                              std::pair{u"Zentarix.SolidBrush", &bandObject},
                              std::pair{u"Zentarix.SolidBrush", &whiteObject}, std::pair{u"Zentarix.TextInfo", &fontObject}})
    if (const HRESULT hr = Script::create(progid, *made); FAILED(hr)) return fail("CoCreateInstance", hr);
  const Script tool(toolObject), pen(penObject), band(bandObject), white(whiteObject), font(fontObject);
  ErrorRecord error;
  const double edge = height / 40, bandHeight = height / 8;
  const zx::Variant raster = object(rasterObject), penArg = object(penObject.get()), bandArg = object(bandObject.get()),
                    whiteArg = object(whiteObject.get()), fontArg = object(fontObject.get());
  const zx::Variant penWidth = real(edge), opaqueWhite = number(-1), transparent = number(0),
                    dark = number(static_cast<LONG>(0xA0101418)), fontSize = real(bandHeight / 2), yes = number(-1),
                    centred = number(1), angle = real(0);
  const zx::Variant strip[] = {real(0), real(height - bandHeight), real(width), real(bandHeight), angle, yes};
  const zx::Variant frame[] = {real(edge), real(edge), real(width - 2 * edge), real(height - 2 * edge), angle, number(0)};
  const zx::Variant caption = text("Dandelion seeds, drawn on by Zentarix"), x = real(width / 2),
                    y = real(height - bandHeight * 0.8);
  HRESULT hr;
  if (FAILED(hr = tool.call(u"RasterObject", DISPATCH_PROPERTYPUT, {&raster}, nullptr, &error)) ||
      FAILED(hr = pen.call(u"Width", DISPATCH_PROPERTYPUT, {&penWidth}, nullptr, &error)) ||
      FAILED(hr = pen.call(u"color", DISPATCH_PROPERTYPUT, {&transparent}, nullptr, &error)) ||
      FAILED(hr = band.call(u"color", DISPATCH_PROPERTYPUT, {&dark}, nullptr, &error)) ||
      FAILED(hr = tool.call(u"SetRectangle", DISPATCH_METHOD,
                            {&strip[0], &strip[1], &strip[2], &strip[3], &strip[4], &strip[5], &penArg, &bandArg},
                            nullptr, &error)) ||
      FAILED(hr = pen.call(u"color", DISPATCH_PROPERTYPUT, {&opaqueWhite}, nullptr, &error)) ||
      FAILED(hr = tool.call(u"SetRectangle", DISPATCH_METHOD,
                            {&frame[0], &frame[1], &frame[2], &frame[3], &frame[4], &frame[5], &penArg}, nullptr,
                            &error)))
    return fail("drawing the frame", hr, &error);
  if (FAILED(hr = font.call(u"FontSize", DISPATCH_PROPERTYPUT, {&fontSize}, nullptr, &error)) ||
      FAILED(hr = font.call(u"IsBold", DISPATCH_PROPERTYPUT, {&yes}, nullptr, &error)) ||
      FAILED(hr = font.call(u"TextAlignment", DISPATCH_PROPERTYPUT, {&centred}, nullptr, &error)) ||
      FAILED(hr = white.call(u"color", DISPATCH_PROPERTYPUT, {&opaqueWhite}, nullptr, &error)) ||
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
  if (const int failed = draw_caption_and_frame(object.get(), width.lVal, height.lVal)) return failed;
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
