#pragma once
// Growable byte block with a read cursor: what codecs write to and read from, what the exporter
// writes to a file and what the importer fills from one.
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace zeq {

class ByteBuffer {
public:
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer& other);
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(const ByteBuffer& other);
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ~ByteBuffer();

    // Read cursor: index of the next byte to read. Writing never moves it.
    int32_t position = 0;

    const uint8_t* data() const { return data_; }
    uint8_t* data() { return data_; }
    int32_t length() const { return length_; }
    int32_t capacity() const { return capacity_; }
    int32_t remaining() const { return length_ - position; }

    // Appends n bytes; with `reverse` the last source byte comes first.
    // Grows the block to capacity + length + n when length + n >= capacity.
    void appendBytes(const void* source, int32_t n, bool reverse);
    // Appends one byte; grows the block by 256 bytes when it is full.
    void appendByte(uint8_t b);
    // Appends min(n, other.length()) bytes taken from other.data() + offset; nothing when that
    // count is not positive. Never reads past the end of `other`.
    void appendFrom(const ByteBuffer& other, int32_t offset, int32_t n);

    // Reads n bytes at the cursor into a new block and advances the cursor.
    // std::out_of_range "position" when the cursor is at the end (a zero-byte read at the end
    // succeeds), "position + length" when fewer than n bytes remain. The cursor is unchanged on failure.
    std::vector<uint8_t> readBytes(int32_t n, bool reverse);
    // The same checks as readBytes, copying into caller memory instead of a new block.
    void readInto(void* destination, int32_t n, bool reverse);
    // Checks that n bytes can be read at the cursor (same failures as readBytes) and returns a pointer
    // to them, advancing the cursor; no copy.
    const uint8_t* readView(int32_t n);

    // A copy of data[0 .. length); sets the cursor to length.
    std::vector<uint8_t> takeAll();

    void clear();                 // length and position 0, keeps the block
    void reserve(int32_t bytes);  // capacity at least `bytes`

private:
    void growTo(int32_t newCapacity);

    uint8_t* data_ = nullptr;
    int32_t length_ = 0;
    int32_t capacity_ = 0;
};

bool operator==(const ByteBuffer& a, const ByteBuffer& b);  // same bytes, cursor ignored

}  // namespace zeq
