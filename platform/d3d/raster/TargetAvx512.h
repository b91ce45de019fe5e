// Opens a region of a translation unit built for AVX-512 (F, BW, VL, DQ, with AVX2 and BMI2);
// TargetEnd.h closes it. GCC 12's AVX-512 intrinsics start from deliberately undefined
// registers, which its uninitialized-use warnings report once they are inlined.
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2,bmi2,avx512f,avx512bw,avx512vl,avx512dq")
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
