// Zentarix — MIT licence.
// RasterObject.SaveFile and the options store: choosing the encoder, settings objects, whole-file replacement.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "ImageReaders.h"
#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

namespace fs = std::filesystem;

constexpr OLECHAR kManagerSource[] = u"Zentarix.EncoderManager.1";

// The store's entries for these names: "ColorDepth=24 ColorSpace='RGB' EnableLZW=i2:0 Missing=-".
std::string entries(IRasterObject* raster, std::string_view names) {
  std::string out;
  while (!names.empty()) {
    const std::string name(names.substr(0, names.find(' ')));
    names.remove_prefix(std::min(name.size() + 1, names.size()));
    const Variant v = option(raster, to_utf16(name).c_str());
    take_error();
    out += (out.empty() ? "" : " ") + name + "=";
    switch (V_VT(&v)) {
      case VT_BSTR: out += "'" + to_utf8(std::u16string_view(V_BSTR(&v))) + "'"; break;
      case VT_I4: out += std::to_string(V_I4(&v)); break;
      case VT_I2: out += "i2:" + std::to_string(V_I2(&v)); break;
      case VT_R4: out += "r4:" + std::to_string(int(V_R4(&v))); break;
      case VT_ERROR: out += "-"; break;
      default: out += "vt" + std::to_string(V_VT(&v));
    }
  }
  return out;
}

// "A B" of "A=1 B='x'".
std::string names_of(std::string_view entries) {
  std::string names;
  for (size_t at = 0; at < entries.size();) {
    const size_t eq = entries.find('=', at), space = std::min(entries.find(' ', eq), entries.size());
    names += (names.empty() ? "" : " ") + std::string(entries.substr(at, eq - at));
    at = space + 1;
  }
  return names;
}

// A settings object with these properties put through IDispatch ("Quality=10 ICCProfileFilename=a.icc");
// enumerations by their values (ColorDepth 0 is 24 bits, 2 is 1 bit, 3 is 8 bits).
ComPtr<IDispatch> settings(const char16_t* progId, std::string_view puts) {
  make_raster();  // registers the module
  CLSID clsid = GUID_NULL;
  ComPtr<IDispatch> object;
  EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void()), S_OK);
  while (object && !puts.empty()) {
    const std::string put(puts.substr(0, puts.find(' ')));
    puts.remove_prefix(std::min(put.size() + 1, puts.size()));
    std::u16string name = to_utf16(put.substr(0, put.find('=')));
    LPOLESTR names[] = {name.data()};
    DISPID id = 0, named = DISPID_PROPERTYPUT;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << put;
    const std::string value = put.substr(put.find('=') + 1);
    char* end = nullptr;
    Variant arg;
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = std::strtol(value.c_str(), &end, 10);
    if (*end) {
      V_VT(&arg) = VT_BSTR;
      V_BSTR(&arg) = SysAllocString(to_utf16(value).c_str());
    }
    DISPPARAMS params{&arg, &named, 1, 1};
    EXPECT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr), S_OK) << put;
  }
  return object;
}

HRESULT save(IRasterObject* raster, const fs::path& path, IDispatch* encoder = nullptr) {
  Bstr name = bstr_path(path);
  return raster->SaveFile(name.get(), encoder);
}

HRESULT put_option(IRasterObject* raster, const OLECHAR* name, LONG value) {
  Bstr key(name);
  Variant v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return raster->put_EncoderOptions(key.get(), v);
}

std::string png_of(const fs::path& path, bool entries = true) { return describe(read_png(file_bytes(path)), entries); }

// ---- choosing the encoder ---------------------------------------------------------------------------

TEST(SaveFileAutomatic, TheExtensionInAnyCaseChoosesTheEncoderAndTheModeStaysAutomatic) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster(true);
  ASSERT_EQ(save(raster.get(), folder / "picture.PNG"), S_OK);
  // 32 bpp is the PNG encoder's default depth; without a resolution of the object's, its own 96 dpi.
  EXPECT_EQ(png_of(folder / "picture.PNG"), "3x2 32bpp 96x96dpi px ffff0000 ff00ff00 ff0000ff ffffffff ff000000 80102030");
  EXPECT_EQ(entries(raster.get(), "OutputFileType"), "OutputFileType='Auto'");

  // A dot only in a folder name makes "files/noext" the encoder's name: the manager's failure.
  fs::create_directories(folder / "old.files");
  clear_error();
  expect_record(save(raster.get(), folder / "old.files" / "noext"), E_INVALIDARG, kManagerSource, IID_IEncoderManager,
                kUnknownEncoder);
  expect_report(save(raster.get(), folder / "noext"), E_INVALIDARG,
                u"Cannot determine output file type automatically: no extension is presented!");
  // A name ending in a dot has an empty extension, which is no encoder's name.
  expect_record(save(raster.get(), folder / "trailing."), E_INVALIDARG, kManagerSource, IID_IEncoderManager,
                kUnknownEncoder);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"old.files", "picture.PNG"}));
  EXPECT_TRUE(fs::is_empty(folder / "old.files"));
  EXPECT_EQ(entries(raster.get(), "OutputFileType"), "OutputFileType='Auto'");
}

TEST(SaveFileAutomatic, OptionNamesMatchInAnyCaseAndASettingsObjectIsIgnoredForANamedType) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(put_option(raster.get(), u"jpegquality", 50), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "fifty.jpg", settings(u"Zentarix.JPEGEncoderInfo", "Quality=10").get()), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "plain.jpg"), S_OK);
  EXPECT_EQ(entries(raster.get(), "JPEGQuality"), "JPEGQuality=50");
  // The same quality through a settings object in numeric mode gives the same file; the default
  // quality gives another.
  ComPtr<IRasterObject> other = sample_raster();
  ASSERT_EQ(other->put_OutputFileType(oftPNG), S_OK);
  ASSERT_EQ(save(other.get(), folder / "settings.jpg", settings(u"Zentarix.JPEGEncoderInfo", "Quality=50").get()), S_OK);
  ASSERT_EQ(save(sample_raster().get(), folder / "default.jpg"), S_OK);
  EXPECT_EQ(file_bytes(folder / "fifty.jpg"), file_bytes(folder / "settings.jpg"));
  EXPECT_EQ(file_bytes(folder / "fifty.jpg"), file_bytes(folder / "plain.jpg"));
  EXPECT_NE(file_bytes(folder / "fifty.jpg"), file_bytes(folder / "default.jpg"));
  EXPECT_EQ(describe(read_jpeg(file_bytes(folder / "fifty.jpg"))).substr(0, 19), "3x2 24bpp 96x96dpi ");
}

TEST(SaveFileNumeric, SettingsObjectsChooseTheirEncoderAndWriteTheirEntries) {
  const struct {
    const char16_t* progId;
    const char* puts;
    OutputFileTypes type;
    const char* name;
    HRESULT hr;
    const char* entries;
  } cases[] = {
      {u"Zentarix.TIFFEncoderInfo", "CompressionType=0 ColorDepth=0 ICCProfileFilename=ignored-for-rgb.icc", oftBMP,
       "photo.jpg", S_OK, "ICCProfileFilename='' ColorDepth=24 CompressionType='None' ColorSpace='RGB' OutputFileType=1"},
      {u"Zentarix.TIFFEncoderInfo", "ColorSpace=1 ICCProfileFilename=press.icc", oftJPEG, "photo.tif", E_FAIL,
       "ICCProfileFilename='press.icc' ColorDepth=32 CompressionType='LZW' ColorSpace='CMYK' OutputFileType=0"},
      {u"Zentarix.GIFEncoderInfo", "PaletteType=1 IsTransparent=-1", oftPNG, "x.gif", E_FAIL,
       "PaletteType='Halftone' IsTransparent=i2:-1 BackgroundColor=-1"},
      {u"Zentarix.SWFEncoderInfo", "CompressionType=1 BackgroundColor=1193046 JPEGQuality=33", oftPNG, "x.swf", S_OK,
       "CompressionType='JPEG' BackgroundColor=1193046 JPEGQuality=33"},
      // Unsupported values fail without a record and keep the entries written before them (TIFF writes
      // the profile name before it looks at the depth); nothing is written.
      {u"Zentarix.BMPEncoderInfo", "ColorDepth=3", oftPNG, "x.bmp", E_INVALIDARG, "ColorDepth=-"},
      {u"Zentarix.TIFFEncoderInfo", "ColorDepth=2", oftPNG, "x.tif", E_INVALIDARG, "ICCProfileFilename='' ColorDepth=-"},
      {u"Zentarix.GIFEncoderInfo", "PaletteType=2", oftPNG, "x.gif", E_INVALIDARG, "PaletteType=-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.puts);
    TempFolder folder;
    ComPtr<IRasterObject> raster = sample_raster();
    ASSERT_EQ(raster->put_OutputFileType(c.type), S_OK);
    clear_error();
    const HRESULT hr = save(raster.get(), folder / c.name, settings(c.progId, c.puts).get());
    if (c.hr != E_FAIL) {  // E_FAIL: the encoder's own failure, whatever it is
      EXPECT_EQ(hr, c.hr);
    }
    if (c.hr == E_INVALIDARG) {
      EXPECT_FALSE(take_error().present);
      EXPECT_TRUE(folder.entries().empty());
    }
    EXPECT_EQ(entries(raster.get(), names_of(c.entries)), c.entries);
  }
  // The TIFF settings wrote a TIFF under the .jpg name; a BMP object writes a 24 bpp BMP under .png.
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "really-a.png", settings(u"Zentarix.BMPEncoderInfo", "ColorDepth=0").get()), S_OK);
  EXPECT_EQ(describe(read_bmp(file_bytes(folder / "really-a.png"))),
            "3x2 24bpp 96x96dpi px ffff0000 ff00ff00 ff0000ff ffffffff ff000000 ff808080");
  ASSERT_EQ(save(raster.get(), folder / "tiff.jpg", settings(u"Zentarix.TIFFEncoderInfo", "CompressionType=0").get()), S_OK);
  EXPECT_EQ(describe(read_tiff(file_bytes(folder / "tiff.jpg"))).substr(0, 18), "fields 2 4 8 1 0 2");
  // An encoder argument that is no settings object changes nothing: the number chose PNG.
  ASSERT_EQ(save(raster.get(), folder / "x.jpg", static_cast<IDispatch*>(make_raster().get())), S_OK);
  EXPECT_EQ(png_of(folder / "x.jpg").substr(0, 9), "3x2 32bpp");
}

// ---- the options store ----------------------------------------------------------------------------

TEST(SaveOptions, OptionsReachTheWrittenFile) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  EXPECT_EQ(entries(raster.get(), "EnableLZW"), "EnableLZW=-");  // not before the first save
  ASSERT_EQ(raster->put_HorizontalResolution(300.0f), S_OK);
  ASSERT_EQ(raster->put_VerticalResolution(150.0f), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "dpi.png"), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "dpi.jpg"), S_OK);
  EXPECT_EQ(png_of(folder / "dpi.png").substr(0, 21), "3x2 32bpp 300x150dpi ");
  EXPECT_EQ(describe(read_jpeg(file_bytes(folder / "dpi.jpg"))).substr(0, 21), "3x2 24bpp 300x150dpi ");
  ASSERT_EQ(raster->put_EnableLZW(VARIANT_TRUE), S_OK);
  ASSERT_EQ(save(raster.get(), folder / "b.png"), S_OK);
  EXPECT_EQ(entries(raster.get(), "EnableLZW HorizontalResolution"), "EnableLZW=i2:-1 HorizontalResolution=r4:300");

  // Reset removes the resolution entry but not the property.
  ASSERT_EQ(raster->ResetEncoderOptions(), S_OK);
  Variant value;
  Bstr name(u"HorizontalResolution");
  expect_report(raster->get_EncoderOptions(name.get(), &value), E_INVALIDARG, u"Cannot find parameter HorizontalResolution");
  FLOAT property = 0;
  ASSERT_EQ(raster->get_HorizontalResolution(&property), S_OK);
  EXPECT_EQ(property, 300.0f);
  EXPECT_EQ(entries(raster.get(), "OutputFileType"), "OutputFileType='Auto'");

  // PaletteColorsNumber reaches the colour reduction: at most 8 entries for 12 colours.
  std::vector<uint32_t> colours;
  for (uint32_t i = 0; i < 12; ++i) colours.push_back(0xFF000000u | (i * 0x150B07u));
  ComPtr<IRasterObject> many = make_raster(12, 1, colours);
  ASSERT_EQ(put_option(many.get(), u"ColorDepth", 8), S_OK);
  ASSERT_EQ(put_option(many.get(), u"PaletteColorsNumber", 8), S_OK);
  ASSERT_EQ(save(many.get(), folder / "eight.png"), S_OK);
  const DecodedImage eight = read_png(file_bytes(folder / "eight.png"));
  EXPECT_EQ(describe(eight, false).substr(0, 25), "12x1 8bpp 96x96dpi pal 8 ");
}

// ---- the file ---------------------------------------------------------------------------------------

TEST(SaveFileTarget, NothingIsWrittenWithoutAnImageOrForANameThatCannotBeCreated) {
  TempFolder folder;
  expect_report(save(make_raster().get(), folder / "empty.png"), static_cast<HRESULT>(0xE0000202),
                u"Cannot save image to file, because there is no any data. Create new image or load it first.");
  ComPtr<IRasterObject> raster = sample_raster();
  const fs::path missing = folder / "no-such-folder" / "x.png";
  expect_report(save(raster.get(), missing), E_INVALIDARG,
                u"Cannot save file " + to_utf16(missing.string()) + u". The system cannot find the file specified.\r\n");
  // A folder of that name stays a folder.
  fs::create_directories(folder / "taken.png");
  expect_report(save(raster.get(), folder / "taken.png"), E_INVALIDARG,
                u"Cannot save file " + to_utf16((folder / "taken.png").string()) + u". Access is denied.\r\n");
  EXPECT_TRUE(fs::is_directory(folder / "taken.png"));
  // A name with an embedded NUL is refused instead of cut.
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  std::u16string name = to_utf16((folder / "a.exe").string()) + u'\0' + u".png";
  Bstr bstr(std::u16string_view(name.data(), name.size()));
  expect_report(raster->SaveFile(bstr.get(), nullptr), E_INVALIDARG,
                u"Cannot save file " + to_utf16((folder / "a.exe").string()) +
                    u"\\0.png. The filename, directory name, or volume label syntax is incorrect.\r\n");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"taken.png"});
}

TEST(SaveFileTarget, AnExistingFileIsUntouchedWhenEncodingFailsAndReplacedWholeAfterSuccess) {
  TempFolder folder;
  const fs::path target = folder / "keep.png";
  const std::string old(5000, 'x');
  write_bytes(target, old);
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(put_option(raster.get(), u"ColorDepth", 16), S_OK);
  expect_record(save(raster.get(), target), E_INVALIDARG, u"Zentarix.EncoderPNG.1", IID_IEncoderPNG,
                u"Cannot save to PNG: ColorDepth parameter has incorrect value!");
  EXPECT_EQ(file_bytes(target), Bytes(old.begin(), old.end()));
  ASSERT_EQ(put_option(raster.get(), u"ColorDepth", 24), S_OK);
  ASSERT_EQ(save(raster.get(), target), S_OK);
  // Shorter than the old file: nothing of it may remain, and no temporary file is left.
  EXPECT_EQ(png_of(target), "3x2 24bpp 96x96dpi px ffff0000 ff00ff00 ff0000ff ffffffff ff000000 ff808080");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.png"});

  // Through a symbolic link: the link stays, the file it leads to keeps its permissions.
  const fs::path real = folder / "real.png";
  write_bytes(real, "old");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("real.png", folder / "link.png");
  ASSERT_EQ(save(raster.get(), folder / "link.png"), S_OK);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "link.png")));
  EXPECT_EQ(png_of(real).substr(0, 9), "3x2 24bpp");
  EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"keep.png", "link.png", "real.png"}));
}
// Saves as a user other than the files' owner: in a child process that gives root up (run by an
// ordinary user, the child stays that user, whom the rows' permission bits refuse alike). The child
// checks the result and the message; the caller checks the files.
// The build tree may sit in a folder only its owner can enter, so the child reads a world-readable
// copy of the registry instead of the build's own (the module itself is already loaded).
void save_as_other_user(IRasterObject* raster, const fs::path& file, HRESULT hr, const std::u16string& message) {
  const fs::path registry = fs::temp_directory_path() / ("zx-other-user-" + std::to_string(getpid()) + ".reg");
  fs::copy_file(std::getenv("ZENTARIX_REGISTRY"), registry, fs::copy_options::overwrite_existing);
  fs::permissions(registry, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
  EXPECT_EXIT(
      {
        setenv("ZENTARIX_REGISTRY", registry.c_str(), 1);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        clear_error();
        const HRESULT got = save(raster, file);
        const std::string said = to_utf8(take_error().description);
        std::fprintf(stderr, "0x%08X \"%s\"", static_cast<unsigned>(got), said.c_str());
        _exit(got == hr && said == to_utf8(message) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  fs::remove(registry);
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
    const std::string old(5000, 'o');  // longer than the new file, so an in-place write must cut it
    write_bytes(file, old);
    if (c.linked) fs::create_hard_link(file, folder / "second-name");
    ASSERT_EQ(chmod(file.c_str(), c.file) | chmod(folder.path().c_str(), c.folder), 0);
    const std::u16string denied = u"Cannot save file " + to_utf16(file.string()) + u". Access is denied.\r\n";
    if (c.otherUser) {
      save_as_other_user(raster.get(), file, c.replaced ? S_OK : E_INVALIDARG, c.replaced ? u"" : denied);
    } else {
      EXPECT_EQ(save(raster.get(), file), S_OK);
    }
    chmod(folder.path().c_str(), 0700);  // so that the folder can be removed
    const Bytes bytes = file_bytes(file), iend = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    EXPECT_EQ(bytes != Bytes(old.begin(), old.end()), c.replaced);
    if (c.replaced) {
      EXPECT_EQ(Bytes(bytes.end() - 8, bytes.end()), iend);
    }
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



// ---- foreign encoders -----------------------------------------------------------------------------

// A foreign encoder module registered in the image encoder category for the scope, as zxregsvr would.
class Registered {
 public:
  explicit Registered(const char* path) : m_module(dlopen(path, RTLD_NOW)) {
    make_raster();  // the module first, so that the category exists
    EXPECT_EQ(call("DllRegisterServer"), S_OK) << dlerror();
  }
  ~Registered() {
    EXPECT_EQ(call("DllUnregisterServer"), S_OK);
    if (m_module) dlclose(m_module);
  }

 private:
  HRESULT call(const char* name) {
    auto entry = m_module ? reinterpret_cast<HRESULT (*)()>(dlsym(m_module, name)) : nullptr;
    return entry ? entry() : E_FAIL;
  }
  void* m_module;
};

TEST(SaveFileForeign, AForeignEncoderWritesTheFileAndOneWithoutNamesFailsCreationAndClone) {
  TempFolder folder;
  ComPtr<IRasterObject> raster = sample_raster();
  {
    Registered foreign(ZX_FOREIGN_ENCODER_0);
    ComPtr<IRasterObject> fresh = make_raster(1, 1, {0xFF000000u});  // its manager knows the new encoder
    ASSERT_EQ(save(fresh.get(), folder / "picture.zxf"), S_OK);
    const Bytes bytes = file_bytes(folder / "picture.zxf");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, 7) + std::to_string(bytes.size()), "FOREIGN8");
  }
  Registered nameless(ZX_FOREIGN_ENCODER_2);
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"Zentarix.RasterObject", &clsid), S_OK);
  ComPtr<IRasterObject> none;
  clear_error();
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, none.put_void()), E_FAIL);
  EXPECT_EQ(to_utf8(take_error().description), "Cannot create Encoder Manager");
  IRasterObject* sentinel = nullptr;
  expect_report(raster->Clone(&sentinel), E_FAIL, u"Cannot clone the object: target object cannot be created!");
  EXPECT_EQ(sentinel, nullptr);
}

}  // namespace
}  // namespace zx::test
