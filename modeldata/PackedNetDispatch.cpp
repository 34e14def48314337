#include "modeldata/PackedNet.h"

namespace torvik {

#if defined(TORVIK_HAVE_AVX2_KERNEL)
const PackedNetKernel* avx2PackedNetKernelUnchecked();

const PackedNetKernel* avx2PackedNetKernel() {
    static const bool supported = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return supported ? avx2PackedNetKernelUnchecked() : nullptr;
}
#else
const PackedNetKernel* avx2PackedNetKernel() { return nullptr; }
#endif

const PackedNetKernel& activePackedNetKernel() {
    static const PackedNetKernel& chosen = avx2PackedNetKernel() ? *avx2PackedNetKernel() : genericPackedNetKernel();
    return chosen;
}

} // namespace torvik
