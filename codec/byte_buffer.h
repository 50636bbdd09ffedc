#pragma once
// Growable byte block with a read cursor: what codecs write to and read from, what the exporter
// writes to a file and what the importer fills from one.
//
// A buffer may share its block with others (slice): decoded byte arrays are slices of the decoded
// data stream, so the vertex and index bytes of a file are never copied. A shared block lives as
// long as any buffer using it; a buffer that is written to (or whose writable data() is taken while
// others still use the block) first copies its bytes into a block of its own, so copies and slices
// keep value semantics.
//
// The per-value paths (appendBytes, readInto, readView) are defined inline below: every number the
// codecs write or read goes through them, so their common case is a bounds check and a copy, with
// growth and failures kept out of line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
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
    uint8_t* data() {
        if (shared_ && shared_.use_count() > 1) unshare();
        return data_;
    }
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

    // A buffer holding data[offset .. offset + n) without copying it: this buffer and the slice
    // share the block from now on (the slice's cursor is 0). The range must lie inside the data.
    ByteBuffer slice(int32_t offset, int32_t n);

    // A copy of data[0 .. length); sets the cursor to length.
    std::vector<uint8_t> takeAll();

    void clear();                 // length and position 0, keeps the block
    void reserve(int32_t bytes);  // capacity at least `bytes`

    // Makes room for n more bytes at the end, counts them as written and returns where they start;
    // the caller fills them. Grows only when the block is too small (to at least twice its size),
    // so a producer that writes straight into the buffer (inflation) avoids a copy per chunk.
    uint8_t* extend(int32_t n);
    // Drops written bytes from the end: length becomes newLength (no effect when not shorter).
    void truncate(int32_t newLength);
    // Removes the first n bytes without moving the rest (the block keeps them as room that a later
    // growth or clear() takes back). The cursor moves back with the data (to 0 when it pointed into
    // the removed part).
    void dropFront(int32_t n);
    // Inserts n bytes before the data (the cursor moves with the data). Room left by dropFront is
    // taken first; otherwise the data moves up within the block, which grows only by n if needed.
    void prepend(const void* source, int32_t n);

private:
    void growTo(int32_t newCapacity);
    // Gives a shared buffer a block of its own holding its bytes (room for newCapacity bytes).
    void ownCopy(int32_t newCapacity);
    void unshare();
    // Moves the data to the start of the block, taking back the room dropFront left before it.
    void reclaimFront();
    // The block this buffer frees: none while the block is shared.
    uint8_t* block() const { return data_ && !shared_ ? data_ - front_ : nullptr; }
    size_t blockBytes() const { return static_cast<size_t>(capacity_) + static_cast<size_t>(front_); }
    // Growth of appendBytes; returns `source`, moved along when it pointed into this buffer's own block.
    const void* growForAppend(const void* source, int32_t n);
    // The failures of a read of n bytes at the cursor; returns normally only for a valid zero-byte read.
    void checkReadSlow(int32_t n) const;
    // Whether n bytes can be read at the cursor: the common case of every read.
    bool canReadFast(int32_t n) const { return n > 0 && position >= 0 && n <= length_ - position; }
    static void copyReversed(uint8_t* destination, const uint8_t* source, int32_t n);

    uint8_t* data_ = nullptr;
    int32_t length_ = 0;
    int32_t capacity_ = 0;   // bytes from data_ to the end of the block; length_ while shared
    int32_t front_ = 0;      // bytes of the block before data_ (dropped from the front); 0 while shared
    // The owner of a shared block; null while the buffer owns its block alone. A shared buffer's
    // capacity is its length, so that every write first goes through growTo, which unshares.
    std::shared_ptr<void> shared_;
};

bool operator==(const ByteBuffer& a, const ByteBuffer& b);  // same bytes, cursor ignored

// Byte reversal of the fixed widths the codecs use, one instruction each; other sizes byte by byte.
inline void ByteBuffer::copyReversed(uint8_t* destination, const uint8_t* source, int32_t n) {
    switch (n) {
    case 1:
        destination[0] = source[0];
        return;
    case 2: {
        uint16_t v;
        std::memcpy(&v, source, 2);
        v = __builtin_bswap16(v);
        std::memcpy(destination, &v, 2);
        return;
    }
    case 4: {
        uint32_t v;
        std::memcpy(&v, source, 4);
        v = __builtin_bswap32(v);
        std::memcpy(destination, &v, 4);
        return;
    }
    case 8: {
        uint64_t v;
        std::memcpy(&v, source, 8);
        v = __builtin_bswap64(v);
        std::memcpy(destination, &v, 8);
        return;
    }
    default:
        for (int32_t i = 0; i < n; ++i) destination[i] = source[n - 1 - i];
    }
}

inline void ByteBuffer::appendBytes(const void* source, int32_t n, bool reverse) {
    if (n <= 0) return;
    if (int64_t(length_) + n >= capacity_) source = growForAppend(source, n);
    uint8_t* destination = data_ + length_;
    if (reverse)
        copyReversed(destination, static_cast<const uint8_t*>(source), n);
    else
        std::memcpy(destination, source, static_cast<size_t>(n));
    length_ += n;
}

inline void ByteBuffer::readInto(void* destination, int32_t n, bool reverse) {
    if (!canReadFast(n)) {
        checkReadSlow(n);
        return;  // a valid zero-byte read
    }
    const uint8_t* source = data_ + position;
    if (reverse)
        copyReversed(static_cast<uint8_t*>(destination), source, n);
    else
        std::memcpy(destination, source, static_cast<size_t>(n));
    position += n;
}

inline const uint8_t* ByteBuffer::readView(int32_t n) {
    if (!canReadFast(n)) {
        checkReadSlow(n);
        return data_ ? data_ + position : data_;  // a valid zero-byte read
    }
    const uint8_t* view = data_ + position;
    position += n;
    return view;
}

}  // namespace zeq
