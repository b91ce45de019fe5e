// Closes the region TargetAvx2.h or TargetAvx512.h opened.
#pragma GCC diagnostic pop
#pragma GCC pop_options
