#pragma once
#include "engine/pass_kernels.h"

namespace ovl {

// The AVX2 kernels, or nullptr when the CPU (or the build target) lacks them.
const PassKernels* Avx2PassKernels();
// The AVX-512 kernels (BW, DQ, VL, VBMI, VBMI2), or nullptr.
const PassKernels* Avx512PassKernels();

}  // namespace ovl
