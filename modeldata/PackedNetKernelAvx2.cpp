// Built with AVX2 and fused multiply-add enabled (see CMakeLists.txt); only reached through
// avx2PackedNetKernel, which checks the processor first.
#include "modeldata/PackedNet.h"

namespace torvik {
namespace avx2_kernel {
#define KERNEL_NAME "avx2+fma"
#include "modeldata/PackedNetKernel.inc"
} // namespace avx2_kernel

const PackedNetKernel* avx2PackedNetKernelUnchecked() { return &avx2_kernel::kernel; }

} // namespace torvik
