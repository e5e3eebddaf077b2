// Zentarix — MIT licence.
// Empty dispatch tables for the IUnknown-based interfaces of the encoding classes.
#pragma once
#include <zxdispatch.h>

#include "zentarix.h"

// The encoder interfaces and IEncoderManager add no dispatchable member to IUnknown. The base
// template's IDispatch slots still need a table for them: an empty one, so that the IDispatch
// slots of IImageEncoder (which the base fills) find no member.
#define ZX_ENCODER_NO_DISPATCH(Interface)                                                                   \
  inline constexpr ZX_DISPATCH_TABLE zx_encoder_no_dispatch_##Interface = {&IID_##Interface, u## #Interface, \
                                                                           nullptr, 0};                    \
  template <>                                                                                              \
  struct zx::dispatch_table_of<Interface> {                                                                \
    static constexpr const ZX_DISPATCH_TABLE& value = zx_encoder_no_dispatch_##Interface;                  \
  }
ZX_ENCODER_NO_DISPATCH(IEncoderManager);
ZX_ENCODER_NO_DISPATCH(IEncoderJPEG);
ZX_ENCODER_NO_DISPATCH(IEncoderBMP);
ZX_ENCODER_NO_DISPATCH(IEncoderPNG);
ZX_ENCODER_NO_DISPATCH(IEncoderTIFF);
ZX_ENCODER_NO_DISPATCH(IEncoderGIF);
ZX_ENCODER_NO_DISPATCH(IEncoderSWF);
ZX_ENCODER_NO_DISPATCH(IEncoderWBMP);
#undef ZX_ENCODER_NO_DISPATCH
