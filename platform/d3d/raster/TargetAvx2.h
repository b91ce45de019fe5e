// Opens a region of a translation unit built for AVX2 (with BMI2); TargetEnd.h closes it.
// Included once per instantiation file, after the headers that must stay baseline.
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2,bmi2")
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
