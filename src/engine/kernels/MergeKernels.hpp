#pragma once

namespace qv::kernels {

// Registers every merge kernel with the compute layer's kernel library, once
// per process; later calls do nothing. The mergers call it before they look
// their kernels up, so the library is complete whoever asks first.
//
// Arithmetic common to all kernels: integer sums saturate at the top of their
// type instead of wrapping; averages round to the nearest value, halves up,
// exactly (as whole-number arithmetic would; a factor or gain that is not a
// finite number counts as 1);
// an average over a count of 0 leaves its output untouched; values written
// into a photo are clamped to the photo's format. Textures: 8-bit RGBA and
// 16-bit single-channel photos sum into 32-bit unsigned work textures with
// the same number of channels; 16-bit normalised RGBA photos sum into float
// textures (RGBA32Float, or RGBA16Float) as values from 0 to 1.
//
// Kernels and their bindings (t = texture, b = parameter buffer):
//   frameAccumulator            t1 += t0
//   frameAverager, frameAveragerRGB
//                               t0 = t1 / b0 (UInt32 count)
//   resetAccumulator, proResetAccumulator
//                               t0 = 0
//   starTrailer                 t1 = t0 where t0 > t1 + c0, b0 = (c0, c1, c2) UInt32
//                               (optional; (0, 0, 0) is the plain maximum)
//   getMaxFrame, getMaxFrameRGB, starTrailer2
//                               t1 = t0, clamped to t1's format
//   lightTrailer, lightTrailerRGB
//                               t1 += t0 and t2 = max(t2, t0) in one pass
//   proFrameAccumulator         t1 += t0 (normalised)
//   proFrameAverager            t0 = t1 / b0
//   frameCopy                   t1 = t0 (a frame widened into a filter texture)
//   frameAccumulatorWithFilter  t3 += median(t0, t1, t2), then t2 = t0 (the new
//                               frame replaces the older of the two filter frames)
//   frameAverageBooster         mean = t1 / b0; t0 = mean at or below the pivot b2
//                               (UInt32), pivot + b1 (Float factor) x (mean - pivot)
//                               above it
//   frameAveragerNightMode      t0 = b1 (UInt32 gain) x (t1 + t2) / b0, b0 the frames
//                               of both sums together
//   v2FrameAccumulator          every sample clamped to [lower, upper] of its colour
//                               (b2, b3: three UInt32 each, R G B), then t1 += it;
//                               b0 frame number 0 starts the sum afresh; b1 black
//                               level and b4 (1, 0, 0) are carried along; b5 the
//                               Bayer pattern (four UInt8 colours of the 2x2 cell,
//                               0 red, 1 green, 2 blue; RGGB when unbound)
//   v2NightModeResult           mean = t1 / b0; above the black level b1
//                               black + b4 (Float gain) x (mean - black), else the
//                               mean; clamped to the colour's upper limit (b3);
//                               b5 as above
//   proOneValue                 every channel of t0 = b0 (Float, 0...1; 1 unbound)
void registerMergeKernels();

} // namespace qv::kernels
