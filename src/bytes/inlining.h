// Inlining asked of the compiler where its own choice costs the scan: a
// handler made once per Reading is called from two places, which makes GCC
// keep its helpers out of line; flattening inlines every call in its body,
// so each instantiation is the straight-line code a single one was.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define INLINE_ALL_CALLS __attribute__((flatten))
#else
#define INLINE_ALL_CALLS
#endif
