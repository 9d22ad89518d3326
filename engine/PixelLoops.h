#pragma once

#include <QtGlobal>

// The per-pixel loops that turn rows of samples into keys, shared by the
// bitmap reader and the other formats' readers. Each handles n pixels that lie
// `step` samples apart, writes their keys to out[0..n-1] and returns the
// largest. They are written so the compiler vectorises them, and built both
// for AVX2 and for the baseline processor, which picks at start-up; the
// arithmetic is on integers, so every version gives the same keys.
// The loops vectorise well only with the byte shuffles of AVX2; the baseline
// instruction set makes the compiler's vector code slower than plain code. So
// a loop marked KELVARIN_PIXEL_LOOP is built twice, and the processor picks at
// start-up. KELVARIN_PLAIN_PIXELS builds the baseline version alone (the
// tests run it on machines with AVX2 too).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(KELVARIN_PLAIN_PIXELS)
#define KELVARIN_PIXEL_LOOP [[gnu::target_clones("avx2", "default")]]
#else
#define KELVARIN_PIXEL_LOOP
#endif

namespace PixelLoops {

// Keys below 766: the sum of the first three bytes of pixels 3 or 4 bytes apart.
quint16 byteSums(const quint8 *p, int step, int n, quint16 *out);
// The first byte of pixels 1 or 2 bytes apart.
quint16 bytes(const quint8 *p, int step, int n, quint16 *out);
// The first 16-bit sample of pixels 1 or 2 samples apart.
quint16 words(const quint16 *p, int step, int n, quint16 *out);
// A third of the sum of the first three 16-bit samples of pixels 3 or 4 samples apart.
quint16 wordThirds(const quint16 *p, int step, int n, quint16 *out);

// Raises every column's maximum to the row's key where that is larger; `narrow`
// when every key is below 32768 (faster on the baseline processor).
void raiseColumnMaxima(const quint16 *row, int n, quint16 *columnMax, bool narrow);

// Every sample of n becomes its complement: 255 - v, or 65535 - v for 16 bits
// (pictures that store white as 0).
void invert(quint8 *p, qint64 n, int bytesPerSample);

} // namespace PixelLoops
