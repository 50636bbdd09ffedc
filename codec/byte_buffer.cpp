// ByteBuffer: the heap block, its growth, and the out-of-line parts of reading.
#include "codec/byte_buffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>

namespace zeq {

namespace {

constexpr int64_t kMaxCapacity = std::numeric_limits<int32_t>::max();

// Lengths and capacities are 32-bit signed: a buffer that would pass 2 GiB cannot be represented.
[[noreturn]] void throwTooLarge() { throw std::length_error("ByteBuffer: size exceeds 2 GiB"); }

// Blocks this large (an inflated scene, an encoded body) are mappings of their own, in whole huge
// pages, with huge pages asked for before any byte is touched: filling them then costs one page
// fault per 2 MiB instead of one per 4 KiB, and growing one moves its pages (mremap) instead of
// copying its bytes. From the heap, a body of 35 MB grew through copies into fresh 4 KiB pages that
// took as long as a third of its compression. Where the system offers no huge pages, the advice is
// ignored. A block's size alone tells how it was made: every block is made, resized and freed here.
constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kMappedBlock = size_t(8) << 20;

size_t mappedSize(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

// The size of the block made for at least `bytes` bytes.
size_t blockSize(size_t bytes) { return bytes >= kMappedBlock ? std::min(mappedSize(bytes), size_t(kMaxCapacity)) : bytes; }

void adviseHugePages(void* block, size_t bytes) {
#ifdef MADV_HUGEPAGE
    ::madvise(block, bytes, MADV_HUGEPAGE);
#endif
}

uint8_t* allocateBlock(size_t bytes) {
    if (bytes == 0) return nullptr;
    if (bytes < kMappedBlock) {
        void* block = std::malloc(bytes);
        if (!block) throw std::bad_alloc();
        return static_cast<uint8_t*>(block);
    }
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    adviseHugePages(block, bytes);
    return static_cast<uint8_t*>(block);
}

void freeBlock(uint8_t* block, size_t bytes) {
    if (!block) return;
    if (bytes < kMappedBlock)
        std::free(block);
    else
        ::munmap(block, bytes);
}

// A block of newBytes holding the first `used` bytes of `block` (oldBytes long).
uint8_t* resizeBlock(uint8_t* block, size_t oldBytes, size_t newBytes, size_t used) {
    if (!block) return allocateBlock(newBytes);
    if (newBytes < kMappedBlock) {
        void* grown = std::realloc(block, newBytes);
        if (!grown) throw std::bad_alloc();
        return static_cast<uint8_t*>(grown);
    }
    if (oldBytes >= kMappedBlock) {
        void* grown = ::mremap(block, oldBytes, newBytes, MREMAP_MAYMOVE);
        if (grown == MAP_FAILED) throw std::bad_alloc();
        adviseHugePages(grown, newBytes);
        return static_cast<uint8_t*>(grown);
    }
    uint8_t* grown = allocateBlock(newBytes);
    if (used > 0) std::memcpy(grown, block, used);
    freeBlock(block, oldBytes);
    return grown;
}

// A block in shared ownership, freed with the last buffer that uses it.
struct SharedBlock {
    SharedBlock(uint8_t* bytes, size_t size) : bytes(bytes), size(size) {}
    SharedBlock(const SharedBlock&) = delete;
    SharedBlock& operator=(const SharedBlock&) = delete;
    ~SharedBlock() { freeBlock(bytes, size); }
    uint8_t* bytes;
    size_t size;
};

}  // namespace

ByteBuffer::ByteBuffer(const ByteBuffer& other) : position(other.position) {
    if (other.length_ > 0) {
        growTo(other.length_);
        std::memcpy(data_, other.data_, static_cast<size_t>(other.length_));
        length_ = other.length_;
    }
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : position(other.position), data_(other.data_), length_(other.length_), capacity_(other.capacity_),
      front_(other.front_), shared_(std::move(other.shared_)) {
    other.data_ = nullptr;
    other.length_ = other.capacity_ = other.position = other.front_ = 0;
}

ByteBuffer& ByteBuffer::operator=(const ByteBuffer& other) {
    if (this != &other) {
        ByteBuffer copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
        freeBlock(block(), blockBytes());
        data_ = other.data_;
        length_ = other.length_;
        capacity_ = other.capacity_;
        front_ = other.front_;
        shared_ = std::move(other.shared_);
        position = other.position;
        other.data_ = nullptr;
        other.length_ = other.capacity_ = other.position = other.front_ = 0;
    }
    return *this;
}

ByteBuffer::~ByteBuffer() { freeBlock(block(), blockBytes()); }

void ByteBuffer::reclaimFront() {
    if (front_ == 0 || shared_) return;
    uint8_t* start = block();
    if (length_ > 0) std::memmove(start, data_, static_cast<size_t>(length_));
    data_ = start;
    capacity_ += front_;
    front_ = 0;
}

void ByteBuffer::growTo(int32_t newCapacity) {
    if (newCapacity <= capacity_) return;
    if (shared_) {
        ownCopy(newCapacity);
        return;
    }
    // Bytes dropped from the front are room again before the block grows.
    reclaimFront();
    if (newCapacity <= capacity_) return;
    const size_t size = blockSize(static_cast<size_t>(newCapacity));
    data_ = resizeBlock(data_, static_cast<size_t>(capacity_), size, static_cast<size_t>(length_));
    capacity_ = static_cast<int32_t>(size);
}

void ByteBuffer::ownCopy(int32_t newCapacity) {
    const size_t size = blockSize(static_cast<size_t>(std::max(newCapacity, 0)));
    uint8_t* own = allocateBlock(size);
    if (length_ > 0) std::memcpy(own, data_, static_cast<size_t>(length_));
    shared_.reset();
    data_ = own;
    capacity_ = static_cast<int32_t>(size);
    front_ = 0;
}

void ByteBuffer::unshare() {
    if (shared_) ownCopy(length_);
}

ByteBuffer ByteBuffer::slice(int32_t offset, int32_t n) {
    if (offset < 0 || n < 0 || offset > length_ || n > length_ - offset)
        throw std::out_of_range("position + length");
    ByteBuffer part;
    if (n == 0) return part;
    if (!shared_) {
        // The block passes into shared ownership whole (with the room dropped from its front); this
        // buffer keeps reading it but has no room left to write into.
        shared_ = std::make_shared<SharedBlock>(data_ - front_, blockBytes());
        front_ = 0;
        capacity_ = length_;
    }
    part.shared_ = shared_;
    part.data_ = data_ + offset;
    part.length_ = part.capacity_ = n;
    return part;
}

const void* ByteBuffer::growForAppend(const void* source, int32_t n) {
    const int64_t needed = int64_t(length_) + n;
    if (needed > kMaxCapacity) throwTooLarge();
    // capacity + length + n: roughly doubles under repeated appends. Clamped to the largest
    // representable block, which still holds the bytes being appended.
    const int64_t wanted = std::min(int64_t(capacity_) + needed, kMaxCapacity);
    // The source may be this buffer's own block, which the reallocation moves.
    const auto* bytes = static_cast<const uint8_t*>(source);
    const bool inside = data_ && bytes >= data_ && bytes < data_ + capacity_;
    const std::ptrdiff_t offset = inside ? bytes - data_ : 0;
    growTo(static_cast<int32_t>(wanted));
    return inside ? data_ + offset : source;
}

void ByteBuffer::appendByte(uint8_t b) {
    if (capacity_ == length_) {
        if (int64_t(capacity_) + 1 > kMaxCapacity) throwTooLarge();
        growTo(static_cast<int32_t>(std::min(int64_t(capacity_) + 256, kMaxCapacity)));
    }
    data_[length_++] = b;
}

void ByteBuffer::appendFrom(const ByteBuffer& other, int32_t offset, int32_t n) {
    // Only bytes that exist in `other` at and after `offset` are taken.
    if (offset < 0 || offset > other.length_) return;
    const int32_t count = std::min(n, other.length_ - offset);
    if (count <= 0) return;
    const int64_t needed = int64_t(length_) + count;
    if (needed > kMaxCapacity) throwTooLarge();
    if (needed > capacity_) growTo(static_cast<int32_t>(needed));
    // Read other.data_ only now: when other is this buffer, growing has moved its block.
    std::memmove(data_ + length_, other.data_ + offset, static_cast<size_t>(count));
    length_ += count;
}

void ByteBuffer::checkReadSlow(int32_t n) const {
    if (n < 0) throw std::out_of_range("position + length");
    if (position < 0 || position > length_) throw std::out_of_range("position");
    // A zero-byte read succeeds anywhere inside the data and at its very end, so that an empty
    // string or byte array can be the last value of a stream.
    if (n == 0) return;
    if (position == length_) throw std::out_of_range("position");
    throw std::out_of_range("position + length");
}

std::vector<uint8_t> ByteBuffer::readBytes(int32_t n, bool reverse) {
    // Checked before allocating, so a declared length never allocates more than is present.
    const uint8_t* source = readView(n);
    std::vector<uint8_t> block(static_cast<size_t>(n));
    if (n > 0) {
        if (reverse)
            copyReversed(block.data(), source, n);
        else
            std::memcpy(block.data(), source, static_cast<size_t>(n));
    }
    return block;
}

std::vector<uint8_t> ByteBuffer::takeAll() {
    position = length_;
    return std::vector<uint8_t>(data_, data_ + length_);
}

void ByteBuffer::clear() {
    length_ = 0;
    position = 0;
    if (shared_) unshare();
    reclaimFront();
}

void ByteBuffer::reserve(int32_t bytes) { growTo(bytes); }

uint8_t* ByteBuffer::extend(int32_t n) {
    if (n < 0) n = 0;
    const int64_t needed = int64_t(length_) + n;
    if (needed > kMaxCapacity) throwTooLarge();
    if (needed > capacity_)
        growTo(static_cast<int32_t>(std::min(std::max(needed, int64_t(capacity_) * 2), kMaxCapacity)));
    uint8_t* start = data_ + length_;
    length_ += n;
    return start;
}

void ByteBuffer::truncate(int32_t newLength) {
    if (newLength >= 0 && newLength < length_) {
        length_ = newLength;
        if (shared_) capacity_ = newLength;
    }
}

void ByteBuffer::dropFront(int32_t n) {
    n = std::min(n, length_);
    if (n <= 0) return;
    // No bytes move: the data now starts n bytes into the block.
    data_ += n;
    if (!shared_) front_ += n;
    capacity_ -= n;
    length_ -= n;
    position = position > n ? position - n : 0;
}

void ByteBuffer::prepend(const void* source, int32_t n) {
    if (n <= 0) return;
    if (front_ >= n) {
        data_ -= n;
        front_ -= n;
        capacity_ += n;
    } else {
        if (int64_t(length_) + n > kMaxCapacity) throwTooLarge();
        growTo(length_ + n);
        if (length_ > 0) std::memmove(data_ + n, data_, static_cast<size_t>(length_));
    }
    length_ += n;
    position += n;
    std::memcpy(data_, source, static_cast<size_t>(n));
}

bool operator==(const ByteBuffer& a, const ByteBuffer& b) {
    return a.length() == b.length() &&
           (a.length() == 0 || std::memcmp(a.data(), b.data(), static_cast<size_t>(a.length())) == 0);
}

}  // namespace zeq
