// Inlining asked of the compiler where its own choice costs the scan. The
// scan is made once per writer type, and a helper called from several of
// those makes GCC keep it out of line:
// - INLINE_ALL_CALLS (flattening) inlines every call in a function's body,
//   so that the ROM handler made for each kind of writer is the
//   straight-line code a single one was;
// - ALWAYS_INLINE puts a small function of the per-line path into every
//   caller;
// - RARELY_TAKEN keeps a path that few lines take out of the per-line loop,
//   so that the loop stays the code it was without it.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define INLINE_ALL_CALLS __attribute__((flatten))
#define ALWAYS_INLINE inline __attribute__((always_inline))
#define RARELY_TAKEN __attribute__((cold, noinline))
#else
#define INLINE_ALL_CALLS
#define ALWAYS_INLINE inline
#define RARELY_TAKEN
#endif
