// Zentarix GDI+ layer — MIT licence.
// The lcms2 adapter: embedded ICC profiles into sRGB and our own default CMYK profile.
#include "color_management.h"

#include <lcms2.h>

#include <algorithm>
#include <memory>

namespace zx::gdip::cms {
namespace {

struct ProfileCloser {
  void operator()(void* p) const { cmsCloseProfile(static_cast<cmsHPROFILE>(p)); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
struct TransformDeleter {
  void operator()(void* t) const { cmsDeleteTransform(static_cast<cmsHTRANSFORM>(t)); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;
struct PipelineDeleter {
  void operator()(cmsPipeline* p) const { cmsPipelineFree(p); }
};
using Pipeline = std::unique_ptr<cmsPipeline, PipelineDeleter>;
struct MluDeleter {
  void operator()(cmsMLU* m) const { cmsMLUfree(m); }
};
using Mlu = std::unique_ptr<cmsMLU, MluDeleter>;

Profile open_profile(std::span<const uint8_t> icc) {
  if (icc.size() < 132) return Profile{};  // shorter than an ICC header and tag count
  return Profile{cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()))};
}

// --- The default CMYK profile ---------------------------------------------------------------
// Files that carry CMYK without saying which press they were separated for need some profile.
// Freely licensed CMYK profiles are not available to us, so we build our own, in memory, from a
// simple ink model: each ink subtracts its primary linearly from sRGB white, black subtracts from
// all three (R = (1-C)(1-K), ...); the inverse uses 90% grey-component replacement. It is not a
// press characterisation, and it does not try to be: it makes unprofiled CMYK decode to colours
// a user recognises (white paper stays white, full black is black, pure inks are the sRGB
// secondaries) and round-trips sRGB through CMYK closely. This construction is our own work,
// under the project's MIT licence.
//
// Hazard: a v4 lutAtoB/lutBtoA holding only a CLUT cannot be serialised by lcms2 (the save
// writes nothing and later calls crash), so every CLUT sits between identity curve sets even
// though the profile never leaves memory.

struct Converters {
  cmsHTRANSFORM rgb_to_lab;
  cmsHTRANSFORM lab_to_rgb;
};

cmsInt32Number sample_cmyk_to_lab(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
  const auto* conv = static_cast<const Converters*>(cargo);
  const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
  const double rgb[3] = {(1 - c) * (1 - k), (1 - m) * (1 - k), (1 - y) * (1 - k)};
  cmsCIELab lab;
  cmsDoTransform(conv->rgb_to_lab, rgb, &lab, 1);
  cmsFloat2LabEncoded(out, &lab);
  return TRUE;
}

cmsInt32Number sample_lab_to_cmyk(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
  const auto* conv = static_cast<const Converters*>(cargo);
  cmsCIELab lab;
  cmsLabEncoded2Float(&lab, in);
  double rgb[3];
  cmsDoTransform(conv->lab_to_rgb, &lab, rgb, 1);
  for (double& v : rgb) v = std::clamp(v, 0.0, 1.0);
  const double k = (1.0 - std::max({rgb[0], rgb[1], rgb[2]})) * 0.9;
  double ink[4] = {0, 0, 0, k};
  if (k < 1.0) {
    for (int i = 0; i < 3; ++i) ink[i] = std::clamp((1.0 - rgb[i] - k) / (1.0 - k), 0.0, 1.0);
  }
  for (int i = 0; i < 4; ++i) out[i] = static_cast<cmsUInt16Number>(ink[i] * 65535.0 + 0.5);
  return TRUE;
}

Pipeline make_lut(cmsUInt32Number in_channels, cmsUInt32Number out_channels, cmsUInt32Number grid,
                  cmsSAMPLER16 sampler, Converters* conv) {
  Pipeline lut{cmsPipelineAlloc(nullptr, in_channels, out_channels)};
  if (!lut) return lut;
  cmsStage* pre = cmsStageAllocToneCurves(nullptr, in_channels, nullptr);  // null curves: identity
  cmsStage* clut = cmsStageAllocCLut16bit(nullptr, grid, in_channels, out_channels, nullptr);
  cmsStage* post = cmsStageAllocToneCurves(nullptr, out_channels, nullptr);
  bool ok = pre && clut && post && cmsStageSampleCLut16bit(clut, sampler, conv, 0);
  // Stages handed to the pipeline belong to it; the rest are freed here.
  if (ok) ok = cmsPipelineInsertStage(lut.get(), cmsAT_END, pre) && (pre = nullptr, true);
  if (ok) ok = cmsPipelineInsertStage(lut.get(), cmsAT_END, clut) && (clut = nullptr, true);
  if (ok) ok = cmsPipelineInsertStage(lut.get(), cmsAT_END, post) && (post = nullptr, true);
  if (pre) cmsStageFree(pre);
  if (clut) cmsStageFree(clut);
  if (post) cmsStageFree(post);
  if (!ok) lut.reset();
  return lut;
}

bool write_text_tag(cmsHPROFILE profile, cmsTagSignature sig, const wchar_t* text) {
  Mlu mlu{cmsMLUalloc(nullptr, 1)};
  return mlu && cmsMLUsetWide(mlu.get(), "en", "US", text) && cmsWriteTag(profile, sig, mlu.get());
}

Profile build_default_cmyk() {
  Profile lab{cmsCreateLab4Profile(nullptr)};  // D50, the profile connection space
  Profile srgb{cmsCreate_sRGBProfile()};
  if (!lab || !srgb) return Profile{};
  Transform to_lab{cmsCreateTransform(srgb.get(), TYPE_RGB_DBL, lab.get(), TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC,
                                      cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE)};
  Transform to_rgb{cmsCreateTransform(lab.get(), TYPE_Lab_DBL, srgb.get(), TYPE_RGB_DBL, INTENT_RELATIVE_COLORIMETRIC,
                                      cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE)};
  if (!to_lab || !to_rgb) return Profile{};
  Converters conv{to_lab.get(), to_rgb.get()};

  Profile profile{cmsCreateProfilePlaceholder(nullptr)};
  if (!profile) return profile;
  cmsHPROFILE p = profile.get();
  cmsSetProfileVersion(p, 4.3);
  cmsSetDeviceClass(p, cmsSigOutputClass);
  cmsSetColorSpace(p, cmsSigCmykData);
  cmsSetPCS(p, cmsSigLabData);
  cmsSetHeaderRenderingIntent(p, INTENT_PERCEPTUAL);

  Pipeline a2b = make_lut(4, 3, 17, sample_cmyk_to_lab, &conv);
  Pipeline b2a = make_lut(3, 4, 33, sample_lab_to_cmyk, &conv);
  // cmsWriteTag copies the pipeline, so one LUT serves all three intents.
  bool ok = a2b && b2a && write_text_tag(p, cmsSigProfileDescriptionTag, L"Zentarix default CMYK") &&
            write_text_tag(p, cmsSigCopyrightTag, L"No copyright, MIT licence (Zentarix)") &&
            cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
  for (cmsTagSignature sig : {cmsSigAToB0Tag, cmsSigAToB1Tag, cmsSigAToB2Tag}) ok = ok && cmsWriteTag(p, sig, a2b.get());
  for (cmsTagSignature sig : {cmsSigBToA0Tag, cmsSigBToA1Tag, cmsSigBToA2Tag}) ok = ok && cmsWriteTag(p, sig, b2a.get());
  if (!ok) profile.reset();
  return profile;
}

ColorTransform cmyk_transform(std::span<const uint8_t> icc, cmsUInt32Number in_format) {
  Profile embedded = open_profile(icc);
  cmsHPROFILE source = embedded.get();
  if (source && cmsGetColorSpace(source) != cmsSigCmykData) source = nullptr;
  if (!source) source = static_cast<cmsHPROFILE>(default_cmyk_profile());
  if (!source) return ColorTransform{};
  Profile srgb{cmsCreate_sRGBProfile()};
  if (!srgb) return ColorTransform{};
  // No alpha on the CMYK side: the caller writes the output alpha.
  return ColorTransform{cmsCreateTransform(source, in_format, srgb.get(), TYPE_BGRA_8, INTENT_PERCEPTUAL, 0)};
}

}  // namespace

ColorTransform::~ColorTransform() {
  if (m_handle) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(m_handle));
}

ColorTransform& ColorTransform::operator=(ColorTransform&& other) noexcept {
  if (this != &other) {
    if (m_handle) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(m_handle));
    m_handle = other.m_handle;
    other.m_handle = nullptr;
  }
  return *this;
}

void ColorTransform::apply(const void* in, void* out, size_t pixels) const {
  if (m_handle && pixels > 0)
    cmsDoTransform(static_cast<cmsHTRANSFORM>(m_handle), in, out, static_cast<cmsUInt32Number>(pixels));
}

ColorTransform rgb_profile_to_srgb(std::span<const uint8_t> icc) {
  Profile source = open_profile(icc);
  if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData) return ColorTransform{};
  Profile srgb{cmsCreate_sRGBProfile()};
  if (!srgb) return ColorTransform{};
  return ColorTransform{cmsCreateTransform(source.get(), TYPE_BGRA_8, srgb.get(), TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                           cmsFLAGS_COPY_ALPHA)};
}

ColorTransform cmyk_to_srgb(std::span<const uint8_t> icc, bool inverted) {
  return cmyk_transform(icc, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8);
}

ColorTransform cmyk16_to_srgb(std::span<const uint8_t> icc) { return cmyk_transform(icc, TYPE_CMYK_16); }

ColorTransform srgb_to_cmyk(std::span<const uint8_t> icc) {
  Profile given = open_profile(icc);
  if (!icc.empty() && (!given || cmsGetColorSpace(given.get()) != cmsSigCmykData)) return ColorTransform{};
  cmsHPROFILE target = given ? given.get() : static_cast<cmsHPROFILE>(default_cmyk_profile());
  if (!target) return ColorTransform{};
  Profile srgb{cmsCreate_sRGBProfile()};
  if (!srgb) return ColorTransform{};
  return ColorTransform{cmsCreateTransform(srgb.get(), TYPE_BGRA_8, target, TYPE_CMYK_8, INTENT_PERCEPTUAL,
                                           cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE)};
}

void* default_cmyk_profile() {
  // Built once (thread-safe static initialisation) and deliberately never closed: transforms made
  // from it may outlive any owner we could pick.
  static void* const profile = build_default_cmyk().release();
  return profile;
}

}  // namespace zx::gdip::cms
