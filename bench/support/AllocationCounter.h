// Counts heap allocations, so a benchmark can show that a frame allocates nothing.
// Linking qm_bench_support replaces the global operator new of the benchmark program.
#pragma once

#include <cstdint>

// Allocations made through operator new since the program started.
uint64_t HeapAllocationCount();
