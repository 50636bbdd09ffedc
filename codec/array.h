#pragma once
// Arrays: a length prefix, then the elements back to back through the element codec.
#include "codec/codec.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

namespace zeq {

// An ordered sequence of values; the elements live inline.
template <class T>
class TArray {
public:
    TArray() = default;
    TArray(std::initializer_list<T> values) : items(values) {}
    explicit TArray(std::vector<T> values) : items(std::move(values)) {}

    std::size_t size() const { return items.size(); }
    bool empty() const { return items.empty(); }
    // std::out_of_range "Error in TArray::get()" when i is not below the element count.
    T& get(std::size_t i) {
        if (i >= items.size()) throw std::out_of_range("Error in TArray::get()");
        return items[i];
    }
    const T& get(std::size_t i) const {
        if (i >= items.size()) throw std::out_of_range("Error in TArray::get()");
        return items[i];
    }
    void add(T value) { items.push_back(std::move(value)); }
    auto begin() { return items.begin(); }
    auto end() { return items.end(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }
    bool operator==(const TArray&) const = default;

    std::vector<T> items;
};

// The array codec of one element type. The element codec is the non-optional codec of T, owned
// by the protocol; `dimensions` is always 1.
template <class T>
class TArrayCodec : public ICodec {
public:
    explicit TArrayCodec(ICodec* elementCodec) : element_(elementCodec) {}

    void encode(ProtocolBuffer& pb, const void* value) override {
        if (!value) throw std::invalid_argument("encode::object is NULL");
        const auto& array = *static_cast<const TArray<T>*>(value);
        if (array.size() > kMaxLength) throw std::length_error("encodeLength::Length is incorrect\n");
        encodeLength(static_cast<uint32_t>(array.size()), pb.buffer);
        for (const T& item : array.items) element_->encode(pb, &item);
    }

    bool decode(ProtocolBuffer& pb, void* out) override {
        auto& array = *static_cast<TArray<T>*>(out);
        const uint32_t count = decodeLength(pb.buffer);
        array.items.clear();
        // The count is only a claim of the data. The elements it claims are charged to the
        // buffer's memory limit before any is made, and room is reserved for no more of them than
        // the data left can hold, at most kMaxReserve; past that the room grows as elements really
        // decode, never beyond the count.
        pb.chargeDecoded(int64_t(count) * int64_t(sizeof(T)));
        std::size_t fit = static_cast<std::size_t>(pb.buffer.remaining());
        if constexpr (std::is_arithmetic_v<T>) {
            fit /= sizeof(T);  // a number takes its full width in the data
        } else {
            // Any other element takes at least one byte of the data or one presence bit.
            fit += static_cast<std::size_t>(pb.nullMap.bitCount - pb.nullMap.readCursor);
        }
        array.items.reserve(std::min<std::size_t>({count, fit, kMaxReserve}));
        for (uint32_t i = 0; i < count; ++i) {
            if (array.items.size() == array.items.capacity())
                array.items.reserve(std::min<std::size_t>(count, std::max<std::size_t>(16, 2 * array.items.size())));
            array.items.emplace_back();
            element_->decode(pb, &array.items.back());
        }
        return true;
    }

    ICodec* elementCodec() const { return element_; }
    int32_t dimensions() const { return 1; }

    // The most elements reserved ahead of decoding them.
    static constexpr std::size_t kMaxReserve = 65536;

private:
    ICodec* element_;
};

}  // namespace zeq
