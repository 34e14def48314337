#include "modeldata/ByteSink.h"

namespace torvik {

void ByteSink::write(const void* src, std::size_t n)
{
    if (!ok_)
        return;
    if (!put(src, n)) {
        ok_ = false;
        return;
    }
    written_ += n;
}

bool MemorySink::put(const void* src, std::size_t n)
{
    const auto* p = static_cast<const uint8_t*>(src);
    bytes.insert(bytes.end(), p, p + n);
    return true;
}

bool FileSink::put(const void* src, std::size_t n)
{
    return file_ != nullptr && (n == 0 || std::fwrite(src, 1, n, file_) == n);
}

} // namespace torvik
