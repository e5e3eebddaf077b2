// Zentarix — MIT licence.
// DrawingTool: records lines, curves, shapes and text and draws them on a raster object, a device
// context, or any image passed through Apply.
#pragma once
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "ComObject.h"
#include "Primitives.h"
#include "TransformFrame.h"
#include "zentarix.h"

namespace zx::drawing {

// Each Set* call checks its arguments, makes the primitive with a GDI+ pen and brush made from the
// settings objects of that moment, and draws it at once on every target that is set; only when all
// of that succeeds does the primitive join the list (a failing call leaves the list as it was).
// Apply draws the whole list on a copy of the image it is given. Failures are reported naming
// CLSID_DrawingTool and IID_IDrawingTool.
//
// The raster target is the raster object itself (a reference is held), asked for its bitmap at each
// drawing, so a raster object that loads another image while attached is drawn on in its new image.
class DrawingTool : public server::ComObject<DrawingTool, IDrawingTool> {
 public:
  static constexpr transforms::TransformIdentity kIdentity{CLSID_DrawingTool, IID_IDrawingTool, u"DrawingTool",
                                                           u"Apply"};

  DrawingTool() noexcept = default;
  ~DrawingTool() override;
  // Starts GDI+ (failure: the GDI+ message naming "constructor", 0xE0000201) and makes the default
  // pen, text info and solid brush.
  HRESULT FinalConstruct();

  STDMETHOD(Apply)(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) override;
  STDMETHOD(get_AntialiasingOn)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_AntialiasingOn)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_DefaultPen)(IDrawingPen** pVal) override;
  STDMETHOD(put_DefaultPen)(IDrawingPen* newVal) override;
  STDMETHOD(get_DefaultBrush)(IDispatch** pVal) override;
  STDMETHOD(put_DefaultBrush)(IDispatch* newVal) override;
  STDMETHOD(SetEllipseViaRect)(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT Angle,
                               VARIANT_BOOL IsFilled, IDispatch* DrawingPen, IDispatch* DrawingBrush) override;
  STDMETHOD(SetEllipseViaRadius)(FLOAT CenterX, FLOAT CenterY, FLOAT HorizontalRadius, FLOAT VerticalRadius,
                                 FLOAT Angle, VARIANT_BOOL IsFilled, IDispatch* DrawingPen,
                                 IDispatch* DrawingBrush) override;
  STDMETHOD(SetLine)(FLOAT X1, FLOAT Y1, FLOAT X2, FLOAT Y2, IDispatch* DrawingPen) override;
  STDMETHOD(SetRectangle)(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT Angle,
                          VARIANT_BOOL IsFilled, IDispatch* DrawingPen, IDispatch* DrawingBrush) override;
  STDMETHOD(SetBezierSpline)(FLOAT StartX, FLOAT StartY, FLOAT Control1X, FLOAT Control1Y, FLOAT Control2X,
                             FLOAT Control2Y, FLOAT EndX, FLOAT EndY, IDispatch* DrawingPen) override;
  STDMETHOD(SetPolyline)(VARIANT PointsArray, IDispatch* DrawingPen) override;
  STDMETHOD(SetPolygon)(VARIANT PointsArray, VARIANT_BOOL IsFilled, FillModes FillingOption, IDispatch* DrawingPen,
                        IDispatch* DrawingBrush) override;
  STDMETHOD(SetOpenedCurve)(VARIANT PointsArray, FLOAT Tension, IDispatch* DrawingPen) override;
  STDMETHOD(SetClosedCurve)(VARIANT PointsArray, FLOAT Tension, VARIANT_BOOL IsFilled, FillModes FillingOption,
                            IDispatch* DrawingPen, IDispatch* DrawingBrush) override;
  STDMETHOD(SetArcViaRectAndVectors)(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT X1, FLOAT Y1,
                                     FLOAT X2, FLOAT Y2, IDispatch* DrawingPen) override;
  STDMETHOD(SetArcViaRectAndAngles)(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT StartAngle,
                                    FLOAT SweepAngle, IDispatch* DrawingPen) override;
  STDMETHOD(SetPieViaRectAndVectors)(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT X1, FLOAT Y1,
                                     FLOAT X2, FLOAT Y2, VARIANT_BOOL IsFilled, IDispatch* DrawingPen,
                                     IDispatch* DrawingBrush) override;
  STDMETHOD(SetPieViaRectAndAngles)(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT StartAngle,
                                    FLOAT SweepAngle, VARIANT_BOOL IsFilled, IDispatch* DrawingPen,
                                    IDispatch* DrawingBrush) override;
  STDMETHOD(SetText)(BSTR Text, FLOAT X, FLOAT Y, FLOAT Angle, IDispatch* DrawingFont,
                     IDispatch* DrawingBrush) override;
  STDMETHOD(get_DefaultTextInfo)(ITextInfo** pVal) override;
  STDMETHOD(put_DefaultTextInfo)(ITextInfo* newVal) override;
  STDMETHOD(Clear)(LONG BackgroundColor) override;
  STDMETHOD(get_hDC)(LONG* pVal) override;
  STDMETHOD(put_hDC)(LONG newVal) override;
  STDMETHOD(put_RasterObject)(IRasterObject* newVal) override;
  STDMETHOD(get_Unit)(DrawingToolUnits* pVal) override;
  STDMETHOD(put_Unit)(DrawingToolUnits newVal) override;

 private:
  static HRESULT report(const std::u16string& text, HRESULT hr);
  // Steps 3 to 6 of every Set* call but SetText, and the drawing on the targets.
  HRESULT record(const OLECHAR* cannotAdd, bool fillable, IDispatch* pen, IDispatch* brush, VARIANT_BOOL filled,
                 ShapeGeometry geometry);
  // Point lists: the parsed points, or the report of why there are none.
  HRESULT points(const VARIANT& array, bool polyline, size_t minimum, std::vector<Gdiplus::PointF>* out);
  HRESULT make_brush(IDispatch* given, std::unique_ptr<Gdiplus::Brush>* out);
  // Draws on the raster object and the device context that are set; S_OK when neither is.
  HRESULT draw_on_targets(const Primitive& primitive);
  // Page unit, compositing and quality as every drawing sets them ("Wrong unit!" for no unit).
  HRESULT prepare(Gdiplus::Graphics& graphics);
  // The raster target's bitmap, null without one.
  Gdiplus::Bitmap* raster_bitmap();

  std::vector<std::unique_ptr<Primitive>> m_primitives;
  VARIANT_BOOL m_antialiasing = 1;
  ComPtr<IDrawingPen> m_pen;
  ComPtr<ITextInfo> m_textInfo;
  ComPtr<IDispatch> m_brush;
  LONG m_hdc = 0;
  ComPtr<IRasterObjectInternal> m_raster;
  DrawingToolUnits m_unit = dtuPixel;
  ULONG_PTR m_gdiplusToken = 0;
  bool m_gdiplusStarted = false;
};

}  // namespace zx::drawing
