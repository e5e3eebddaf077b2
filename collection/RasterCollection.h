// Zentarix — MIT licence.
// RasterCollection: an ordered stack of RasterItem layers, flattened by Combine or exchanged with multi-frame files.
#pragma once
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "ComObject.h"
#include "RasterItem.h"
#include "zentarix.h"

namespace zx::collection {

struct FrameDimensions;

// The class is split by behaviour: the stack, lookups and Combine (RasterCollection.cpp), and the
// multi-frame files (RasterCollection_Multiframe.cpp). Failures are reported with the class
// RasterCollection and the interface IRasterCollection unless a member says otherwise.
class RasterCollection : public server::ComObject<RasterCollection, IRasterCollection> {
 public:
  RasterCollection() noexcept;
  ~RasterCollection() override;

  HRESULT FinalConstruct();  // starts GDI+

  // ---- IRasterCollection ----
  // The item an Index names (see find), with a new reference. Any failure, a null pointer included
  // (E_POINTER), is reported as "Cannot get access to the item..." with the failure's HRESULT.
  STDMETHOD(get_Item)(VARIANT Index, IRasterItem** pVal) override;
  // An enumerator over the items as they are now, each delivered as VT_DISPATCH (an IRasterItem),
  // so that a script's For Each walks the layers in order.
  STDMETHOD(get__NewEnum)(IUnknown** pVal) override;
  STDMETHOD(get_Count)(LONG* pVal) override;
  // A new item with the first free key "RasterObjectN" counting from Count, inserted at Index
  // (anything outside 0 .. Count - 1 appends); the Index fields from there on are renumbered.
  STDMETHOD(Add)(LONG Index, IRasterItem** pVal) override;
  // Takes the item out (it lives on while a client holds it, without a parent and with Index 0).
  // Lookup failures are returned unchanged, with the collection error for the collection codes.
  STDMETHOD(Remove)(VARIANT Index) override;
  // NewIndex outside 0 .. Count - 1: E_INVALIDARG without a report, before the lookup. The items
  // between the two positions shift by one; their Index fields are renumbered.
  STDMETHOD(Move)(VARIANT Index, LONG NewIndex) override;
  // Item 0 is the background (its mode, opacity and offsets are never used); every later visible
  // item with an image is drawn onto it by its mode's combine kernel. Result untouched on failure.
  STDMETHOD(Combine)(IRasterObject** Result) override;
  STDMETHOD(get_BackgroundColor)(LONG* pVal) override;
  STDMETHOD(put_BackgroundColor)(LONG newVal) override;
  // Multi-frame files (RasterCollection_Multiframe.cpp). TIFF files are read with libtiff, every
  // other format through the GDI+ decoders and their frame dimensions; saving goes through the
  // GDI+ TIFF or GIF encoder.
  STDMETHOD(LoadMultiframeImage)(BSTR FileName, VARIANT_BOOL ClearBeforeLoad, INT Index) override;
  STDMETHOD(SaveMultiframeImage)(BSTR FileName, VARIANT EncoderInfo, VARIANT_BOOL IgnoreVisibleProperty) override;
  // *Count is -1 until the count is known; E_POINTER for a null pointer.
  STDMETHOD(GetFramesCount)(BSTR FileName, LONG* Count) override;

  // Whether a lookup by this key (as VT_BSTR) finds an item: a key match, or a number naming a
  // position. Used by an item's key setter.
  bool finds(BSTR key) const;

 private:
  // The position Index names: VT_I4 a position; VT_BSTR the item with that key, else the text as a
  // number naming a position (E_POINTER for a null string); VT_DISPATCH the object's default value,
  // looked up in turn; VT_NULL 0xA0000066; anything else converted to VT_I4. Positions outside the
  // stack give 0xA0000038, a key that is no number 0xA0000039. References are followed first. No
  // report is made here.
  HRESULT find(const VARIANT& index, size_t* position, int depth = 0) const;
  // find, with the collection error recorded for the collection's own codes.
  HRESULT find_reported(const VARIANT& index, size_t* position) const;
  // Numbers Index fields from position `from` to `to` (inclusive) after a change.
  void renumber(size_t from, size_t to) noexcept;
  // Takes every item out, as Remove does.
  void clear() noexcept;
  // Adds a new item at the end holding bitmap (owned from then on) with its resolutions and the
  // output file type oftJPEG: how a loaded frame becomes a layer.
  HRESULT add_frame(std::unique_ptr<Gdiplus::Bitmap> bitmap);
  // The frame dimensions of an image GDI+ decoded, with their frame counts; a failed decode, or an
  // image without frame dimensions ("No pages are present here!"), is reported for method.
  static HRESULT frames_of(Gdiplus::Bitmap& image, LPCOLESTR method, FrameDimensions* dimensions);
  // The multi-frame loaders, after the frame count was checked.
  HRESULT load_tiff_pages(class TiffPages& pages, bool clearBefore, INT index);
  HRESULT load_frames(BSTR fileName, bool clearBefore, INT index);
  static HRESULT report(const std::u16string& description, HRESULT hr) noexcept;
  static HRESULT report(LPCOLESTR description, HRESULT hr) noexcept;
  static HRESULT report_gdiplus(Gdiplus::Status status, LPCOLESTR method, LPCOLESTR object = nullptr) noexcept;

  ULONG_PTR m_gdiplusToken = 0;
  bool m_gdiplusStarted = false;
  std::vector<ComPtr<RasterItem>> m_items;  // in position order; one reference each
  LONG m_backgroundColor = -1;              // opaque white
};

}  // namespace zx::collection
