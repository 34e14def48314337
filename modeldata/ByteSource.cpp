#include "modeldata/ByteSource.h"

#include <cstring>
#include <sys/stat.h>

namespace torvik {

bool ByteSource::read(void* dst, std::size_t n)
{
    if (n > remaining_ || !fetch(dst, n)) {
        remaining_ = 0;
        return false;
    }
    remaining_ -= n;
    consumed_ += n;
    return true;
}

MemorySource::MemorySource(const void* data, std::size_t size)
    : ByteSource(data != nullptr ? size : 0), cursor_(static_cast<const unsigned char*>(data))
{
}

bool MemorySource::fetch(void* dst, std::size_t n)
{
    if (n == 0)
        return true;
    std::memcpy(dst, cursor_, n);
    cursor_ += n;
    return true;
}

namespace {

uint64_t bytesLeftIn(std::FILE* file)
{
    if (file == nullptr)
        return 0;
    const off_t position = ftello(file);
    if (position < 0)
        return 0;
    struct stat info {};
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode))
        return info.st_size > position ? uint64_t(info.st_size - position) : 0;
    if (fseeko(file, 0, SEEK_END) != 0)
        return 0;
    const off_t end = ftello(file);
    if (fseeko(file, position, SEEK_SET) != 0 || end < position)
        return 0;
    return uint64_t(end - position);
}

} // namespace

FileSource::FileSource(std::FILE* file) : ByteSource(bytesLeftIn(file)), file_(file) {}

bool FileSource::fetch(void* dst, std::size_t n)
{
    return n == 0 || std::fread(dst, 1, n, file_) == n;
}

} // namespace torvik
