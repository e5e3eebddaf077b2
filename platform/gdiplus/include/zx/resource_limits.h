// Zentarix GDI+ layer — MIT licence.
// How much one decode may allocate and how much work it may do, set by the host for the process.
#pragma once
#include "../gdiplustypes.h"

// A host that decodes files from strangers sets these once; every decode (loading a file or a
// stream, and decoding another frame of a loaded image) takes a copy when it starts. A decode that
// would go past one fails with OutOfMemory before it allocates the memory in question or does the
// work: a 48 kB PNG that declares 20000 x 20000 pixels is refused before anything of that size
// exists. The limits bound work by counting it (bytes, frames, directories, scans), never by time,
// so the same file gives the same answer on any machine. Every field must be non-zero; a host that
// wants no limit of its own on something passes the type's largest value.
struct ZX_GDIP_RESOURCE_LIMITS {
  // Width x height of one decoded image. Default 268,435,456 (16384 x 16384, a quarter of a
  // gigapixel, 1 GiB as 32-bit ARGB): about where web-facing image libraries draw the line.
  ULONGLONG maxPixels;
  // Bytes of one encoded file or stream read into memory. Default 1 GiB. A stream that never ends
  // is refused once it has given this much.
  ULONGLONG maxInputBytes;
  // Bytes one decode may produce on the way to its pixels: decompressed samples (TIFF strips and
  // tiles, libjpeg's coefficient buffers), and for GIF every frame's indices plus the canvas it
  // composites, saves and clears. Default 4 GiB.
  ULONGLONG maxDecodedBytes;
  // GIF frames one decode reads (counted or composited). Default 10,000.
  UINT maxFrames;
  // TIFF directories (pages) one decode walks. Default 10,000.
  UINT maxDirectories;
  // JPEG scans one decode reads: a progressive file may repeat empty scans over the whole image,
  // each costing a pass. Default 1,000 (real files use about ten).
  UINT maxScans;
  // One allocation inside libpng (an ancillary chunk, an inflated colour profile) or libtiff (tag
  // arrays, strip buffers). Default 64 MiB.
  ULONGLONG maxCodecAllocation;
};

extern "C" {
// Copies *limits into the process's limits (later decodes use them). InvalidParameter, with
// nothing changed, for a null pointer or a zero field.
ZX_API Gdiplus::Status WINAPI ZxGdipSetResourceLimits(const ZX_GDIP_RESOURCE_LIMITS* limits);
// The limits in force. InvalidParameter for a null pointer.
ZX_API Gdiplus::Status WINAPI ZxGdipGetResourceLimits(ZX_GDIP_RESOURCE_LIMITS* limits);
// The defaults described above. InvalidParameter for a null pointer.
ZX_API Gdiplus::Status WINAPI ZxGdipGetDefaultResourceLimits(ZX_GDIP_RESOURCE_LIMITS* limits);
}
