#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace torvik {

class ByteSink;
class ByteSource;

// Common part of the two model data file variants: the stream handle and the
// reading and writing entry points. A variant supplies the record layout.
//
// Reading never trusts the file: a count is accepted only when the bytes left
// could hold that many records, so hostile counts cannot cause large
// allocations. Reading stops at the first shortfall; lastReadComplete() tells
// whether the whole model was read. The object is usable (re-readable,
// writable, destructible) whatever the file held.
class BaseModelFileF {
public:
    BaseModelFileF() = default;
    BaseModelFileF(const BaseModelFileF&) = delete;
    BaseModelFileF& operator=(const BaseModelFileF&) = delete;
    // Moving transfers an open stream along with the content.
    BaseModelFileF(BaseModelFileF&& other) noexcept;
    BaseModelFileF& operator=(BaseModelFileF&& other) noexcept;
    // Closes a stream that is still open.
    virtual ~BaseModelFileF();

    // Opens in binary mode ("rb" / "wb"), replacing (and closing) a stream
    // that is still open. Stores and returns the handle; nullptr on failure.
    virtual std::FILE* openForReading(const std::string& path);
    virtual std::FILE* openForWriting(const std::string& path);
    // Closes the stored stream; returns the result of fclose, or 0 if none is open.
    virtual int close();

    // Releases all groups and creates count empty ones.
    virtual void allocateGroups(uint32_t count) = 0;

    // Sets the record counts from the arrays held, fills the length words and
    // writes the whole model to the open stream. Returns the number of values
    // written; 0 (and nothing written) when no stream is open or when an
    // array's length disagrees with the dimensions that size it.
    virtual uint32_t writeAll();
    // Replaces the content by the model read from the open stream, from its
    // current position. Returns the number of values read. Without an open
    // stream, or with one whose size cannot be found (a pipe), the content is
    // cleared and the read is incomplete.
    virtual uint32_t readAll();
    // Replaces the content by the model parsed from size bytes at data.
    // Returns the number of bytes consumed.
    virtual uint32_t readFromMemory(const void* data, std::size_t size);

    // False when the last read ran out of bytes or met a count that cannot fit
    // in the bytes left. True before any read.
    bool lastReadComplete() const { return lastReadComplete_; }
    uint32_t groupCount() const { return groupsHeld(); }

    // open, write, close: true when every byte was written and the stream closed cleanly.
    bool saveTo(const std::string& path);
    // open, read, close: true when the file opened and was read completely.
    bool loadFrom(const std::string& path);
    // The file image writeAll would write (filling counts and length words as
    // writeAll does); empty when the content cannot be written.
    std::vector<uint8_t> toBytes();

protected:
    // Variant hooks. readFrom replaces the content, sets complete and returns
    // the values read. writeTo returns the values written, or 0 without
    // writing anything when the content is inconsistent.
    virtual uint32_t readFrom(ByteSource& source, bool& complete) = 0;
    virtual uint32_t writeTo(ByteSink& sink) = 0;
    virtual uint32_t groupsHeld() const = 0;

private:
    std::FILE* file_ = nullptr;
    bool lastReadComplete_ = true;
};

} // namespace torvik
