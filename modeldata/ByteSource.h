#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace torvik {

// A sequence of bytes of known length that the model file readers parse.
// The length is known before parsing starts, so a reader can reject a count
// that could not possibly be backed by the bytes left, before it allocates.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    uint64_t remaining() const { return remaining_; }
    uint64_t consumed() const { return consumed_; }

    // Copies exactly n bytes to dst and returns true. Otherwise copies nothing
    // useful, returns false and leaves the source exhausted.
    bool read(void* dst, std::size_t n);

protected:
    explicit ByteSource(uint64_t size) : remaining_(size) {}

    virtual bool fetch(void* dst, std::size_t n) = 0;

private:
    uint64_t remaining_;
    uint64_t consumed_ = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, std::size_t size);

private:
    bool fetch(void* dst, std::size_t n) override;

    const unsigned char* cursor_;
};

// Reads from an open stdio stream, from its current position to its end.
// The length comes from the file's size; a stream whose size cannot be found
// (a pipe, a terminal) offers no bytes.
class FileSource final : public ByteSource {
public:
    explicit FileSource(std::FILE* file);

private:
    bool fetch(void* dst, std::size_t n) override;

    std::FILE* file_;
};

} // namespace torvik
