// Zentarix — MIT licence.
// RasterObject.SaveFile and the options store: choosing the encoder, settings objects, whole-file replacement.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "SaveTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

namespace fs = std::filesystem;

constexpr OLECHAR kSaveFileNoImage[] =
    u"Cannot save image to file, because there is no any data. Create new image or load it first.";
constexpr OLECHAR kNoExtension[] = u"Cannot determine output file type automatically: no extension is presented!";
constexpr OLECHAR kManagerSource[] = u"Zentarix.EncoderManager.1";

std::string text(const VARIANT& v) { return V_VT(&v) == VT_BSTR ? to_utf8(std::u16string_view(V_BSTR(&v))) : "<not text>"; }

// An entry's number (VT_I4 only) and an entry's type (VT_ERROR when absent).
LONG option_long(IRasterObject* raster, const OLECHAR* name) {
  const Variant value = option(raster, name);
  EXPECT_EQ(V_VT(&value), VT_I4);
  return V_VT(&value) == VT_I4 ? V_I4(&value) : -12345;
}
VARTYPE option_type(IRasterObject* raster, const OLECHAR* name) {
  const Variant value = option(raster, name);
  return V_VT(&value);
}

template <class I>
ComPtr<I> make_settings(const OLECHAR* progId) {
  make_raster();  // registers the module
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
  ComPtr<I> object;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, uuid_of<I>::value, object.put_void()), S_OK);
  return object;
}

template <class I>
IDispatch* as_dispatch(const ComPtr<I>& object) {
  return static_cast<IDispatch*>(object.get());
}

HRESULT save(IRasterObject* raster, const fs::path& path, IDispatch* encoder = nullptr) {
  Bstr name = bstr_path(path);
  return raster->SaveFile(name.get(), encoder);
}

HRESULT put_option(IRasterObject* raster, const OLECHAR* name, const Variant& value) {
  Bstr key(name);
  return raster->put_EncoderOptions(key.get(), value);
}

Variant long_value(LONG v) {
  Variant value;
  V_VT(&value) = VT_I4;
  V_I4(&value) = v;
  return value;
}

// ---- choosing the encoder ---------------------------------------------------------------------------

TEST(SaveFileAutomatic, UpperCaseExtensionWritesAPngAndTheModeStaysAutomatic) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster(true);
  ASSERT_EQ(save(raster.get(), folder / "picture.PNG"), S_OK);

  const PngFile png = read_png(file_bytes(folder / "picture.PNG"));
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 3u);
  EXPECT_EQ(png.height, 2u);
  EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB_ALPHA);  // 32 bpp is the PNG encoder's default depth
  EXPECT_EQ(png.argb, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0x80102030}));
  // No resolution was set on the object: the encoder's own 96 dpi.
  EXPECT_TRUE(png.hasPhys);
  EXPECT_EQ(png.ppmX, 3780u);

  const Variant mode = option(raster.get(), u"OutputFileType");
  EXPECT_EQ(text(mode), "Auto");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"picture.PNG"});
}

TEST(SaveFileAutomatic, ADotOnlyInAFolderNameIsTakenAsTheEncoderName) {
  TempFolder folder;
  fs::create_directories(folder / "old.files");
  ComPtr<IRasterObject> raster = sample_raster();
  clear_error();
  // The text after the dot, "files/noext", names no encoder: the manager's own failure comes back.
  expect_record(save(raster.get(), folder / "old.files" / "noext"), E_INVALIDARG, kManagerSource, IID_IEncoderManager,
                kUnknownEncoder);
  EXPECT_TRUE(fs::is_empty(folder / "old.files"));
  EXPECT_EQ(text(option(raster.get(), u"OutputFileType")), "Auto");
}

TEST(SaveFileAutomatic, ANameWithoutAnyDotIsRefused) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  expect_report(save(raster.get(), folder / "noext"), E_INVALIDARG, kNoExtension);
  EXPECT_TRUE(folder.entries().empty());
  // A name ending in a dot has an empty extension, which is no encoder's name.
  expect_record(save(raster.get(), folder / "trailing."), E_INVALIDARG, kManagerSource, IID_IEncoderManager,
                kUnknownEncoder);
  EXPECT_EQ(text(option(raster.get(), u"OutputFileType")), "Auto");
}

TEST(SaveFileAutomatic, AJpegSettingsObjectIsIgnoredForAJpgName) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(put_option(raster.get(), u"JPEGQuality", long_value(95)), S_OK);
  ComPtr<IJPEGEncoderInfo> info = make_settings<IJPEGEncoderInfo>(u"Zentarix.JPEGEncoderInfo");
  ASSERT_EQ(info->put_Quality(10), S_OK);

  ASSERT_EQ(save(raster.get(), folder / "with.jpg", as_dispatch(info)), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "without.jpg"), S_OK);
  const Bytes with = file_bytes(folder / "with.jpg");
  EXPECT_TRUE(read_jpeg(with).ok);
  EXPECT_EQ(with, file_bytes(folder / "without.jpg"));  // quality 95 both times
  const Variant quality = option(raster.get(), u"JPEGQuality");
  ASSERT_EQ(V_VT(&quality), VT_I4);
  EXPECT_EQ(V_I4(&quality), 95);
}

TEST(SaveFileNumeric, ATiffSettingsObjectWritesTiffOptionsAndChoosesTiff) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftBMP), S_OK);
  ComPtr<ITIFFEncoderInfo> info = make_settings<ITIFFEncoderInfo>(u"Zentarix.TIFFEncoderInfo");
  ASSERT_EQ(info->put_CompressionType(tctNone), S_OK);
  ASSERT_EQ(info->put_ColorDepth(cd24bpp), S_OK);
  Bstr profile(u"ignored-for-rgb.icc");
  ASSERT_EQ(info->put_ICCProfileFilename(profile.get()), S_OK);

  // The .jpg name holds a TIFF file.
  ASSERT_EQ(save(raster.get(), folder / "photo.jpg", as_dispatch(info)), S_OK);
  const Bytes bytes = file_bytes(folder / "photo.jpg");
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_TRUE(bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42);

  const Variant iccName = option(raster.get(), u"ICCProfileFilename");
  EXPECT_EQ(V_VT(&iccName), VT_BSTR);
  EXPECT_EQ(text(iccName), "");  // RGB: the profile is not read
  const Variant depth = option(raster.get(), u"ColorDepth");
  ASSERT_EQ(V_VT(&depth), VT_I4);
  EXPECT_EQ(V_I4(&depth), 24);
  EXPECT_EQ(text(option(raster.get(), u"CompressionType")), "None");
  EXPECT_EQ(text(option(raster.get(), u"ColorSpace")), "RGB");
  // The output type itself is not changed by the settings object.
  const Variant type = option(raster.get(), u"OutputFileType");
  ASSERT_EQ(V_VT(&type), VT_I4);
  EXPECT_EQ(V_I4(&type), oftBMP);
}

TEST(SaveFileNumeric, ACmykTiffSettingsObjectCarriesItsProfileName) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftJPEG), S_OK);
  ComPtr<ITIFFEncoderInfo> info = make_settings<ITIFFEncoderInfo>(u"Zentarix.TIFFEncoderInfo");
  ASSERT_EQ(info->put_ColorSpace(csCMYK), S_OK);
  Bstr profile(u"press.icc");
  ASSERT_EQ(info->put_ICCProfileFilename(profile.get()), S_OK);
  save(raster.get(), folder / "photo.tif", as_dispatch(info));
  take_error();
  EXPECT_EQ(text(option(raster.get(), u"ICCProfileFilename")), "press.icc");
  EXPECT_EQ(option_long(raster.get(), u"ColorDepth"), 32);
  EXPECT_EQ(text(option(raster.get(), u"CompressionType")), "LZW");
  EXPECT_EQ(text(option(raster.get(), u"ColorSpace")), "CMYK");
}

TEST(SaveFileNumeric, UnsupportedSettingsValuesFailWithoutARecordAndKeepEarlierEntries) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);

  ComPtr<IBMPEncoderInfo> bmp = make_settings<IBMPEncoderInfo>(u"Zentarix.BMPEncoderInfo");
  ASSERT_EQ(bmp->put_ColorDepth(cd8bpp), S_OK);
  clear_error();
  EXPECT_EQ(save(raster.get(), folder / "x.bmp", as_dispatch(bmp)), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);
  EXPECT_EQ(option_type(raster.get(), u"ColorDepth"), VT_ERROR);
  take_error();

  // TIFF writes the profile name before it looks at the depth: that entry stays.
  ComPtr<ITIFFEncoderInfo> tiff = make_settings<ITIFFEncoderInfo>(u"Zentarix.TIFFEncoderInfo");
  ASSERT_EQ(tiff->put_ColorDepth(cd1bpp), S_OK);
  EXPECT_EQ(save(raster.get(), folder / "x.tif", as_dispatch(tiff)), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);
  EXPECT_EQ(option_type(raster.get(), u"ICCProfileFilename"), VT_BSTR);
  EXPECT_EQ(option_type(raster.get(), u"ColorDepth"), VT_ERROR);
  take_error();

  // A GIF object with the dither palette fails before writing anything.
  ComPtr<IGIFEncoderInfo> gif = make_settings<IGIFEncoderInfo>(u"Zentarix.GIFEncoderInfo");
  ASSERT_EQ(gif->put_PaletteType(ptDither), S_OK);
  EXPECT_EQ(save(raster.get(), folder / "x.gif", as_dispatch(gif)), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);
  EXPECT_EQ(option_type(raster.get(), u"PaletteType"), VT_ERROR);
  take_error();
  EXPECT_TRUE(folder.entries().empty());
}

TEST(SaveFileNumeric, SettingsObjectsWriteTheirEntriesWithTheirTypes) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);

  ComPtr<IGIFEncoderInfo> gif = make_settings<IGIFEncoderInfo>(u"Zentarix.GIFEncoderInfo");
  ASSERT_EQ(gif->put_PaletteType(ptHalftone), S_OK);
  ASSERT_EQ(gif->put_IsTransparent(VARIANT_TRUE), S_OK);
  save(raster.get(), folder / "x.gif", as_dispatch(gif));
  take_error();
  EXPECT_EQ(text(option(raster.get(), u"PaletteType")), "Halftone");
  const Variant transparent = option(raster.get(), u"IsTransparent");
  ASSERT_EQ(V_VT(&transparent), VT_I2);
  EXPECT_EQ(V_I2(&transparent), VARIANT_TRUE);
  const Variant background = option(raster.get(), u"BackgroundColor");
  ASSERT_EQ(V_VT(&background), VT_I4);
  EXPECT_EQ(V_I4(&background), -1);

  ComPtr<ISWFEncoderInfo> swf = make_settings<ISWFEncoderInfo>(u"Zentarix.SWFEncoderInfo");
  ASSERT_EQ(swf->put_CompressionType(swfctJPEG), S_OK);
  ASSERT_EQ(swf->put_BackgroundColor(0x00123456), S_OK);
  ASSERT_EQ(swf->put_JPEGQuality(33), S_OK);
  save(raster.get(), folder / "x.swf", as_dispatch(swf));
  take_error();
  EXPECT_EQ(text(option(raster.get(), u"CompressionType")), "JPEG");
  EXPECT_EQ(option_long(raster.get(), u"BackgroundColor"), 0x00123456);
  EXPECT_EQ(option_long(raster.get(), u"JPEGQuality"), 33);

  // A BMP object chooses BMP: the .png name holds a 24 bpp BMP.
  ComPtr<IBMPEncoderInfo> bmp = make_settings<IBMPEncoderInfo>(u"Zentarix.BMPEncoderInfo");
  ASSERT_EQ(bmp->put_ColorDepth(cd24bpp), S_OK);
  ASSERT_EQ(put_option(raster.get(), u"BackgroundColor", long_value(-1)), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "really-a.png", as_dispatch(bmp)), S_OK);
  const Bytes bytes = file_bytes(folder / "really-a.png");
  ASSERT_GE(bytes.size(), 30u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(bytes[28], 24);  // biBitCount
}

// ---- the options store ----------------------------------------------------------------------------

TEST(SaveOptions, OptionNamesMatchInAnyLetterCaseAndReachTheEncoder) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(put_option(raster.get(), u"jpegquality", long_value(50)), S_OK);
  const Variant quality = option(raster.get(), u"JPEGQuality");
  ASSERT_EQ(V_VT(&quality), VT_I4);
  EXPECT_EQ(V_I4(&quality), 50);
  ASSERT_EQ(save(raster.get(), folder / "fifty.jpg"), S_OK);

  // The same quality through a settings object in numeric mode gives the same file; the default
  // quality gives another.
  ComPtr<IRasterObject> other = sample_raster();
  ASSERT_EQ(other->put_OutputFileType(oftPNG), S_OK);
  ComPtr<IJPEGEncoderInfo> info = make_settings<IJPEGEncoderInfo>(u"Zentarix.JPEGEncoderInfo");
  ASSERT_EQ(info->put_Quality(50), S_OK);
  ASSERT_EQ(save(other.get(), folder / "settings.jpg", as_dispatch(info)), S_OK);
  ComPtr<IRasterObject> plain = sample_raster();
  ASSERT_EQ(save(plain.get(), folder / "default.jpg"), S_OK);
  EXPECT_EQ(file_bytes(folder / "fifty.jpg"), file_bytes(folder / "settings.jpg"));
  EXPECT_NE(file_bytes(folder / "fifty.jpg"), file_bytes(folder / "default.jpg"));
}

TEST(SaveOptions, EverySaveWritesTheLzwFieldAsASixteenBitEntry) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  EXPECT_EQ(option_type(raster.get(), u"EnableLZW"), VT_ERROR);  // not before the first save
  take_error();
  ASSERT_EQ(save(raster.get(), folder / "a.png"), S_OK);
  Variant lzw = option(raster.get(), u"EnableLZW");
  ASSERT_EQ(V_VT(&lzw), VT_I2);
  EXPECT_EQ(V_I2(&lzw), 0);
  ASSERT_EQ(raster->put_EnableLZW(VARIANT_TRUE), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "b.png"), S_OK);
  lzw = option(raster.get(), u"EnableLZW");
  ASSERT_EQ(V_VT(&lzw), VT_I2);
  EXPECT_EQ(V_I2(&lzw), VARIANT_TRUE);
}

TEST(SaveOptions, AnEncoderArgumentThatIsNoSettingsObjectChangesNothing) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  ComPtr<IRasterObject> notSettings = make_raster();
  ASSERT_EQ(save(raster.get(), folder / "x.jpg", static_cast<IDispatch*>(notSettings.get())), S_OK);
  EXPECT_TRUE(read_png(file_bytes(folder / "x.jpg")).ok);  // the number chose PNG
  EXPECT_EQ(option_long(raster.get(), u"OutputFileType"), oftPNG);
}

TEST(SaveOptions, ResetRemovesTheResolutionEntryButNotTheProperty) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->put_HorizontalResolution(300.0f), S_OK);
  const Variant dpi = option(raster.get(), u"HorizontalResolution");
  ASSERT_EQ(V_VT(&dpi), VT_R4);
  EXPECT_EQ(V_R4(&dpi), 300.0f);

  ASSERT_EQ(raster->ResetEncoderOptions(), S_OK);
  Variant value;
  Bstr name(u"HorizontalResolution");
  expect_report(raster->get_EncoderOptions(name.get(), &value), E_INVALIDARG,
                u"Cannot find parameter HorizontalResolution");
  FLOAT property = 0;
  ASSERT_EQ(raster->get_HorizontalResolution(&property), S_OK);
  EXPECT_EQ(property, 300.0f);
  EXPECT_EQ(text(option(raster.get(), u"OutputFileType")), "Auto");
}

TEST(SaveOptions, ResolutionsReachTheWrittenFiles) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_HorizontalResolution(300.0f), S_OK);
  ASSERT_EQ(raster->put_VerticalResolution(150.0f), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "dpi.png"), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "dpi.jpg"), S_OK);

  const PngFile png = read_png(file_bytes(folder / "dpi.png"));
  ASSERT_TRUE(png.ok);
  ASSERT_TRUE(png.hasPhys);
  EXPECT_EQ(png.physUnit, PNG_RESOLUTION_METER);
  EXPECT_EQ(png.ppmX, 11811u);  // 300 / 0.0254, rounded
  EXPECT_EQ(png.ppmY, 5906u);   // 150 / 0.0254 = 5905.5...

  const JpegFile jpeg = read_jpeg(file_bytes(folder / "dpi.jpg"));
  ASSERT_TRUE(jpeg.ok);
  EXPECT_EQ(jpeg.width, 3u);
  EXPECT_EQ(jpeg.height, 2u);
  EXPECT_EQ(jpeg.densityUnit, 1);  // dots per inch
  EXPECT_EQ(jpeg.xDensity, 300u);
  EXPECT_EQ(jpeg.yDensity, 150u);
}

// ---- the file ---------------------------------------------------------------------------------------

TEST(SaveFileTarget, WithoutAnImageNothingIsWritten) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = make_raster();
  expect_report(save(raster.get(), folder / "empty.png"), static_cast<HRESULT>(0xE0000202), kSaveFileNoImage);
  EXPECT_TRUE(folder.entries().empty());
}

TEST(SaveFileTarget, AnExistingFileIsUntouchedWhenEncodingFailsAndReplacedWholeAfterSuccess) {
  TempFolder folder;
  const fs::path target = folder / "keep.png";
  const std::string old(5000, 'x');
  write_bytes(target, old);
  ComPtr<IRasterObject> raster = sample_raster();

  Variant badDepth = long_value(16);
  ASSERT_EQ(put_option(raster.get(), u"ColorDepth", badDepth), S_OK);
  expect_record(save(raster.get(), target), E_INVALIDARG, u"Zentarix.EncoderPNG.1", IID_IEncoderPNG,
                u"Cannot save to PNG: ColorDepth parameter has incorrect value!");
  EXPECT_EQ(file_bytes(target), Bytes(old.begin(), old.end()));
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.png"});

  ASSERT_EQ(put_option(raster.get(), u"ColorDepth", long_value(24)), S_OK);
  ASSERT_EQ(save(raster.get(), target), S_OK);
  const Bytes written = file_bytes(target);
  ASSERT_LT(written.size(), old.size());  // shorter than the old file: nothing of it may remain
  const PngFile png = read_png(written);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(png.argb[2], 0xFF0000FFu);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.png"});  // no temporary file left
}

TEST(SaveFileTarget, ReplacingKeepsTheFilesPermissionsAndFollowsLinks) {
  TempFolder folder;
  const fs::path real = folder / "real.png";
  write_bytes(real, "old");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("real.png", folder / "link.png");
  ComPtr<IRasterObject> raster = sample_raster();

  ASSERT_EQ(save(raster.get(), folder / "link.png"), S_OK);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "link.png")));
  EXPECT_TRUE(read_png(file_bytes(real)).ok);
  EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"link.png", "real.png"}));
}

TEST(SaveFileTarget, AFileThatCannotBeCreatedIsReportedWithTheSystemText) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  const fs::path missing = folder / "no-such-folder" / "x.png";
  const std::u16string name = to_utf16(missing.string());
  expect_report(save(raster.get(), missing), E_INVALIDARG,
                u"Cannot save file " + name + u". The system cannot find the file specified.\r\n");

  // A folder of that name stays a folder.
  fs::create_directories(folder / "taken.png");
  const std::u16string taken = to_utf16((folder / "taken.png").string());
  expect_report(save(raster.get(), folder / "taken.png"), E_INVALIDARG,
                u"Cannot save file " + taken + u". Access is denied.\r\n");
  EXPECT_TRUE(fs::is_directory(folder / "taken.png"));
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"taken.png"});
}

// Saves as a user other than the files' owner: in a child process that gives root up (run by an
// ordinary user, the child stays that user, whom the rows' permission bits refuse alike). The child
// checks the result and the message; the caller checks the files.
void save_as_other_user(IRasterObject* raster, const fs::path& file, HRESULT hr, const std::u16string& message) {
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        clear_error();
        const HRESULT got = save(raster, file);
        const std::string said = to_utf8(take_error().description);
        std::fprintf(stderr, "0x%08X \"%s\"", static_cast<unsigned>(got), said.c_str());
        _exit(got == hr && said == to_utf8(message) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(SaveFileTarget, AFileIsReplacedOnlyAsItsPermissionsLinksAndNameAllow) {
  const struct Case {
    const char* what;
    std::string name;
    mode_t file, folder;
    bool otherUser, replaced, linked;
  } cases[] = {
      {"a file the caller may not write, in a folder it may", "ro.png", 0444, 0777, true, false, false},
      {"a writable file in a folder the caller may not write", "rw.png", 0666, 0555, true, true, false},
      {"a file with a second name", "linked.png", 0644, 0755, false, true, true},
      {"a name of 255 bytes", std::string(251, 'n') + ".png", 0644, 0755, false, true, false},
  };
  ComPtr<IRasterObject> raster = sample_raster();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const fs::path file = folder / c.name;
    write_bytes(file, "old");
    if (c.linked) fs::create_hard_link(file, folder / "second-name");
    ASSERT_EQ(chmod(file.c_str(), c.file) | chmod(folder.path().c_str(), c.folder), 0);
    const std::u16string denied = u"Cannot save file " + to_utf16(file.string()) + u". Access is denied.\r\n";
    if (c.otherUser) {
      save_as_other_user(raster.get(), file, c.replaced ? S_OK : E_INVALIDARG, c.replaced ? u"" : denied);
    } else {
      EXPECT_EQ(save(raster.get(), file), S_OK);
    }
    chmod(folder.path().c_str(), 0700);  // so that the folder can be removed
    EXPECT_EQ(file_bytes(file) != (Bytes{'o', 'l', 'd'}), c.replaced);
    if (c.linked) {
      EXPECT_EQ(file_bytes(folder / "second-name"), file_bytes(file));
    }
    EXPECT_EQ(folder.entries().size(), c.linked ? 2u : 1u);  // no temporary file left
  }
}

TEST(SaveFileTarget, ReplacingKeepsTheFilesOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  TempFolder folder;
  const fs::path file = folder / "theirs.png";
  write_bytes(file, "old");
  ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(save(raster.get(), file), S_OK);
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_TRUE(read_png(file_bytes(file)).ok);
}

TEST(SaveFileTarget, ANameWithAnEmbeddedNulIsRefusedInsteadOfCut) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  std::u16string name = to_utf16((folder / "a.exe").string());
  name.push_back(u'\0');
  name += u".png";
  Bstr bstr(std::u16string_view(name.data(), name.size()));
  std::u16string shown = to_utf16((folder / "a.exe").string()) + u"\\0.png";
  expect_report(raster->SaveFile(bstr.get(), nullptr), E_INVALIDARG,
                u"Cannot save file " + shown + u". The filename, directory name, or volume label syntax is incorrect.\r\n");
  EXPECT_TRUE(folder.entries().empty());
}

}  // namespace
}  // namespace zx::test
