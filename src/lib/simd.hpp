// Which vector instructions the build uses: MOREK_SSE2 and MOREK_AVX2 are
// defined where the target has them, unless the build turned vectors off
// (MOREK_NO_SIMD, from the CMake option MOREK_SIMD=OFF) to run the plain code.
#pragma once

#if !defined(MOREK_NO_SIMD) && defined(__SSE2__)
#define MOREK_SSE2 1
#include <emmintrin.h>
#endif

#if !defined(MOREK_NO_SIMD) && defined(__x86_64__) && defined(__GNUC__)
#define MOREK_AVX2 1
#include <immintrin.h>
#endif
