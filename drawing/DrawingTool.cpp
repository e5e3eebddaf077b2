// Zentarix — MIT licence.
// DrawingTool: creation, properties, the targets, Apply and Clear.
#include "DrawingTool.h"

#include <winbase.h>

#include "DrawingHatchBrush.h"
#include "DrawingMessages.h"
#include "DrawingPen.h"
#include "DrawingSolidBrush.h"
#include "DrawingTextureBrush.h"
#include "TextInfo.h"

namespace zx::drawing {

using namespace Gdiplus;

namespace {

// Runs under the fault guard: not noexcept.
Status draw_primitive(const Primitive& primitive, Graphics& graphics) { return primitive.draw(graphics); }

}  // namespace

DrawingTool::~DrawingTool() {
  m_primitives.clear();  // their GDI+ objects go before GDI+ does
  if (m_gdiplusStarted) GdiplusShutdown(m_gdiplusToken);
}

HRESULT DrawingTool::FinalConstruct() {
  GdiplusStartupInput input;
  if (const Status status = GdiplusStartup(&m_gdiplusToken, &input, nullptr); status != Ok)
    return report(server::GdiplusErrorMessage(status, messages::kDrawingTool, messages::kConstructor, 0),
                  server::ZX_E_GDIPLUS_STARTUP);
  m_gdiplusStarted = true;
  m_primitives.reserve(128);
  HRESULT hr = server::create_instance<DrawingPen>(nullptr, IID_IDrawingPen, m_pen.put_void());
  if (SUCCEEDED(hr)) hr = server::create_instance<TextInfo>(nullptr, IID_ITextInfo, m_textInfo.put_void());
  if (SUCCEEDED(hr)) hr = server::create_instance<DrawingSolidBrush>(nullptr, IID_IDispatch, m_brush.put_void());
  return hr;
}

HRESULT DrawingTool::report(const std::u16string& text, HRESULT hr) {
  return server::ReportError(CLSID_DrawingTool, text, IID_IDrawingTool, hr);
}

// ---- properties ----------------------------------------------------------------------------------

HRESULT DrawingTool::get_AntialiasingOn(VARIANT_BOOL* pVal) { return read(pVal, m_antialiasing); }
HRESULT DrawingTool::put_AntialiasingOn(VARIANT_BOOL newVal) { return store(m_antialiasing, newVal); }
HRESULT DrawingTool::get_hDC(LONG* pVal) { return read(pVal, m_hdc); }
HRESULT DrawingTool::put_hDC(LONG newVal) { return store(m_hdc, newVal); }
HRESULT DrawingTool::get_Unit(DrawingToolUnits* pVal) { return read(pVal, m_unit); }
HRESULT DrawingTool::put_Unit(DrawingToolUnits newVal) { return store(m_unit, newVal); }

HRESULT DrawingTool::get_DefaultPen(IDrawingPen** pVal) { return pVal ? m_pen.copy_to(pVal) : E_INVALIDARG; }

HRESULT DrawingTool::put_DefaultPen(IDrawingPen* newVal) {
  if (!newVal) return report(messages::kNothingPen, E_INVALIDARG);
  m_pen = ComPtr<IDrawingPen>(newVal);
  return S_OK;
}

HRESULT DrawingTool::get_DefaultBrush(IDispatch** pVal) { return pVal ? m_brush.copy_to(pVal) : E_INVALIDARG; }

HRESULT DrawingTool::put_DefaultBrush(IDispatch* newVal) {
  if (!newVal) return report(messages::kNothingBrush, E_INVALIDARG);
  static const IID* const kBrushes[] = {&IID_IDrawingSolidBrush, &IID_IDrawingHatchBrush, &IID_IDrawingTextureBrush};
  for (const IID* iid : kBrushes) {
    ComPtr<IUnknown> brush;
    if (SUCCEEDED(newVal->QueryInterface(*iid, brush.put_void()))) {
      m_brush = ComPtr<IDispatch>(newVal);
      return S_OK;
    }
  }
  return report(messages::kWrongDefaultBrush, E_INVALIDARG);
}

HRESULT DrawingTool::get_DefaultTextInfo(ITextInfo** pVal) {
  if (!pVal) return E_INVALIDARG;
  m_textInfo->put_Unit(m_unit);
  return m_textInfo.copy_to(pVal);
}

HRESULT DrawingTool::put_DefaultTextInfo(ITextInfo* newVal) {
  if (!newVal) return report(messages::kNothingTextInfo, E_INVALIDARG);
  m_textInfo = ComPtr<ITextInfo>(newVal);
  return S_OK;
}

HRESULT DrawingTool::put_RasterObject(IRasterObject* newVal) {
  if (!newVal) {
    m_raster.reset();
    return S_OK;
  }
  ComPtr<IRasterObjectInternal> internal;
  if (FAILED(newVal->QueryInterface(IID_IRasterObjectInternal, internal.put_void())))
    return report(messages::kCannotDrawImage, E_INVALIDARG);
  m_raster = std::move(internal);
  return S_OK;
}

// ---- targets -------------------------------------------------------------------------------------

Bitmap* DrawingTool::raster_bitmap() {
  LONG* bitmap = nullptr;
  if (!m_raster || FAILED(m_raster->GetDataPointer(&bitmap))) return nullptr;
  return reinterpret_cast<Bitmap*>(bitmap);
}

HRESULT DrawingTool::prepare(Graphics& graphics) {
  Unit unit;
  if (!gdiplus_unit(m_unit, &unit)) return report(messages::kWrongUnit, server::ZX_E_TRANSFORM_FAILED);
  graphics.SetPageUnit(unit);
  graphics.SetCompositingMode(CompositingModeSourceOver);
  if (m_antialiasing) {
    graphics.SetTextRenderingHint(TextRenderingHintAntiAlias);
    graphics.SetSmoothingMode(SmoothingModeHighQuality);
  } else {
    graphics.SetSmoothingMode(SmoothingModeHighSpeed);
    graphics.SetTextRenderingHint(TextRenderingHintSingleBitPerPixel);
  }
  return S_OK;
}

HRESULT DrawingTool::draw_on_targets(const Primitive& primitive) {
  // One target: its surface, then the primitive under the fault guard.
  auto drawOn = [&](Graphics& graphics, const OLECHAR* worker, const OLECHAR* faultMessage) -> HRESULT {
    if (const Status opened = graphics.GetLastStatus(); opened != Ok)
      return report(server::GdiplusErrorMessage(opened, messages::kDrawingTool, worker, GetLastError()), E_FAIL);
    if (const HRESULT hr = prepare(graphics); FAILED(hr)) return hr;
    const std::optional<Status> drawn = server::guarded_call(draw_primitive, primitive, graphics);
    if (!drawn) return report(faultMessage, E_FAIL);
    if (*drawn != Ok)
      return report(server::GdiplusErrorMessage(*drawn, messages::kDrawingTool, worker, GetLastError()), E_FAIL);
    graphics.Flush(FlushIntentionSync);
    return S_OK;
  };
  if (m_raster) {
    Bitmap* bitmap = raster_bitmap();
    if (!bitmap) return report(messages::kCannotDrawImage, E_FAIL);
    Graphics graphics(bitmap);
    if (const HRESULT hr = drawOn(graphics, messages::kAddToRaster, messages::kCannotDrawImage); FAILED(hr)) return hr;
  }
  if (m_hdc != 0) {
    Graphics graphics(static_cast<HDC>(m_hdc));
    if (const HRESULT hr = drawOn(graphics, messages::kAddToHdc, messages::kCannotDrawHdc); FAILED(hr)) return hr;
  }
  return S_OK;
}

// ---- Apply and Clear -----------------------------------------------------------------------------

HRESULT DrawingTool::Apply(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) {
  return server::com_call([&] {
    // Draws on the converted input itself and hands it back as the result.
    auto worker = [&](Bitmap* image, Bitmap** result) -> HRESULT {
      *result = image;
      // The defaults must convert, as they would for a primitive recorded now.
      TextSettings text;
      if (convert_text(m_textInfo.get(), &text) != Ok)
        return report(transforms::with_support(messages::kApplyWrongTextInfo), E_FAIL);
      std::unique_ptr<Pen> pen;
      if (!convert_pen(m_pen.get(), &pen))
        return report(transforms::with_support(messages::kApplyWrongPen), E_FAIL);
      std::unique_ptr<Brush> brush;
      switch (convert_brush(m_brush.get(), &brush)) {
        case BrushResult::Made: break;
        case BrushResult::NoTexture: return report(messages::kTextureNotLoaded, E_INVALIDARG);
        default: return report(transforms::with_support(messages::kApplyWrongBrush), E_FAIL);
      }
      Graphics graphics(image);
      if (const Status opened = graphics.GetLastStatus(); opened != Ok)
        return transforms::report_gdiplus(kIdentity, opened, server::ZX_E_TRANSFORM_FAILED);
      if (const HRESULT hr = prepare(graphics); FAILED(hr)) return hr;
      for (const auto& primitive : m_primitives) {
        const std::optional<Status> drawn = server::guarded_call(draw_primitive, *primitive, graphics);
        if (!drawn || *drawn == GenericError) return report(messages::kTextRendering, server::ZX_E_TRANSFORM_FAILED);
        if (*drawn != Ok) return transforms::report_gdiplus(kIdentity, *drawn, server::ZX_E_TRANSFORM_FAILED);
      }
      return S_OK;
    };
    return transforms::apply_through_arrays(kIdentity, messages::kApplyTo, messages::kApplyFrom, InputArray,
                                            OutputArray, transforms::WorkerRef(worker));
  });
}

HRESULT DrawingTool::Clear(LONG BackgroundColor) {
  return server::com_call([&] {
    m_primitives.clear();
    m_primitives.shrink_to_fit();
    m_primitives.reserve(128);
    const Color colour(static_cast<ARGB>(BackgroundColor));
    if (m_raster) {
      Bitmap* bitmap = raster_bitmap();
      if (!bitmap) return report(messages::kCannotClearImage, E_FAIL);
      Graphics graphics(bitmap);
      if (graphics.GetLastStatus() != Ok || graphics.Clear(colour) != Ok)
        return report(messages::kCannotClearImage, E_FAIL);
      graphics.Flush(FlushIntentionSync);
    }
    if (m_hdc != 0) {
      Graphics graphics(static_cast<HDC>(m_hdc));
      if (graphics.GetLastStatus() != Ok || graphics.Clear(colour) != Ok)
        return report(messages::kCannotClearHdc, E_FAIL);
      graphics.Flush(FlushIntentionSync);
    }
    return S_OK;
  });
}

}  // namespace zx::drawing
