// Zentarix — MIT licence.
// The class table: CLSIDs, ProgIDs, descriptions, flags, creators and categories of the 35 registered classes.
#include "ClassTable.h"

#include "BMPEncoderInfo.h"
#include "EncoderBMP.h"
#include "EncoderGIF.h"
#include "EncoderJPEG.h"
#include "EncoderManager.h"
#include "EncoderPNG.h"
#include "EncoderSWF.h"
#include "EncoderTIFF.h"
#include "EncoderWBMP.h"
#include "GIFEncoderInfo.h"
#include "GUIDGen.h"
#include "JPEGEncoderInfo.h"
#include "RasterCollection.h"
#include "RasterObject.h"
#include "SWFEncoderInfo.h"
#include "TIFFEncoderInfo.h"
#include "TransformCrop.h"
#include "TransformEqualize.h"
#include "TransformErosion.h"
#include "TransformExpand.h"
#include "TransformFastBlur.h"
#include "TransformFlipAndRotate.h"
#include "TransformGlow.h"
#include "TransformNoiseRemove.h"
#include "TransformResize.h"
#include "TransformRotate.h"
#include "TransformShadow.h"
#include "TransformTransparentize.h"
#include "zentarix.h"

namespace zx::server {
namespace {

// RasterItem is looked up under this identity and has no creator, so that it cannot be created from
// outside: its collection makes its items itself.
constexpr CLSID kNull = GUID_NULL;

constexpr CATID kEncoderCategories[] = {CATID_ZentarixImageEncoders};

// Rows whose class is built by a later part of the module have a null creator until then (and
// RasterItem's for good).
// ProgIDs and descriptions are the registry's, cut-short ProgIDs and short brush names included.
constexpr ClassEntry kClasses[] = {
    {&CLSID_RasterObject, &CLSID_RasterObject, u"RasterObject", u"Zentarix.RasterObject.1", u"Zentarix.RasterObject", u"RasterObject Class", true, &create_instance<raster::RasterObject>, {}},
    {&CLSID_TransformFlipAndRotate, &CLSID_TransformFlipAndRotate, u"TransformFlipAndRotate", u"Zentarix.TransformFlipAndRotate.1", u"Zentarix.TransformFlipAndRotate", u"TransformFlipAndRotate Class", true, &create_instance<transforms::TransformFlipAndRotate>, {}},
    {&CLSID_RasterCollection, &CLSID_RasterCollection, u"RasterCollection", u"Zentarix.RasterCollection.1", u"Zentarix.RasterCollection", u"RasterCollection Class", true, &create_instance<collection::RasterCollection>, {}},
    {&kNull, &CLSID_RasterItem, u"RasterItem", u"Zentarix.RasterItem.1", u"Zentarix.RasterItem", u"RasterItem Class", true, nullptr, {}},
    {&CLSID_TransformResize, &CLSID_TransformResize, u"TransformResize", u"Zentarix.TransformResize.1", u"Zentarix.TransformResize", u"TransformResize Class", true, &create_instance<transforms::TransformResize>, {}},
    {&CLSID_TransformCrop, &CLSID_TransformCrop, u"TransformCrop", u"Zentarix.TransformCrop.1", u"Zentarix.TransformCrop", u"TransformCrop Class", true, &create_instance<transforms::TransformCrop>, {}},
    {&CLSID_TransformEqualize, &CLSID_TransformEqualize, u"TransformEqualize", u"Zentarix.TransformEquali.1", u"Zentarix.TransformEqualize", u"TransformEqualize Class", true, &create_instance<transforms::TransformEqualize>, {}},
    {&CLSID_TransformRotate, &CLSID_TransformRotate, u"TransformRotate", u"Zentarix.TransformRotate.1", u"Zentarix.TransformRotate", u"TransformRotate Class", true, &create_instance<transforms::TransformRotate>, {}},
    {&CLSID_JPEGEncoderInfo, &CLSID_JPEGEncoderInfo, u"JPEGEncoderInfo", u"Zentarix.JPEGEncoderInfo.1", u"Zentarix.JPEGEncoderInfo", u"JPEGEncoderInfo Class", true, &create_instance<encoding::JPEGEncoderInfo>, {}},
    {&CLSID_TIFFEncoderInfo, &CLSID_TIFFEncoderInfo, u"TIFFEncoderInfo", u"Zentarix.TIFFEncoderInfo.1", u"Zentarix.TIFFEncoderInfo", u"TIFFEncoderInfo Class", true, &create_instance<encoding::TIFFEncoderInfo>, {}},
    {&CLSID_DrawingTool, &CLSID_DrawingTool, u"DrawingTool", u"Zentarix.DrawingTool.1", u"Zentarix.DrawingTool", u"DrawingTool Class", true, nullptr, {}},
    {&CLSID_DrawingPen, &CLSID_DrawingPen, u"DrawingPen", u"Zentarix.Pen.1", u"Zentarix.Pen", u"DrawingPen Class", true, nullptr, {}},
    {&CLSID_DrawingSolidBrush, &CLSID_DrawingSolidBrush, u"DrawingSolidBrush", u"Zentarix.SolidBrush.1", u"Zentarix.SolidBrush", u"SolidBrush Class", true, nullptr, {}},
    {&CLSID_DrawingHatchBrush, &CLSID_DrawingHatchBrush, u"DrawingHatchBrush", u"Zentarix.HatchBrush.1", u"Zentarix.HatchBrush", u"HatchBrush Class", true, nullptr, {}},
    {&CLSID_DrawingTextureBrush, &CLSID_DrawingTextureBrush, u"DrawingTextureBrush", u"Zentarix.TextureBrush.1", u"Zentarix.TextureBrush", u"TextureBrush Class", true, nullptr, {}},
    {&CLSID_TextInfo, &CLSID_TextInfo, u"TextInfo", u"Zentarix.TextInfo.1", u"Zentarix.TextInfo", u"TextInfo Class", true, nullptr, {}},
    {&CLSID_TransformTransparentize, &CLSID_TransformTransparentize, u"TransformTransparentize", u"Zentarix.TransformTransparentize.1", u"Zentarix.TransformTransparentize", u"TransformTransparentize Class", true, &create_instance<transforms::TransformTransparentize>, {}},
    {&CLSID_SWFEncoderInfo, &CLSID_SWFEncoderInfo, u"SWFEncoderInfo", u"Zentarix.SWFEncoderInfo.1", u"Zentarix.SWFEncoderInfo", u"SWFEncoderInfo Class", true, &create_instance<encoding::SWFEncoderInfo>, {}},
    {&CLSID_GIFEncoderInfo, &CLSID_GIFEncoderInfo, u"GIFEncoderInfo", u"Zentarix.GIFEncoderInfo.1", u"Zentarix.GIFEncoderInfo", u"GIFEncoderInfo Class", true, &create_instance<encoding::GIFEncoderInfo>, {}},
    {&CLSID_TransformFastBlur, &CLSID_TransformFastBlur, u"TransformFastBlur", u"Zentarix.TransformFastBl.1", u"Zentarix.TransformFastBlur", u"TransformFastBlur Class", true, &create_instance<transforms::TransformFastBlur>, {}},
    {&CLSID_TransformGlow, &CLSID_TransformGlow, u"TransformGlow", u"Zentarix.TransformGlow.1", u"Zentarix.TransformGlow", u"TransformGlow Class", true, &create_instance<transforms::TransformGlow>, {}},
    {&CLSID_TransformShadow, &CLSID_TransformShadow, u"TransformShadow", u"Zentarix.TransformShadow.1", u"Zentarix.TransformShadow", u"TransformShadow Class", true, &create_instance<transforms::TransformShadow>, {}},
    {&CLSID_TransformNoiseRemove, &CLSID_TransformNoiseRemove, u"TransformNoiseRemove", u"Zentarix.TransformNoiseRemove.1", u"Zentarix.TransformNoiseRemove", u"TransformNoiseRemove Class", true, &create_instance<transforms::TransformNoiseRemove>, {}},
    {&CLSID_TransformErosion, &CLSID_TransformErosion, u"TransformErosion", u"Zentarix.TransformErosio.1", u"Zentarix.TransformErosion", u"TransformErosion Class", true, &create_instance<transforms::TransformErosion>, {}},
    {&CLSID_TransformExpand, &CLSID_TransformExpand, u"TransformExpand", u"Zentarix.TransformExpand.1", u"Zentarix.TransformExpand", u"TransformExpand Class", true, &create_instance<transforms::TransformExpand>, {}},
    {&CLSID_BMPEncoderInfo, &CLSID_BMPEncoderInfo, u"BMPEncoderInfo", u"Zentarix.BMPEncoderInfo.1", u"Zentarix.BMPEncoderInfo", u"BMPEncoderInfo Class", true, &create_instance<encoding::BMPEncoderInfo>, {}},
    {&CLSID_EncoderManager, &CLSID_EncoderManager, u"EncoderManager", u"Zentarix.EncoderManager.1", u"Zentarix.EncoderManager", u"EncoderManager Class", false, &create_instance<encoding::EncoderManager>, {}},
    {&CLSID_EncoderJPEG, &CLSID_EncoderJPEG, u"EncoderJPEG", u"Zentarix.EncoderJPEG.1", u"Zentarix.EncoderJPEG", u"EncoderJPEG Class", false, &encoding::create_encoder_jpeg, kEncoderCategories},
    {&CLSID_EncoderBMP, &CLSID_EncoderBMP, u"EncoderBMP", u"Zentarix.EncoderBMP.1", u"Zentarix.EncoderBMP", u"EncoderBMP Class", false, &encoding::create_encoder_bmp, kEncoderCategories},
    {&CLSID_EncoderPNG, &CLSID_EncoderPNG, u"EncoderPNG", u"Zentarix.EncoderPNG.1", u"Zentarix.EncoderPNG", u"EncoderPNG Class", false, &encoding::create_encoder_png, kEncoderCategories},
    {&CLSID_EncoderTIFF, &CLSID_EncoderTIFF, u"EncoderTIFF", u"Zentarix.EncoderTIFF.1", u"Zentarix.EncoderTIFF", u"EncoderTIFF Class", false, &encoding::create_encoder_tiff, kEncoderCategories},
    {&CLSID_EncoderGIF, &CLSID_EncoderGIF, u"EncoderGIF", u"Zentarix.EncoderGIF.1", u"Zentarix.EncoderGIF", u"EncoderGIF Class", false, &encoding::create_encoder_gif, kEncoderCategories},
    {&CLSID_EncoderSWF, &CLSID_EncoderSWF, u"EncoderSWF", u"Zentarix.EncoderSWF.1", u"Zentarix.EncoderSWF", u"EncoderSWF Class", false, &encoding::create_encoder_swf, kEncoderCategories},
    {&CLSID_EncoderWBMP, &CLSID_EncoderWBMP, u"EncoderWBMP", u"Zentarix.EncoderWBMP.1", u"Zentarix.EncoderWBMP", u"EncoderWBMP Class", false, &encoding::create_encoder_wbmp, kEncoderCategories},
    {&CLSID_GUIDGen, &CLSID_GUIDGen, u"GUIDGen", u"Zentarix.GUIDGen.1", u"Zentarix.GUIDGen", u"GUIDGen Class", true, &create_instance<GUIDGen>, {}},
};
static_assert(std::size(kClasses) == 35);

}  // namespace

std::span<const ClassEntry> class_table() noexcept { return kClasses; }

}  // namespace zx::server
