// Zentarix — MIT licence.
// The type library holds every identity clients and stored registrations rely on, transcribed here
// independently of the IDL: class and interface GUIDs, IRasterObject's slots and dispids, enumeration
// values, the colour constants and the module's function signatures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zentarix.h"
#include "zx/com.h"

namespace {

constexpr GUID guid(uint32_t a, uint16_t b, uint16_t c, std::initializer_list<uint8_t> d) {
  GUID g{a, b, c, {}};
  int i = 0;
  for (uint8_t x : d) g.Data4[i++] = x;
  return g;
}

const ZX_COCLASS_DESC* find_coclass(std::u16string_view name) {
  for (UINT i = 0; i < zentarix_coclass_count; ++i)
    if (name == zentarix_coclasses[i].name) return &zentarix_coclasses[i];
  return nullptr;
}

struct ClassRow {
  const char16_t* name;
  GUID clsid;
  std::vector<const char16_t*> interfaces;  // default first
  bool creatable;
};

TEST(TypeLibrary, LibraryIdentity) {
  static_assert(LIBID_Zentarix == guid(0x9AAC3E0E, 0x8B1D, 0x4D3A, {0x9E, 0xF9, 0x46, 0x5B, 0xA8, 0xD3, 0x1B, 0x12}));
  EXPECT_EQ(zentarix_typelib.wMajorVerNum, 1);
  EXPECT_EQ(zentarix_typelib.wMinorVerNum, 0);
  EXPECT_EQ(std::u16string(zentarix_typelib.helpString), u"Zentarix 1.9");
}

TEST(TypeLibrary, EveryClassWithItsIdentityAndInterfaces) {
  const ClassRow rows[] = {
      {u"RasterObject", guid(0xA6670551, 0x2F7E, 0x46A9, {0xB5, 0xD0, 0x3F, 0x25, 0xC2, 0x5E, 0x9B, 0x29}), {u"IRasterObject", u"IRasterObjectInternal"}, true},
      {u"TransformFlipAndRotate", guid(0x4EB8951C, 0x2D2C, 0x4E02, {0xAB, 0x07, 0xD8, 0xAA, 0xB1, 0xF2, 0xF6, 0xA8}), {u"ITransformFlipAndRotate", u"IGDIPlusTransform"}, true},
      {u"RasterCollection", guid(0x271AD987, 0x96A0, 0x4643, {0x88, 0xD8, 0x11, 0x22, 0x0D, 0xF0, 0xA1, 0x59}), {u"IRasterCollection"}, true},
      {u"RasterItem", guid(0xE8EAB500, 0x51F3, 0x4989, {0x93, 0x40, 0x7A, 0x30, 0x57, 0x93, 0x9A, 0x6C}), {u"IRasterItem"}, false},
      {u"TransformResize", guid(0xCFC7D428, 0x4BA4, 0x4998, {0x9D, 0x7A, 0x84, 0x67, 0xAA, 0xAE, 0x81, 0x21}), {u"ITransformResize", u"IGDIPlusTransform"}, true},
      {u"TransformCrop", guid(0x1C135F65, 0xE11F, 0x4A43, {0x96, 0xE1, 0x01, 0x0E, 0x30, 0xD5, 0x1C, 0xD1}), {u"ITransformCrop", u"IGDIPlusTransform"}, true},
      {u"TransformEqualize", guid(0x9A5B2C47, 0xDEB8, 0x4ED3, {0x87, 0x20, 0x64, 0x35, 0x5D, 0xB1, 0xAF, 0x5C}), {u"ITransformEqualize", u"IGDIPlusTransform"}, true},
      {u"TransformRotate", guid(0x1F1FEC93, 0xBEC7, 0x4548, {0xB4, 0xF1, 0x07, 0xD2, 0x34, 0xA6, 0x9F, 0xC2}), {u"ITransformRotate", u"IGDIPlusTransform"}, true},
      {u"JPEGEncoderInfo", guid(0x3721B7C7, 0xB48D, 0x4F46, {0x92, 0xAA, 0x86, 0xF3, 0xD9, 0xB0, 0x68, 0x9D}), {u"IJPEGEncoderInfo"}, true},
      {u"TIFFEncoderInfo", guid(0x869B5A4D, 0xCD1E, 0x43CF, {0xAC, 0x5F, 0xBB, 0xF4, 0x41, 0x3C, 0xDE, 0x0E}), {u"ITIFFEncoderInfo"}, true},
      {u"DrawingTool", guid(0xC582D7AB, 0xEC41, 0x42C1, {0x99, 0x93, 0x60, 0x72, 0xF9, 0x71, 0xCA, 0x48}), {u"IDrawingTool"}, true},
      {u"DrawingPen", guid(0xCFACD5F5, 0x1720, 0x4067, {0xA8, 0xEF, 0xE2, 0x3B, 0x1D, 0x78, 0x16, 0x89}), {u"IDrawingPen"}, true},
      {u"DrawingSolidBrush", guid(0x2C44F8DB, 0x4C13, 0x49A8, {0xBF, 0xA3, 0x19, 0x76, 0xEB, 0x45, 0x75, 0x5D}), {u"IDrawingSolidBrush"}, true},
      {u"DrawingHatchBrush", guid(0xE68715CA, 0x45E1, 0x4720, {0xBA, 0xBB, 0x66, 0x33, 0x89, 0x6A, 0x72, 0x65}), {u"IDrawingHatchBrush"}, true},
      {u"DrawingTextureBrush", guid(0xA1E366B8, 0x5269, 0x4406, {0xB9, 0x4F, 0xDA, 0xA3, 0x49, 0x78, 0x95, 0x98}), {u"IDrawingTextureBrush"}, true},
      {u"TextInfo", guid(0xCA7E173C, 0xAD5E, 0x4301, {0xAC, 0x6D, 0x7F, 0x8A, 0x50, 0x5F, 0x8F, 0xC4}), {u"ITextInfo"}, true},
      {u"TransformTransparentize", guid(0x519607F8, 0xFD9B, 0x4A42, {0xB6, 0x4F, 0x8B, 0xCC, 0x14, 0xE5, 0x4A, 0xD4}), {u"ITransformTransparentize", u"IGDIPlusTransform"}, true},
      {u"SWFEncoderInfo", guid(0xEFB9CA16, 0x4B9C, 0x474B, {0x84, 0xD4, 0xB6, 0x98, 0x4D, 0xA1, 0x99, 0x59}), {u"ISWFEncoderInfo"}, true},
      {u"GIFEncoderInfo", guid(0x05EC364C, 0xB5C3, 0x4360, {0x9D, 0xA2, 0x68, 0x44, 0x0D, 0x71, 0xF6, 0x49}), {u"IGIFEncoderInfo"}, true},
      {u"TransformFastBlur", guid(0x37DE67C8, 0x9268, 0x4F60, {0xB1, 0xA9, 0x37, 0x3D, 0xAE, 0xC9, 0x55, 0x65}), {u"ITransformFastBlur", u"IGDIPlusTransform"}, true},
      {u"TransformGlow", guid(0x722DF2E5, 0xB752, 0x45CC, {0x86, 0x01, 0xFE, 0xC3, 0xB4, 0x72, 0x84, 0x4F}), {u"ITransformGlow", u"IGDIPlusTransform"}, true},
      {u"TransformShadow", guid(0x6B3EDC16, 0x3E63, 0x4DF9, {0x97, 0xCB, 0xF8, 0x66, 0x4D, 0x3A, 0x09, 0x3E}), {u"ITransformShadow", u"IGDIPlusTransform"}, true},
      {u"TransformNoiseRemove", guid(0x793FB755, 0x9431, 0x449B, {0xBF, 0xF5, 0xFB, 0xC2, 0x57, 0xEC, 0xBA, 0x5C}), {u"ITransformNoiseRemove", u"IGDIPlusTransform"}, true},
      {u"TransformErosion", guid(0x1FF6037D, 0xB69B, 0x4223, {0x99, 0x7F, 0x55, 0x52, 0x18, 0x0D, 0x75, 0xB4}), {u"ITransformErosion"}, true},
      {u"TransformExpand", guid(0x1EE0261A, 0x19A4, 0x4752, {0xBF, 0x22, 0xD4, 0x20, 0x86, 0x68, 0xA1, 0xC9}), {u"ITransformExpand"}, true},
      {u"BMPEncoderInfo", guid(0x68980056, 0xE2DE, 0x4BD2, {0xAF, 0xC2, 0xE4, 0xD5, 0x9F, 0xEF, 0x6C, 0x8D}), {u"IBMPEncoderInfo"}, true},
      {u"EncoderManager", guid(0x848A52CA, 0x1B35, 0x460F, {0x82, 0x3B, 0xB2, 0x24, 0x41, 0xAE, 0x19, 0x6E}), {u"IEncoderManager"}, true},
      {u"EncoderJPEG", guid(0x6124711C, 0x7C88, 0x443D, {0xA6, 0xA1, 0xBD, 0xD4, 0xE3, 0xD9, 0xAF, 0x75}), {u"IEncoderJPEG"}, true},
      {u"EncoderBMP", guid(0xCF33DEAE, 0xFC30, 0x46DF, {0x80, 0x33, 0x46, 0x80, 0x13, 0xB6, 0xF9, 0x2B}), {u"IEncoderBMP"}, true},
      {u"EncoderPNG", guid(0x08CE590D, 0x42D4, 0x4DCE, {0xA5, 0x92, 0x09, 0xB9, 0xED, 0x87, 0x91, 0xF3}), {u"IEncoderPNG"}, true},
      {u"EncoderTIFF", guid(0xF81B7E54, 0xBB4F, 0x4075, {0x93, 0x75, 0xC1, 0xFB, 0x8A, 0x3E, 0xF8, 0x63}), {u"IEncoderTIFF"}, true},
      {u"EncoderGIF", guid(0x019D9481, 0x047C, 0x4CBE, {0x81, 0xB9, 0xEA, 0x17, 0x5D, 0xE6, 0x60, 0x6C}), {u"IEncoderGIF"}, true},
      {u"EncoderSWF", guid(0x873ADFE3, 0xF85E, 0x4FF0, {0xA8, 0xD0, 0xA2, 0xFB, 0xC2, 0xCA, 0x9D, 0x03}), {u"IEncoderSWF"}, true},
      {u"EncoderWBMP", guid(0xDDA03405, 0x3AE7, 0x44DF, {0x97, 0xCC, 0xA4, 0x5E, 0x1B, 0x0D, 0xAC, 0x6F}), {u"IEncoderWBMP"}, true},
      {u"GUIDGen", guid(0x186E127E, 0x033F, 0x4D95, {0x93, 0xF3, 0x90, 0x88, 0x90, 0xF1, 0xA4, 0xC9}), {u"IGUIDGen"}, true},
  };
  ASSERT_EQ(zentarix_coclass_count, std::size(rows));
  for (const ClassRow& row : rows) {
    SCOPED_TRACE(zx::to_utf8(row.name));
    const ZX_COCLASS_DESC* c = find_coclass(row.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(*c->clsid, row.clsid);
    EXPECT_EQ(!c->noncreatable, row.creatable);
    ASSERT_EQ(c->cInterfaces, row.interfaces.size());
    for (UINT i = 0; i < c->cInterfaces; ++i) {
      EXPECT_EQ(std::u16string(c->interfaces[i].name), row.interfaces[i]);
      EXPECT_EQ(c->interfaces[i].isDefault != 0, i == 0);
    }
  }
}

TEST(TypeLibrary, InterfaceIdentities) {
  // Bases: the encoder and manager interfaces are IUnknown-based, the collection's item is a raster.
  static_assert(std::is_base_of_v<IRasterObject, IRasterItem>);
  static_assert(std::is_base_of_v<IDispatch, IRasterObject> && std::is_base_of_v<IDispatch, IGDIPlusTransform>);
  static_assert(!std::is_base_of_v<IDispatch, IRasterObjectInternal>);
  static_assert(!std::is_base_of_v<IDispatch, IEncoderManager> && !std::is_base_of_v<IDispatch, IEncoderJPEG> &&
                !std::is_base_of_v<IDispatch, IEncoderWBMP>);
  static_assert(std::is_same_v<decltype(&IRasterObjectInternal::GetDataPointer), HRESULT (IRasterObjectInternal::*)(LONG**)>);
  static_assert(std::is_same_v<decltype(&IRasterObjectInternal::SetDataPointer), HRESULT (IRasterObjectInternal::*)(LONG*)>);
  static_assert(IID_IGDIPlusTransform == guid(0x25290385, 0xCA1E, 0x44D6, {0x9D, 0x59, 0xFA, 0x97, 0x86, 0x39, 0x12, 0xE0}));
  static_assert(IID_IGUIDGen == guid(0x7FA186C6, 0x4E74, 0x41AE, {0x97, 0xA0, 0x15, 0x64, 0xD5, 0x19, 0x72, 0xC3}));
  static_assert(IID_IRasterCollection == guid(0x0DFF81FC, 0xF502, 0x455C, {0xAC, 0x79, 0xBF, 0x62, 0x1C, 0x91, 0xD2, 0x2F}));
  static_assert(IID_IRasterItem == guid(0x24482E38, 0x989A, 0x40ED, {0x97, 0xB1, 0x26, 0xE4, 0xCF, 0x0C, 0x49, 0xB9}));
  static_assert(IID_IRasterObject == guid(0x803D856D, 0x0F92, 0x4FF8, {0x80, 0xC0, 0xF1, 0xDE, 0x58, 0xEC, 0xE7, 0x6D}));
  static_assert(IID_IRasterObjectInternal == guid(0x7A6CF2E5, 0x8704, 0x4779, {0xBC, 0x78, 0xDC, 0xBE, 0xEF, 0x19, 0xD8, 0x89}));
  static_assert(IID_ITIFFEncoderInfo == guid(0x75CC63D8, 0x43D1, 0x4247, {0x95, 0x33, 0x72, 0x92, 0x6C, 0x1A, 0x90, 0xCC}));
  static_assert(IID_ITransformCrop == guid(0xDAAB89EB, 0x38D8, 0x431D, {0xA0, 0x60, 0x84, 0xE7, 0xC4, 0xA0, 0x29, 0x7C}));
  static_assert(IID_ITransformEqualize == guid(0xEC99DD93, 0x0EB5, 0x4357, {0xB8, 0xDD, 0x4E, 0xFC, 0x80, 0x45, 0xF9, 0x9A}));
  static_assert(IID_ITransformErosion == guid(0x94B2BC64, 0x8DFD, 0x4D07, {0xB7, 0x18, 0xC3, 0xD9, 0xCC, 0x74, 0xEA, 0x49}));
  static_assert(IID_ITransformExpand == guid(0xFE82B12B, 0xEDA6, 0x4C04, {0x8B, 0x53, 0xE7, 0x3C, 0xBC, 0x2A, 0x54, 0x8E}));
  static_assert(IID_ITransformFastBlur == guid(0x1DD40C00, 0x8BD8, 0x484B, {0xB4, 0xF4, 0x55, 0xF7, 0x2F, 0xDF, 0xEB, 0xF9}));
  static_assert(IID_ITransformFlipAndRotate == guid(0xEC383809, 0x15C9, 0x4AE5, {0xB0, 0x4D, 0x36, 0x3E, 0x64, 0xCF, 0x38, 0x32}));
  static_assert(IID_ITransformGlow == guid(0x0DA6D6A3, 0x8F8B, 0x43E3, {0xBC, 0xAC, 0x6C, 0x5D, 0xD8, 0x3D, 0xF6, 0xF0}));
  static_assert(IID_ITransformNoiseRemove == guid(0x4184F808, 0x8C29, 0x4D35, {0x87, 0x3C, 0x9C, 0xCB, 0xCF, 0xBD, 0x17, 0x75}));
  static_assert(IID_ITransformResize == guid(0x53301B6E, 0x93A5, 0x47DA, {0x8C, 0xFA, 0x76, 0xFB, 0x28, 0x62, 0xE5, 0x42}));
  static_assert(IID_ITransformRotate == guid(0x94EB9EEB, 0x3B25, 0x4AD5, {0xB6, 0x31, 0x53, 0xD1, 0x63, 0xFB, 0xC8, 0x24}));
  static_assert(IID_ITransformShadow == guid(0xFC513052, 0xA2CA, 0x433D, {0x8E, 0xF4, 0xEC, 0x51, 0x79, 0x1F, 0xEA, 0x2C}));
  static_assert(IID_ITransformTransparentize == guid(0x1572CECF, 0x72D3, 0x4C4A, {0xAA, 0x7A, 0xBE, 0xBB, 0x69, 0x75, 0xE7, 0x9D}));
  SUCCEED();
}

TEST(TypeLibrary, RasterObjectSlotsAndDispidsInVtableOrder) {
  struct Slot {
    const char16_t* name;
    DISPID dispid;
    uint16_t kind;
  };
  constexpr uint16_t F = ZX_INVOKE_FUNC, G = ZX_INVOKE_PROPERTYGET, P = ZX_INVOKE_PROPERTYPUT;
  const Slot slots[] = {
      {u"LoadFile", 1, F}, {u"SaveFile", 2, F}, {u"LoadStream", 3, F}, {u"SaveStream", 4, F},
      {u"OutputFileType", 6, G}, {u"OutputFileType", 6, P}, {u"Width", 7, G}, {u"Height", 8, G},
      {u"EmptyImage", 9, F}, {u"HorizontalResolution", 10, G}, {u"HorizontalResolution", 10, P},
      {u"VerticalResolution", 11, G}, {u"VerticalResolution", 11, P}, {u"Clone", 12, F}, {u"Pixels", 13, G},
      {u"Pixels", 13, P}, {u"CurrentFileType", 14, G}, {u"SavePicture", 15, F}, {u"LoadPicture", 16, F},
      {u"FlipAndRotate", 17, F}, {u"Rotate", 18, F}, {u"Resize", 19, F}, {u"Crop", 20, F}, {u"Transparentize", 21, F},
      {u"Equalize", 22, F}, {u"AutoLevel", 23, F}, {u"ApplyTransform", 5, F}, {u"Antialiasing", 24, F},
      {u"Greyscale", 25, F}, {u"Waddle", 26, F}, {u"Lightness", 27, F}, {u"Contrast", 28, F},
      {u"AutoLightness", 29, F}, {u"AutoContrast", 30, F}, {u"AddNoise", 31, F}, {u"Spray", 32, F},
      {u"Mosaic", 33, F}, {u"Sinusize", 34, F}, {u"Swirl", 35, F}, {u"EllipseCrop", 36, F}, {u"Solarize", 37, F},
      {u"HSLColorize", 38, F}, {u"Texturize", 39, F}, {u"Sharpen", 41, F}, {u"Emboss", 42, F}, {u"EdgeDetect", 43, F},
      {u"SwapChannels", 44, F}, {u"Buttonize", 45, F}, {u"FastBlur", 46, F}, {u"Glow", 47, F}, {u"Shadow", 48, F},
      {u"RemoveNoise", 49, F}, {u"Expand", 50, F}, {u"Erosion", 51, F}, {u"PageCurl", 52, F},
      {u"EncoderOptions", 53, G}, {u"EncoderOptions", 53, P}, {u"ResetEncoderOptions", 54, F}, {u"DrawOnHDC", 55, F},
      {u"GetHistogram", 56, F}, {u"FloodFill", 57, F}, {u"EnableLZW", 58, G}, {u"EnableLZW", 58, P},
      {u"DrawOnRaster", 59, F},
  };
  const ZX_DISPATCH_TABLE& table = zx::dispatch_table_of<IRasterObject>::value;
  ASSERT_EQ(table.cMembers, std::size(slots));
  for (UINT i = 0; i < table.cMembers; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(std::u16string(table.members[i].name), slots[i].name);
    EXPECT_EQ(table.members[i].dispid, slots[i].dispid);
    EXPECT_EQ(table.members[i].invkind, slots[i].kind);
  }
  // The Encoder argument of both saves is optional with a null default, as clients read it.
  for (UINT i : {1u, 3u}) {
    const ZX_PARAM_DESC& encoder = table.members[i].params[1];
    EXPECT_EQ(encoder.flags, ZX_PARAM_IN | ZX_PARAM_OPTIONAL | ZX_PARAM_HASDEFAULT);
    ASSERT_NE(encoder.defaultValue, nullptr);
    EXPECT_EQ(encoder.defaultValue->vt, VT_DISPATCH);
    EXPECT_EQ(encoder.defaultValue->pdispVal, nullptr);
  }
}

DISPID dispid_of(const ZX_DISPATCH_TABLE& table, std::u16string_view name) {
  for (UINT i = 0; i < table.cMembers; ++i)
    if (name == table.members[i].name) return table.members[i].dispid;
  return DISPID_UNKNOWN;
}

TEST(TypeLibrary, FixedDispidsOfTheCollectionAndGuidGenerator) {
  const ZX_DISPATCH_TABLE& collection = zx::dispatch_table_of<IRasterCollection>::value;
  EXPECT_EQ(dispid_of(collection, u"Item"), 0);
  EXPECT_EQ(dispid_of(collection, u"_NewEnum"), DISPID_NEWENUM);
  EXPECT_EQ(dispid_of(collection, u"BackgroundColor"), 2);
  EXPECT_EQ(dispid_of(collection, u"LoadMultiframeImage"), 3);
  EXPECT_EQ(dispid_of(collection, u"SaveMultiframeImage"), 4);
  EXPECT_EQ(dispid_of(collection, u"GetFramesCount"), 5);
  EXPECT_EQ(dispid_of(zx::dispatch_table_of<IGUIDGen>::value, u"Generate"), 1);
}

TEST(TypeLibrary, EnumerationValues) {
  static_assert(cd1bpp == 2 && cd24bpp == 0 && cd32bpp == 1 && cd8bpp == 3 && cmANDBlend == 2 && cmAlphaBlend == 0);
  static_assert(cmDissolve == 4 && cmORBlend == 3 && cmXORBlend == 1 && csCMYK == 1 && csRGB == 0 && dtuPixel == 0);
  static_assert(edtEdgeSharp == 0 && etNormalEmboss == 1 && fartNoRotateFlipX == 4 && fartNoRotateFlipXY == 2);
  static_assert(fartNoRotateFlipY == 6 && fartNoRotateNoFlip == 0 && fartRotate270NoFlip == 3);
  static_assert(fartRotate90FlipX == 5 && fartRotate90FlipY == 7 && fartRotate90NoFlip == 1 && ffmFillTillColor == 1);
  static_assert(ffmFillUntilColor == 0 && fmAlternate == 0 && fmWinding == 1 && htBlue == 4 && htGreen == 3);
  static_assert(htIntensity == 1 && htLightness == 0 && htRed == 2 && ljtBevel == 1 && oftBMP == 1 && oftEMF == 7);
  static_assert(oftEXIF == 8 && oftGIF == 4 && oftJPEG == 0 && oftPNG == 2 && oftSWF == 5 && oftSupportedCount == 7);
  static_assert(oftTIFF == 3 && oftUnknown == -1 && oftWBMP == 6 && pcmRightBottomCurlDown == 5 && ptDither == 2);
  static_assert(ptHalftone == 1 && ptOctree == 0 && rqtBicubicMode == 3 && rqtBilinearMode == 1);
  static_assert(rqtHighQualityBicubicMode == 4 && rqtHighQualityBilinearMode == 2 && rqtNearestNeighborMode == 0);
  static_assert(swfctJPEG == 1 && swfctLossless == 0 && tctCCITT3 == 2 && tctCCITT4 == 3 && tctLZW == 1);
  static_assert(tctNone == 0 && tctRLE == 4);
  SUCCEED();
}

TEST(TypeLibrary, ColourConstantsAndFunctions) {
  static_assert(zxAliceBlue == -984833 && zxAntiqueWhite == -332841 && zxAqua == -16711681);
  static_assert(zxAquamarine == -8388652 && zxAzure == -983041 && zxBeige == -657956 && zxBisque == -6972);
  static_assert(zxBlack == -16777216 && zxBlanchedAlmond == -5171 && zxBlue == -16776961 && zxBlueViolet == -7722014);
  static_assert(zxBrown == -5952982 && zxBurlyWood == -2180985 && zxCadetBlue == -10510688);
  static_assert(zxChartReuse == -8388864 && zxChocolate == -2987746 && zxCoral == -32944);
  static_assert(zxCornFlowerBlue == -10185235 && zxCornSilk == -1828 && zxCrimson == -2354116 && zxCyan == -16711681);
  static_assert(zxDarkBlue == -16777077 && zxDarkCyan == -16741493 && zxDarkGoldenRod == -4684277);
  static_assert(zxDarkGray == -5658199 && zxDarkGreen == -16751616 && zxDarkKhaki == -4343957);
  static_assert(zxDarkMagenta == -7667573 && zxDarkOliveGreen == -11179217 && zxDarkOrange == -29696);
  static_assert(zxDarkOrchid == -6737204 && zxDarkRed == -7667712 && zxDarkSalmon == -1468806);
  static_assert(zxDarkSeaGreen == -7357301 && zxDarkSlateBlue == -12042869 && zxDarkSlateGray == -13676721);
  static_assert(zxDarkTurquoise == -16724271 && zxDarkViolet == -7077677 && zxDeepPink == -60269);
  static_assert(zxDeepSkyBlue == -16728065 && zxDimGray == -9868951 && zxDodgerBlue == -14774017);
  static_assert(zxFireBrick == -5103070 && zxFloralWhite == -1296 && zxForestGreen == -14513374);
  static_assert(zxFuchsia == -65281 && zxGainsboro == -2302756 && zxGhostWhite == -460545 && zxGold == -10496);
  static_assert(zxGoldenRod == -2448096 && zxGray == -8355712 && zxGreen == -16744448 && zxGreenYellow == -5374161);
  static_assert(zxHoneyDew == -983056 && zxHotPink == -38476 && zxIndianRed == -3318692 && zxIndigo == -11861886);
  static_assert(zxIvory == -16 && zxKhaki == -989556 && zxLavender == -1644806 && zxLavenderBlush == -3851);
  static_assert(zxLawnGreen == -8586240 && zxLemonChiffon == -1331 && zxLightBlue == -5383962);
  static_assert(zxLightCoral == -1015680 && zxLightCyan == -2031617 && zxLightGoldenRodYellow == -329006);
  static_assert(zxLightGreen == -7278960 && zxLightGrey == -2894893 && zxLightPink == -18751);
  static_assert(zxLightSalmon == -24454 && zxLightSeaGreen == -14634326 && zxLightSkyBlue == -7876870);
  static_assert(zxLightSlateGray == -8943463 && zxLightSteelBlue == -5192482 && zxLightYellow == -32);
  static_assert(zxLime == -16711936 && zxLimeGreen == -13447886 && zxLinen == -331546 && zxMagenta == -65281);
  static_assert(zxMaroon == -8388608 && zxMediumAquamarine == -10039894 && zxMediumBlue == -16777011);
  static_assert(zxMediumOrchid == -4565549 && zxMediumPurple == -7114533 && zxMediumSeaGreen == -12799119);
  static_assert(zxMediumSlateBlue == -8689426 && zxMediumSpringGreen == -16713062 && zxMediumTurquoise == -12004916);
  static_assert(zxMediumVioletRed == -3730043 && zxMidnightBlue == -15132304 && zxMintCream == -655366);
  static_assert(zxMistyRose == -6943 && zxMoccasin == -6987 && zxNavajoWhite == -8531 && zxNavy == -16777088);
  static_assert(zxOldLace == -133658 && zxOlive == -8355840 && zxOliveDrab == -9728477 && zxOrange == -23296);
  static_assert(zxOrangeRed == -47872 && zxOrchid == -2461482 && zxPaleGoldenRod == -1120086);
  static_assert(zxPaleGreen == -6751336 && zxPaleTurquoise == -5247250 && zxPaleVioletRed == -2396013);
  static_assert(zxPapayaWhip == -4139 && zxPeachPuff == -9543 && zxPeru == -3308225 && zxPink == -16181);
  static_assert(zxPlum == -2252579 && zxPowderBlue == -5185306 && zxPurple == -8388480 && zxRed == -65536);
  static_assert(zxRosyBrown == -4419697 && zxRoyalBlue == -12490271 && zxSaddleBrown == -7650029);
  static_assert(zxSalmon == -360334 && zxSandyBrown == -744352 && zxSeaGreen == -13726889 && zxSeaShell == -2578);
  static_assert(zxSienna == -6270419 && zxSilver == -4144960 && zxSkyBlue == -7876885 && zxSlateBlue == -9807155);
  static_assert(zxSlateGray == -9404272 && zxSnow == -1286 && zxSpringGreen == -16711809 && zxSteelBlue == -12156236);
  static_assert(zxTan == -2968436 && zxTeal == -16744320 && zxThistle == -2572328 && zxTomato == -40121);
  static_assert(zxTurquoise == -12525360 && zxViolet == -1146130 && zxWheat == -663885 && zxWhite == -1);
  static_assert(zxWhiteSmoke == -657931 && zxYellow == -256 && zxYellowGreen == -6632142);
  static_assert(std::is_same_v<decltype(&ColorFromARGB), HRESULT (*)(BYTE, BYTE, BYTE, BYTE, LONG*)>);
  static_assert(std::is_same_v<decltype(&ColorFromCOLORREF), HRESULT (*)(LONG, BYTE, LONG*)>);
  static_assert(std::is_same_v<decltype(&COLORREFFromColor), HRESULT (*)(LONG, LONG*)>);
  static_assert(std::is_same_v<decltype(&SetAlpha), HRESULT (*)(LONG, BYTE, LONG*)>);
  static_assert(std::is_same_v<decltype(&GetRed), HRESULT (*)(LONG, BYTE*)>);
  static_assert(std::is_same_v<decltype(&GetGreen), HRESULT (*)(LONG, BYTE*)>);
  static_assert(std::is_same_v<decltype(&GetBlue), HRESULT (*)(LONG, BYTE*)>);
  static_assert(std::is_same_v<decltype(&GetAlpha), HRESULT (*)(LONG, BYTE*)>);
  SUCCEED();
}

}  // namespace
