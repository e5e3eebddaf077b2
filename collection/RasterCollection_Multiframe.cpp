// Zentarix — MIT licence.
// RasterCollection's multi-frame files: counting frames, loading them as layers, saving layers as frames.
#include <oleauto.h>

#include <string_view>
#include <vector>

#include "CollectionMessages.h"
#include "ErrorReporting.h"
#include "RasterCollection.h"
#include "TiffPages.h"

namespace zx::collection {
namespace msg = messages;
using server::ReportError;

// ---- counting -----------------------------------------------------------------------------------

struct FrameDimensions {
  std::vector<GUID> ids;
  std::vector<UINT> counts;
};

namespace {

Gdiplus::Status frame_dimensions(Gdiplus::Image& image, FrameDimensions* out) {
  const UINT n = image.GetFrameDimensionsCount();
  if (Gdiplus::Status status = image.GetLastStatus(); status != Gdiplus::Ok) return status;
  out->ids.resize(n);
  if (n == 0) return Gdiplus::Ok;
  if (Gdiplus::Status status = image.GetFrameDimensionsList(out->ids.data(), n); status != Gdiplus::Ok) return status;
  for (const GUID& id : out->ids) {
    out->counts.push_back(image.GetFrameCount(&id));
    if (Gdiplus::Status status = image.GetLastStatus(); status != Gdiplus::Ok) return status;
  }
  return Gdiplus::Ok;
}

}  // namespace

HRESULT RasterCollection::frames_of(Gdiplus::Bitmap& image, LPCOLESTR method, FrameDimensions* dimensions) {
  if (Gdiplus::Status status = image.GetLastStatus(); status != Gdiplus::Ok) return report_gdiplus(status, method);
  if (Gdiplus::Status status = frame_dimensions(image, dimensions); status != Gdiplus::Ok)
    return report_gdiplus(status, method);
  return dimensions->ids.empty() ? report(msg::kNoPages, E_FAIL) : S_OK;
}

HRESULT RasterCollection::GetFramesCount(BSTR FileName, LONG* Count) {
  if (!Count) return E_POINTER;
  *Count = -1;
  return server::com_call([&] {
    TiffPages tiff;
    if (tiff.open(FileName)) {
      *Count = tiff.count();
      return S_OK;
    }
    Gdiplus::Bitmap bitmap(FileName);
    FrameDimensions dimensions;
    if (HRESULT hr = frames_of(bitmap, msg::kGetFramesCountMethod, &dimensions); FAILED(hr)) return hr;
    LONG total = 0;
    for (UINT n : dimensions.counts) total += static_cast<LONG>(n);
    *Count = total;
    return S_OK;
  });
}

// ---- loading ------------------------------------------------------------------------------------

HRESULT RasterCollection::add_frame(std::unique_ptr<Gdiplus::Bitmap> bitmap) {
  ComPtr<IRasterItem> item;
  HRESULT hr = Add(-1, item.put());
  if (FAILED(hr)) return hr;
  const FLOAT dpiX = bitmap->GetHorizontalResolution(), dpiY = bitmap->GetVerticalResolution();
  ComPtr<IRasterObjectInternal> internal;
  hr = static_cast<RasterItem*>(item.get())->inner()->QueryInterface(IID_IRasterObjectInternal, internal.put_void());
  if (FAILED(hr)) return hr;
  internal->SetDataPointer(reinterpret_cast<LONG*>(bitmap.release()));
  item->put_HorizontalResolution(dpiX);
  item->put_VerticalResolution(dpiY);
  item->put_OutputFileType(oftJPEG);
  return S_OK;
}

HRESULT RasterCollection::LoadMultiframeImage(BSTR FileName, VARIANT_BOOL ClearBeforeLoad, INT Index) {
  LONG frames = -1;
  HRESULT hr = GetFramesCount(FileName, &frames);
  if (FAILED(hr)) return hr;
  if (Index >= frames) return report(msg::kIndexOutOfFrames, E_INVALIDARG);
  return server::com_call([&] {
    TiffPages tiff;
    if (tiff.open(FileName)) return load_tiff_pages(tiff, ClearBeforeLoad != 0, Index);
    return load_frames(FileName, ClearBeforeLoad != 0, Index);
  });
}

// One page by its number, or every page from the first until one cannot be read.
HRESULT RasterCollection::load_tiff_pages(TiffPages& pages, bool clearBefore, INT index) {
  if (clearBefore) clear();
  if (index >= 0) {
    std::unique_ptr<Gdiplus::Bitmap> page = pages.read_page(index);
    if (!page) return report(msg::kCannotReadTiff, S_OK);
    return add_frame(std::move(page));
  }
  for (std::unique_ptr<Gdiplus::Bitmap> page = pages.read_page(0); page; page = pages.read_next()) {
    HRESULT hr = add_frame(std::move(page));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Frames are numbered from 0 across every frame dimension in list order.
HRESULT RasterCollection::load_frames(BSTR fileName, bool clearBefore, INT index) {
  Gdiplus::Bitmap bitmap(fileName);
  FrameDimensions dimensions;
  if (HRESULT hr = frames_of(bitmap, msg::kLoadMethod, &dimensions); FAILED(hr)) return hr;
  if (clearBefore) clear();
  LONG number = 0;
  for (size_t d = 0; d < dimensions.ids.size(); ++d) {
    for (UINT frame = 0; frame < dimensions.counts[d]; ++frame, ++number) {
      if (index >= 0 && number != index) continue;
      Gdiplus::Status status = bitmap.SelectActiveFrame(&dimensions.ids[d], frame);
      const UINT width = status == Gdiplus::Ok ? bitmap.GetWidth() : 0;
      const UINT height = status == Gdiplus::Ok ? bitmap.GetHeight() : 0;
      std::unique_ptr<Gdiplus::Bitmap> copy;
      if (status == Gdiplus::Ok) {
        copy.reset(bitmap.Clone(0, 0, static_cast<INT>(width), static_cast<INT>(height), Gdiplus::PixelFormat32bppARGB));
        status = copy->GetLastStatus();
      }
      if (status != Gdiplus::Ok) return report_gdiplus(status, msg::kLoadMethod);
      HRESULT hr = add_frame(std::move(copy));
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

// ---- saving -------------------------------------------------------------------------------------

namespace {

// What EncoderInfo asks for: the encoder's MIME type, the frame dimension of later frames and,
// from a TIFFEncoderInfo, the compression and depth.
struct SaveFormat {
  const OLECHAR* mimeType = nullptr;
  LONG dimension = 0;
  bool tiffSettings = false;
  LONG compression = 0;
  LONG depth = 0;
};

bool integer_type(VARTYPE vt) {
  return vt == VT_I2 || vt == VT_I4 || vt == VT_I1 || vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4;
}

// The first GDI+ encoder with that MIME type, or GUID_NULL.
CLSID encoder_for(std::u16string_view mimeType) {
  UINT count = 0, size = 0;
  if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return GUID_NULL;
  std::vector<uint8_t> block(size);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.data());
  if (Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) return GUID_NULL;
  for (UINT i = 0; i < count; ++i)
    if (codecs[i].MimeType && mimeType == codecs[i].MimeType) return codecs[i].Clsid;
  return GUID_NULL;
}

// Sets FrameDelay (one Long, hundredths of a second) on a frame about to be written.
void set_frame_delay(Gdiplus::Bitmap* bitmap, LONG delay) {
  Gdiplus::PropertyItem item{Gdiplus::PropertyTagFrameDelay, sizeof(LONG), Gdiplus::PropertyTagTypeLong, &delay};
  bitmap->SetPropertyItem(&item);
}

// The open file on the first frame, abandoned unless it was flushed: a failing SaveAdd abandons
// it, so no half-made file is ever written and nothing stays held by the bitmap.
class OpenFile {
 public:
  explicit OpenFile(Gdiplus::Bitmap* first) : m_first(first) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (!m_open) return;
    m_first->SaveAdd(nullptr);
    m_first->GetLastStatus();  // the abandoning call's own status is no error of the bitmap's
  }
  Gdiplus::Status flush(Gdiplus::EncoderParameters* params, LONG* flag) {
    m_open = false;
    *flag = Gdiplus::EncoderValueFlush;
    return m_first->SaveAdd(params);
  }

 private:
  Gdiplus::Bitmap* m_first;
  bool m_open = true;
};

}  // namespace

HRESULT RasterCollection::SaveMultiframeImage(BSTR FileName, VARIANT EncoderInfo, VARIANT_BOOL IgnoreVisibleProperty) {
  return server::com_call([&] {
    Variant info;
    HRESULT hr = VariantCopyInd(&info, &EncoderInfo);
    if (FAILED(hr)) return hr;
    SaveFormat format;
    if (integer_type(V_VT(&info))) {
      Variant value;
      VariantChangeType(&value, &info, 0, VT_I4);
      if (V_I4(&value) == oftTIFF) {
        format = {u"image/tiff", Gdiplus::EncoderValueFrameDimensionPage};
      } else if (V_I4(&value) == oftGIF) {
        format = {u"image/gif", Gdiplus::EncoderValueFrameDimensionTime};
      } else {
        return report(msg::kOnlyTiffAndGif, E_INVALIDARG);
      }
    } else if (V_VT(&info) == VT_DISPATCH || V_VT(&info) == VT_UNKNOWN) {
      ComPtr<ITIFFEncoderInfo> settings;
      hr = V_UNKNOWN(&info) ? V_UNKNOWN(&info)->QueryInterface(IID_ITIFFEncoderInfo, settings.put_void()) : E_POINTER;
      if (FAILED(hr)) return report(msg::kOnlyTiffEncoderInfo, hr);
      TIFFCompressionTypes compression = tctNone;
      ColorDepths depth = cd24bpp;
      ColorSpaces space = csRGB;
      if (FAILED(hr = settings->get_CompressionType(&compression)) || FAILED(hr = settings->get_ColorDepth(&depth)) ||
          FAILED(hr = settings->get_ColorSpace(&space)))
        return hr;
      if (space != csRGB) {
        Bstr profile;  // read as the settings object expects; the multi-frame road writes RGB only
        if (FAILED(hr = settings->get_ICCProfileFilename(profile.put()))) return hr;
      }
      format = {u"image/tiff", Gdiplus::EncoderValueFrameDimensionPage, true};
      if (compression == tctNone) format.compression = Gdiplus::EncoderValueCompressionNone;
      else if (compression == tctLZW) format.compression = Gdiplus::EncoderValueCompressionLZW;
      else return E_INVALIDARG;
      if (depth == cd24bpp) format.depth = 24;
      else if (depth == cd32bpp) format.depth = 32;
      else return E_INVALIDARG;
    } else {
      return report(msg::kEncoderInfoType, E_INVALIDARG);
    }
    const CLSID encoder = encoder_for(format.mimeType);
    if (encoder == GUID_NULL) return report_gdiplus(Gdiplus::UnknownImageFormat, msg::kSaveMethod);

    // The parameter block: the save flag first, then the TIFF settings when there are any.
    LONG flag = Gdiplus::EncoderValueMultiFrame;
    std::vector<uint8_t> block(sizeof(Gdiplus::EncoderParameters) + 2 * sizeof(Gdiplus::EncoderParameter));
    auto* params = reinterpret_cast<Gdiplus::EncoderParameters*>(block.data());
    params->Count = format.tiffSettings ? 3 : 1;
    params->Parameter[0] = {Gdiplus::EncoderSaveFlag, 1, Gdiplus::EncoderParameterValueTypeLong, &flag};
    if (format.tiffSettings) {
      params->Parameter[1] = {Gdiplus::EncoderCompression, 1, Gdiplus::EncoderParameterValueTypeLong, &format.compression};
      params->Parameter[2] = {Gdiplus::EncoderColorDepth, 1, Gdiplus::EncoderParameterValueTypeLong, &format.depth};
    }

    const bool allItems = IgnoreVisibleProperty != 0;
    const auto saved = [&](const ComPtr<RasterItem>& item) {
      VARIANT_BOOL visible = 0;
      item->get_IsVisible(&visible);
      return allItems || visible != 0;
    };
    size_t first = 0;
    while (first < m_items.size() && !saved(m_items[first])) ++first;
    if (first == m_items.size()) return ReportError(CLSID_RasterCollection, msg::kNothingToSave, IID_IRasterCollection);

    // Every frame, the first included, shows for one second. The first frame's delay is set
    // before it is written, so that a GIF's first frame carries it too.
    constexpr LONG kFrameDelay = 100;
    Gdiplus::Bitmap* firstBitmap = nullptr;
    if (FAILED(hr = m_items[first]->inner_bitmap(&firstBitmap))) return hr;
    if (firstBitmap) {
      if (Gdiplus::Status pending = firstBitmap->GetLastStatus(); pending != Gdiplus::Ok)
        return report_gdiplus(pending, msg::kSaveMethod);
      set_frame_delay(firstBitmap, kFrameDelay);
    }
    // A failed save or add is reported here and taken off the first bitmap's pending status, so
    // that the next save of the same layers does not fail for it again.
    const auto failed = [&](Gdiplus::Status status) {
      firstBitmap->GetLastStatus();
      return report_gdiplus(status, msg::kSaveMethod);
    };
    Gdiplus::Status status = firstBitmap ? firstBitmap->Save(FileName, &encoder, params) : Gdiplus::InvalidParameter;
    if (status != Gdiplus::Ok) return firstBitmap ? failed(status) : report_gdiplus(status, msg::kSaveMethod);
    OpenFile file(firstBitmap);

    flag = format.dimension;
    for (size_t i = first + 1; i < m_items.size(); ++i) {
      if (!saved(m_items[i])) continue;
      Gdiplus::Bitmap* bitmap = nullptr;
      if (FAILED(hr = m_items[i]->inner_bitmap(&bitmap))) return hr;
      if (bitmap) {
        if (Gdiplus::Status pending = bitmap->GetLastStatus(); pending != Gdiplus::Ok)
          return report_gdiplus(pending, msg::kSaveMethod);
        set_frame_delay(bitmap, kFrameDelay);
      }
      status = firstBitmap->SaveAdd(bitmap, params);
      if (status != Gdiplus::Ok) return failed(status);
    }
    // Only now is the file written; a failure here (a full disk) is reported, not lost.
    status = file.flush(params, &flag);
    return status == Gdiplus::Ok ? S_OK : failed(status);
  });
}

}  // namespace zx::collection
