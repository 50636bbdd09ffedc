#pragma once
// Arrays: a length prefix, then the elements back to back through the element codec.
#include "codec/codec.h"

#include <cstddef>
#include <stdexcept>
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
        // Never trust the count for allocation: every element takes at least one bit of the
        // null map or one byte of the data, so reserve no more than what is present.
        const std::size_t present = static_cast<std::size_t>(pb.buffer.remaining()) +
                                    static_cast<std::size_t>(pb.nullMap.bitCount - pb.nullMap.readCursor);
        array.items.reserve(count < present ? count : present);
        for (uint32_t i = 0; i < count; ++i) {
            array.items.emplace_back();
            element_->decode(pb, &array.items.back());
        }
        return true;
    }

    ICodec* elementCodec() const { return element_; }
    int32_t dimensions() const { return 1; }

private:
    ICodec* element_;
};

}  // namespace zeq
