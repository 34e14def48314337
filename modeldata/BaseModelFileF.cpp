#include "modeldata/BaseModelFileF.h"

#include "modeldata/ByteSink.h"
#include "modeldata/ByteSource.h"

#include <utility>

namespace torvik {

BaseModelFileF::~BaseModelFileF()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

BaseModelFileF::BaseModelFileF(BaseModelFileF&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), lastReadComplete_(other.lastReadComplete_)
{
}

BaseModelFileF& BaseModelFileF::operator=(BaseModelFileF&& other) noexcept
{
    if (this != &other) {
        close();
        file_ = std::exchange(other.file_, nullptr);
        lastReadComplete_ = other.lastReadComplete_;
    }
    return *this;
}

std::FILE* BaseModelFileF::openForReading(const std::string& path)
{
    close();
    file_ = std::fopen(path.c_str(), "rb");
    return file_;
}

std::FILE* BaseModelFileF::openForWriting(const std::string& path)
{
    close();
    file_ = std::fopen(path.c_str(), "wb");
    return file_;
}

int BaseModelFileF::close()
{
    if (file_ == nullptr)
        return 0;
    const int result = std::fclose(file_);
    file_ = nullptr;
    return result;
}

uint32_t BaseModelFileF::writeAll()
{
    if (file_ == nullptr)
        return 0;
    FileSink sink(file_);
    return writeTo(sink);
}

uint32_t BaseModelFileF::readAll()
{
    FileSource source(file_);
    return readFrom(source, lastReadComplete_);
}

uint32_t BaseModelFileF::readFromMemory(const void* data, std::size_t size)
{
    MemorySource source(data, size);
    readFrom(source, lastReadComplete_);
    return static_cast<uint32_t>(source.consumed());
}

bool BaseModelFileF::saveTo(const std::string& path)
{
    if (openForWriting(path) == nullptr)
        return false;
    FileSink sink(file_);
    const uint32_t written = writeTo(sink);
    const bool closed = close() == 0;
    return written > 0 && sink.ok() && closed;
}

bool BaseModelFileF::loadFrom(const std::string& path)
{
    const bool opened = openForReading(path) != nullptr;
    readAll();
    close();
    return opened && lastReadComplete_;
}

std::vector<uint8_t> BaseModelFileF::toBytes()
{
    MemorySink sink;
    if (writeTo(sink) == 0)
        return {};
    return std::move(sink.bytes);
}

} // namespace torvik
