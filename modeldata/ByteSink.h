#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace torvik {

// Destination of a model file image. Remembers whether every write succeeded.
class ByteSink {
public:
    virtual ~ByteSink() = default;

    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    void write(const void* src, std::size_t n);

    bool ok() const { return ok_; }
    uint64_t written() const { return written_; }

protected:
    ByteSink() = default;

    virtual bool put(const void* src, std::size_t n) = 0;

private:
    bool ok_ = true;
    uint64_t written_ = 0;
};

class MemorySink final : public ByteSink {
public:
    std::vector<uint8_t> bytes;

private:
    bool put(const void* src, std::size_t n) override;
};

class FileSink final : public ByteSink {
public:
    explicit FileSink(std::FILE* file) : file_(file) {}

private:
    bool put(const void* src, std::size_t n) override;

    std::FILE* file_;
};

} // namespace torvik
