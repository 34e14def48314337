#include "modeldata/PackedNet.h"

namespace torvik {
namespace generic_kernel {
#define KERNEL_NAME "generic"
#include "modeldata/PackedNetKernel.inc"
} // namespace generic_kernel

const PackedNetKernel& genericPackedNetKernel() { return generic_kernel::kernel; }

} // namespace torvik
