// Zentarix — MIT licence.
// The innermost loops of the neighbourhood and colour effects, over one row of bytes or pixels at a time.
//
// Hazard: this file is compiled without -fnon-call-exceptions. With it, GCC treats every load as
// a possible throw and vectorises none of these loops; without it, a machine fault inside one of
// them unwinds straight through its frame (which has no cleanups and no handler, so it needs none)
// to the kernel that called it, where the guard's translation is caught as everywhere else. So the
// functions here must stay leaves: plain loops over the pointers given, no allocation, no objects
// with destructors, no calls.
#pragma once
#include <cstdint>

namespace zx::effects::kernels::loops {

// Rows of n bytes (B, G, R, A per pixel): t, m and b the rows above, at and below, each readable
// from 4 bytes before its first byte to 4 bytes after its last (one repeated pixel each side).

// d = m + (strength * (16 m - binomial)) >> 8, clamped: the unsharp mask.
void sharpen(const uint8_t* t, const uint8_t* m, const uint8_t* b, int n, int strength, uint8_t* d);
// d = m + ((binomial - 16 m) * weight) >> 12, clamped; weight per byte, 0..256.
void soften(const uint8_t* t, const uint8_t* m, const uint8_t* b, const int16_t* weight, int n, uint8_t* d);

// The horizontal passes of the Sobel operators over one padded row r (readable 2R pixels beyond
// both ends): derivative into across, smoothing into along. 3: (-1 0 1), (1 2 1); 5: (-1 -2 0 2 1),
// (1 4 6 4 1).
void sobel3_across(const uint8_t* r, int n, int16_t* across, int16_t* along);
void sobel5_across(const uint8_t* r, int n, int16_t* across, int16_t* along);
// The vertical passes and the magnitude |gx| + |gy| over the divisor, clamped to 255: a[k] and
// l[k] are the horizontal passes of the rows from the top of the window down.
void sobel3_magnitude(const int16_t* const a[3], const int16_t* const l[3], int n, uint8_t* d);
void sobel5_magnitude(const int16_t* const a[5], const int16_t* const l[5], int n, uint8_t* d);

// The luma of each pixel of s, with one repeated pixel before and after (width + 2 values).
void luma_padded(const uint32_t* s, int width, int16_t* out);
// From a padded luma row: the smallest and largest of each pixel's three horizontal neighbours.
void extremes(const int16_t* padded, int width, int16_t* lows, int16_t* highs);
// The antialiasing weight of each byte: (spread - 24) / 72 in 256ths, clamped to 0..256, the
// spread being the largest high minus the smallest low over the three rows, repeated four times.
void soften_weights(const int16_t* const lows[3], const int16_t* const highs[3], int width, int16_t* weight);
// The emboss of one row from the padded lumas of the rows above, at and below (t, m, b indexable
// from -1 to width): e = m[x+1] + b[x] + b[x+1] - t[x-1] - t[x] - m[x-1]; grey: R = G = B = 128 + e,
// else each colour channel of s plus e; clamped, alpha kept.
void emboss(const int16_t* t, const int16_t* m, const int16_t* b, const uint32_t* s, int width, bool grey, uint32_t* d);

// Pixels of one row: the colour channels of s plus o (the same offset on all three), clamped.
void add_offsets(const uint32_t* s, const int16_t* o, int width, uint32_t* d);
// R = G = B = the luma of s (Rec. 601, 16-bit fixed point, rounded); alpha kept.
void greyscale(const uint32_t* s, int width, uint32_t* d);

}  // namespace zx::effects::kernels::loops
