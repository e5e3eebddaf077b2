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
  static_assert(CLSID_RasterObject == guid(0xA6670551, 0x2F7E, 0x46A9, {0xB5, 0xD0, 0x3F, 0x25, 0xC2, 0x5E, 0x9B, 0x29}));
  static_assert(CLSID_TransformFlipAndRotate == guid(0x4EB8951C, 0x2D2C, 0x4E02, {0xAB, 0x07, 0xD8, 0xAA, 0xB1, 0xF2, 0xF6, 0xA8}));
  static_assert(CLSID_RasterCollection == guid(0x271AD987, 0x96A0, 0x4643, {0x88, 0xD8, 0x11, 0x22, 0x0D, 0xF0, 0xA1, 0x59}));
  static_assert(CLSID_RasterItem == guid(0xE8EAB500, 0x51F3, 0x4989, {0x93, 0x40, 0x7A, 0x30, 0x57, 0x93, 0x9A, 0x6C}));
  static_assert(CLSID_TransformResize == guid(0xCFC7D428, 0x4BA4, 0x4998, {0x9D, 0x7A, 0x84, 0x67, 0xAA, 0xAE, 0x81, 0x21}));
  static_assert(CLSID_TransformCrop == guid(0x1C135F65, 0xE11F, 0x4A43, {0x96, 0xE1, 0x01, 0x0E, 0x30, 0xD5, 0x1C, 0xD1}));
  static_assert(CLSID_TransformEqualize == guid(0x9A5B2C47, 0xDEB8, 0x4ED3, {0x87, 0x20, 0x64, 0x35, 0x5D, 0xB1, 0xAF, 0x5C}));
  static_assert(CLSID_TransformRotate == guid(0x1F1FEC93, 0xBEC7, 0x4548, {0xB4, 0xF1, 0x07, 0xD2, 0x34, 0xA6, 0x9F, 0xC2}));
  static_assert(CLSID_JPEGEncoderInfo == guid(0x3721B7C7, 0xB48D, 0x4F46, {0x92, 0xAA, 0x86, 0xF3, 0xD9, 0xB0, 0x68, 0x9D}));
  static_assert(CLSID_TIFFEncoderInfo == guid(0x869B5A4D, 0xCD1E, 0x43CF, {0xAC, 0x5F, 0xBB, 0xF4, 0x41, 0x3C, 0xDE, 0x0E}));
  static_assert(CLSID_DrawingTool == guid(0xC582D7AB, 0xEC41, 0x42C1, {0x99, 0x93, 0x60, 0x72, 0xF9, 0x71, 0xCA, 0x48}));
  static_assert(CLSID_DrawingPen == guid(0xCFACD5F5, 0x1720, 0x4067, {0xA8, 0xEF, 0xE2, 0x3B, 0x1D, 0x78, 0x16, 0x89}));
  static_assert(CLSID_DrawingSolidBrush == guid(0x2C44F8DB, 0x4C13, 0x49A8, {0xBF, 0xA3, 0x19, 0x76, 0xEB, 0x45, 0x75, 0x5D}));
  static_assert(CLSID_DrawingHatchBrush == guid(0xE68715CA, 0x45E1, 0x4720, {0xBA, 0xBB, 0x66, 0x33, 0x89, 0x6A, 0x72, 0x65}));
  static_assert(CLSID_DrawingTextureBrush == guid(0xA1E366B8, 0x5269, 0x4406, {0xB9, 0x4F, 0xDA, 0xA3, 0x49, 0x78, 0x95, 0x98}));
  static_assert(CLSID_TextInfo == guid(0xCA7E173C, 0xAD5E, 0x4301, {0xAC, 0x6D, 0x7F, 0x8A, 0x50, 0x5F, 0x8F, 0xC4}));
  static_assert(CLSID_TransformTransparentize == guid(0x519607F8, 0xFD9B, 0x4A42, {0xB6, 0x4F, 0x8B, 0xCC, 0x14, 0xE5, 0x4A, 0xD4}));
  static_assert(CLSID_SWFEncoderInfo == guid(0xEFB9CA16, 0x4B9C, 0x474B, {0x84, 0xD4, 0xB6, 0x98, 0x4D, 0xA1, 0x99, 0x59}));
  static_assert(CLSID_GIFEncoderInfo == guid(0x05EC364C, 0xB5C3, 0x4360, {0x9D, 0xA2, 0x68, 0x44, 0x0D, 0x71, 0xF6, 0x49}));
  static_assert(CLSID_TransformFastBlur == guid(0x37DE67C8, 0x9268, 0x4F60, {0xB1, 0xA9, 0x37, 0x3D, 0xAE, 0xC9, 0x55, 0x65}));
  static_assert(CLSID_TransformGlow == guid(0x722DF2E5, 0xB752, 0x45CC, {0x86, 0x01, 0xFE, 0xC3, 0xB4, 0x72, 0x84, 0x4F}));
  static_assert(CLSID_TransformShadow == guid(0x6B3EDC16, 0x3E63, 0x4DF9, {0x97, 0xCB, 0xF8, 0x66, 0x4D, 0x3A, 0x09, 0x3E}));
  static_assert(CLSID_TransformNoiseRemove == guid(0x793FB755, 0x9431, 0x449B, {0xBF, 0xF5, 0xFB, 0xC2, 0x57, 0xEC, 0xBA, 0x5C}));
  static_assert(CLSID_TransformErosion == guid(0x1FF6037D, 0xB69B, 0x4223, {0x99, 0x7F, 0x55, 0x52, 0x18, 0x0D, 0x75, 0xB4}));
  static_assert(CLSID_TransformExpand == guid(0x1EE0261A, 0x19A4, 0x4752, {0xBF, 0x22, 0xD4, 0x20, 0x86, 0x68, 0xA1, 0xC9}));
  static_assert(CLSID_BMPEncoderInfo == guid(0x68980056, 0xE2DE, 0x4BD2, {0xAF, 0xC2, 0xE4, 0xD5, 0x9F, 0xEF, 0x6C, 0x8D}));
  static_assert(CLSID_EncoderManager == guid(0x848A52CA, 0x1B35, 0x460F, {0x82, 0x3B, 0xB2, 0x24, 0x41, 0xAE, 0x19, 0x6E}));
  static_assert(CLSID_EncoderJPEG == guid(0x6124711C, 0x7C88, 0x443D, {0xA6, 0xA1, 0xBD, 0xD4, 0xE3, 0xD9, 0xAF, 0x75}));
  static_assert(CLSID_EncoderBMP == guid(0xCF33DEAE, 0xFC30, 0x46DF, {0x80, 0x33, 0x46, 0x80, 0x13, 0xB6, 0xF9, 0x2B}));
  static_assert(CLSID_EncoderPNG == guid(0x08CE590D, 0x42D4, 0x4DCE, {0xA5, 0x92, 0x09, 0xB9, 0xED, 0x87, 0x91, 0xF3}));
  static_assert(CLSID_EncoderTIFF == guid(0xF81B7E54, 0xBB4F, 0x4075, {0x93, 0x75, 0xC1, 0xFB, 0x8A, 0x3E, 0xF8, 0x63}));
  static_assert(CLSID_EncoderGIF == guid(0x019D9481, 0x047C, 0x4CBE, {0x81, 0xB9, 0xEA, 0x17, 0x5D, 0xE6, 0x60, 0x6C}));
  static_assert(CLSID_EncoderSWF == guid(0x873ADFE3, 0xF85E, 0x4FF0, {0xA8, 0xD0, 0xA2, 0xFB, 0xC2, 0xCA, 0x9D, 0x03}));
  static_assert(CLSID_EncoderWBMP == guid(0xDDA03405, 0x3AE7, 0x44DF, {0x97, 0xCC, 0xA4, 0x5E, 0x1B, 0x0D, 0xAC, 0x6F}));
  static_assert(CLSID_GUIDGen == guid(0x186E127E, 0x033F, 0x4D95, {0x93, 0xF3, 0x90, 0x88, 0x90, 0xF1, 0xA4, 0xC9}));
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
  const Slot slots[] = {
      {u"LoadFile", 1, ZX_INVOKE_FUNC},
      {u"SaveFile", 2, ZX_INVOKE_FUNC},
      {u"LoadStream", 3, ZX_INVOKE_FUNC},
      {u"SaveStream", 4, ZX_INVOKE_FUNC},
      {u"OutputFileType", 6, ZX_INVOKE_PROPERTYGET},
      {u"OutputFileType", 6, ZX_INVOKE_PROPERTYPUT},
      {u"Width", 7, ZX_INVOKE_PROPERTYGET},
      {u"Height", 8, ZX_INVOKE_PROPERTYGET},
      {u"EmptyImage", 9, ZX_INVOKE_FUNC},
      {u"HorizontalResolution", 10, ZX_INVOKE_PROPERTYGET},
      {u"HorizontalResolution", 10, ZX_INVOKE_PROPERTYPUT},
      {u"VerticalResolution", 11, ZX_INVOKE_PROPERTYGET},
      {u"VerticalResolution", 11, ZX_INVOKE_PROPERTYPUT},
      {u"Clone", 12, ZX_INVOKE_FUNC},
      {u"Pixels", 13, ZX_INVOKE_PROPERTYGET},
      {u"Pixels", 13, ZX_INVOKE_PROPERTYPUT},
      {u"CurrentFileType", 14, ZX_INVOKE_PROPERTYGET},
      {u"SavePicture", 15, ZX_INVOKE_FUNC},
      {u"LoadPicture", 16, ZX_INVOKE_FUNC},
      {u"FlipAndRotate", 17, ZX_INVOKE_FUNC},
      {u"Rotate", 18, ZX_INVOKE_FUNC},
      {u"Resize", 19, ZX_INVOKE_FUNC},
      {u"Crop", 20, ZX_INVOKE_FUNC},
      {u"Transparentize", 21, ZX_INVOKE_FUNC},
      {u"Equalize", 22, ZX_INVOKE_FUNC},
      {u"AutoLevel", 23, ZX_INVOKE_FUNC},
      {u"ApplyTransform", 5, ZX_INVOKE_FUNC},
      {u"Antialiasing", 24, ZX_INVOKE_FUNC},
      {u"Greyscale", 25, ZX_INVOKE_FUNC},
      {u"Waddle", 26, ZX_INVOKE_FUNC},
      {u"Lightness", 27, ZX_INVOKE_FUNC},
      {u"Contrast", 28, ZX_INVOKE_FUNC},
      {u"AutoLightness", 29, ZX_INVOKE_FUNC},
      {u"AutoContrast", 30, ZX_INVOKE_FUNC},
      {u"AddNoise", 31, ZX_INVOKE_FUNC},
      {u"Spray", 32, ZX_INVOKE_FUNC},
      {u"Mosaic", 33, ZX_INVOKE_FUNC},
      {u"Sinusize", 34, ZX_INVOKE_FUNC},
      {u"Swirl", 35, ZX_INVOKE_FUNC},
      {u"EllipseCrop", 36, ZX_INVOKE_FUNC},
      {u"Solarize", 37, ZX_INVOKE_FUNC},
      {u"HSLColorize", 38, ZX_INVOKE_FUNC},
      {u"Texturize", 39, ZX_INVOKE_FUNC},
      {u"Sharpen", 41, ZX_INVOKE_FUNC},
      {u"Emboss", 42, ZX_INVOKE_FUNC},
      {u"EdgeDetect", 43, ZX_INVOKE_FUNC},
      {u"SwapChannels", 44, ZX_INVOKE_FUNC},
      {u"Buttonize", 45, ZX_INVOKE_FUNC},
      {u"FastBlur", 46, ZX_INVOKE_FUNC},
      {u"Glow", 47, ZX_INVOKE_FUNC},
      {u"Shadow", 48, ZX_INVOKE_FUNC},
      {u"RemoveNoise", 49, ZX_INVOKE_FUNC},
      {u"Expand", 50, ZX_INVOKE_FUNC},
      {u"Erosion", 51, ZX_INVOKE_FUNC},
      {u"PageCurl", 52, ZX_INVOKE_FUNC},
      {u"EncoderOptions", 53, ZX_INVOKE_PROPERTYGET},
      {u"EncoderOptions", 53, ZX_INVOKE_PROPERTYPUT},
      {u"ResetEncoderOptions", 54, ZX_INVOKE_FUNC},
      {u"DrawOnHDC", 55, ZX_INVOKE_FUNC},
      {u"GetHistogram", 56, ZX_INVOKE_FUNC},
      {u"FloodFill", 57, ZX_INVOKE_FUNC},
      {u"EnableLZW", 58, ZX_INVOKE_PROPERTYGET},
      {u"EnableLZW", 58, ZX_INVOKE_PROPERTYPUT},
      {u"DrawOnRaster", 59, ZX_INVOKE_FUNC},
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
  static_assert(cd1bpp == 2);
  static_assert(cd24bpp == 0);
  static_assert(cd32bpp == 1);
  static_assert(cd8bpp == 3);
  static_assert(cmANDBlend == 2);
  static_assert(cmAlphaBlend == 0);
  static_assert(cmDissolve == 4);
  static_assert(cmORBlend == 3);
  static_assert(cmXORBlend == 1);
  static_assert(csCMYK == 1);
  static_assert(csRGB == 0);
  static_assert(dtuPixel == 0);
  static_assert(edtEdgeSharp == 0);
  static_assert(etNormalEmboss == 1);
  static_assert(fartNoRotateFlipX == 4);
  static_assert(fartNoRotateFlipXY == 2);
  static_assert(fartNoRotateFlipY == 6);
  static_assert(fartNoRotateNoFlip == 0);
  static_assert(fartRotate270NoFlip == 3);
  static_assert(fartRotate90FlipX == 5);
  static_assert(fartRotate90FlipY == 7);
  static_assert(fartRotate90NoFlip == 1);
  static_assert(ffmFillTillColor == 1);
  static_assert(ffmFillUntilColor == 0);
  static_assert(fmAlternate == 0);
  static_assert(fmWinding == 1);
  static_assert(htBlue == 4);
  static_assert(htGreen == 3);
  static_assert(htIntensity == 1);
  static_assert(htLightness == 0);
  static_assert(htRed == 2);
  static_assert(ljtBevel == 1);
  static_assert(oftBMP == 1);
  static_assert(oftEMF == 7);
  static_assert(oftEXIF == 8);
  static_assert(oftGIF == 4);
  static_assert(oftJPEG == 0);
  static_assert(oftPNG == 2);
  static_assert(oftSWF == 5);
  static_assert(oftSupportedCount == 7);
  static_assert(oftTIFF == 3);
  static_assert(oftUnknown == -1);
  static_assert(oftWBMP == 6);
  static_assert(pcmRightBottomCurlDown == 5);
  static_assert(ptDither == 2);
  static_assert(ptHalftone == 1);
  static_assert(ptOctree == 0);
  static_assert(rqtBicubicMode == 3);
  static_assert(rqtBilinearMode == 1);
  static_assert(rqtHighQualityBicubicMode == 4);
  static_assert(rqtHighQualityBilinearMode == 2);
  static_assert(rqtNearestNeighborMode == 0);
  static_assert(swfctJPEG == 1);
  static_assert(swfctLossless == 0);
  static_assert(tctCCITT3 == 2);
  static_assert(tctCCITT4 == 3);
  static_assert(tctLZW == 1);
  static_assert(tctNone == 0);
  static_assert(tctRLE == 4);
  SUCCEED();
}

TEST(TypeLibrary, ColourConstantsAndFunctions) {
  static_assert(zxAliceBlue == -984833);
  static_assert(zxAntiqueWhite == -332841);
  static_assert(zxAqua == -16711681);
  static_assert(zxAquamarine == -8388652);
  static_assert(zxAzure == -983041);
  static_assert(zxBeige == -657956);
  static_assert(zxBisque == -6972);
  static_assert(zxBlack == -16777216);
  static_assert(zxBlanchedAlmond == -5171);
  static_assert(zxBlue == -16776961);
  static_assert(zxBlueViolet == -7722014);
  static_assert(zxBrown == -5952982);
  static_assert(zxBurlyWood == -2180985);
  static_assert(zxCadetBlue == -10510688);
  static_assert(zxChartReuse == -8388864);
  static_assert(zxChocolate == -2987746);
  static_assert(zxCoral == -32944);
  static_assert(zxCornFlowerBlue == -10185235);
  static_assert(zxCornSilk == -1828);
  static_assert(zxCrimson == -2354116);
  static_assert(zxCyan == -16711681);
  static_assert(zxDarkBlue == -16777077);
  static_assert(zxDarkCyan == -16741493);
  static_assert(zxDarkGoldenRod == -4684277);
  static_assert(zxDarkGray == -5658199);
  static_assert(zxDarkGreen == -16751616);
  static_assert(zxDarkKhaki == -4343957);
  static_assert(zxDarkMagenta == -7667573);
  static_assert(zxDarkOliveGreen == -11179217);
  static_assert(zxDarkOrange == -29696);
  static_assert(zxDarkOrchid == -6737204);
  static_assert(zxDarkRed == -7667712);
  static_assert(zxDarkSalmon == -1468806);
  static_assert(zxDarkSeaGreen == -7357301);
  static_assert(zxDarkSlateBlue == -12042869);
  static_assert(zxDarkSlateGray == -13676721);
  static_assert(zxDarkTurquoise == -16724271);
  static_assert(zxDarkViolet == -7077677);
  static_assert(zxDeepPink == -60269);
  static_assert(zxDeepSkyBlue == -16728065);
  static_assert(zxDimGray == -9868951);
  static_assert(zxDodgerBlue == -14774017);
  static_assert(zxFireBrick == -5103070);
  static_assert(zxFloralWhite == -1296);
  static_assert(zxForestGreen == -14513374);
  static_assert(zxFuchsia == -65281);
  static_assert(zxGainsboro == -2302756);
  static_assert(zxGhostWhite == -460545);
  static_assert(zxGold == -10496);
  static_assert(zxGoldenRod == -2448096);
  static_assert(zxGray == -8355712);
  static_assert(zxGreen == -16744448);
  static_assert(zxGreenYellow == -5374161);
  static_assert(zxHoneyDew == -983056);
  static_assert(zxHotPink == -38476);
  static_assert(zxIndianRed == -3318692);
  static_assert(zxIndigo == -11861886);
  static_assert(zxIvory == -16);
  static_assert(zxKhaki == -989556);
  static_assert(zxLavender == -1644806);
  static_assert(zxLavenderBlush == -3851);
  static_assert(zxLawnGreen == -8586240);
  static_assert(zxLemonChiffon == -1331);
  static_assert(zxLightBlue == -5383962);
  static_assert(zxLightCoral == -1015680);
  static_assert(zxLightCyan == -2031617);
  static_assert(zxLightGoldenRodYellow == -329006);
  static_assert(zxLightGreen == -7278960);
  static_assert(zxLightGrey == -2894893);
  static_assert(zxLightPink == -18751);
  static_assert(zxLightSalmon == -24454);
  static_assert(zxLightSeaGreen == -14634326);
  static_assert(zxLightSkyBlue == -7876870);
  static_assert(zxLightSlateGray == -8943463);
  static_assert(zxLightSteelBlue == -5192482);
  static_assert(zxLightYellow == -32);
  static_assert(zxLime == -16711936);
  static_assert(zxLimeGreen == -13447886);
  static_assert(zxLinen == -331546);
  static_assert(zxMagenta == -65281);
  static_assert(zxMaroon == -8388608);
  static_assert(zxMediumAquamarine == -10039894);
  static_assert(zxMediumBlue == -16777011);
  static_assert(zxMediumOrchid == -4565549);
  static_assert(zxMediumPurple == -7114533);
  static_assert(zxMediumSeaGreen == -12799119);
  static_assert(zxMediumSlateBlue == -8689426);
  static_assert(zxMediumSpringGreen == -16713062);
  static_assert(zxMediumTurquoise == -12004916);
  static_assert(zxMediumVioletRed == -3730043);
  static_assert(zxMidnightBlue == -15132304);
  static_assert(zxMintCream == -655366);
  static_assert(zxMistyRose == -6943);
  static_assert(zxMoccasin == -6987);
  static_assert(zxNavajoWhite == -8531);
  static_assert(zxNavy == -16777088);
  static_assert(zxOldLace == -133658);
  static_assert(zxOlive == -8355840);
  static_assert(zxOliveDrab == -9728477);
  static_assert(zxOrange == -23296);
  static_assert(zxOrangeRed == -47872);
  static_assert(zxOrchid == -2461482);
  static_assert(zxPaleGoldenRod == -1120086);
  static_assert(zxPaleGreen == -6751336);
  static_assert(zxPaleTurquoise == -5247250);
  static_assert(zxPaleVioletRed == -2396013);
  static_assert(zxPapayaWhip == -4139);
  static_assert(zxPeachPuff == -9543);
  static_assert(zxPeru == -3308225);
  static_assert(zxPink == -16181);
  static_assert(zxPlum == -2252579);
  static_assert(zxPowderBlue == -5185306);
  static_assert(zxPurple == -8388480);
  static_assert(zxRed == -65536);
  static_assert(zxRosyBrown == -4419697);
  static_assert(zxRoyalBlue == -12490271);
  static_assert(zxSaddleBrown == -7650029);
  static_assert(zxSalmon == -360334);
  static_assert(zxSandyBrown == -744352);
  static_assert(zxSeaGreen == -13726889);
  static_assert(zxSeaShell == -2578);
  static_assert(zxSienna == -6270419);
  static_assert(zxSilver == -4144960);
  static_assert(zxSkyBlue == -7876885);
  static_assert(zxSlateBlue == -9807155);
  static_assert(zxSlateGray == -9404272);
  static_assert(zxSnow == -1286);
  static_assert(zxSpringGreen == -16711809);
  static_assert(zxSteelBlue == -12156236);
  static_assert(zxTan == -2968436);
  static_assert(zxTeal == -16744320);
  static_assert(zxThistle == -2572328);
  static_assert(zxTomato == -40121);
  static_assert(zxTurquoise == -12525360);
  static_assert(zxViolet == -1146130);
  static_assert(zxWheat == -663885);
  static_assert(zxWhite == -1);
  static_assert(zxWhiteSmoke == -657931);
  static_assert(zxYellow == -256);
  static_assert(zxYellowGreen == -6632142);
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
