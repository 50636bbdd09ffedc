#pragma once
// Field tables: for every record type, the ordered list of its fields with the name, the protocol
// type name, the optional flag, the array element type and the member that holds the value.
// One table per record drives the record codecs, the JSON conversion and the randomized tests, so
// the wire order of a record is written down exactly once.
#include "codec/array.h"
#include "codec/byte_buffer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace zeq {

// Specialised once per record type, next to the record:
//   static constexpr std::string_view typeName;   // the registry name, e.g. "Zeq2Mesh"
//   static constexpr auto fields;                  // a std::tuple of Field, in wire order
template <class R>
struct RecordTraits;

// Value types that are neither primitives nor records (the vertex attribute enumeration, the
// version-1 identifier) specialise this to name the type names they are stored as.
template <class T>
struct ValueTypeNames {
    static constexpr bool fits(std::string_view) { return false; }
};

template <class T>
concept Record = requires {
    { RecordTraits<T>::typeName } -> std::convertible_to<std::string_view>;
    RecordTraits<T>::fields;
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {
    using Inner = T;
};

template <class T>
struct IsArray : std::false_type {};
template <class T>
struct IsArray<TArray<T>> : std::true_type {
    using Element = T;
};

template <class T>
struct StripOptionalImpl {
    using Type = T;
};
template <class T>
struct StripOptionalImpl<std::optional<T>> {
    using Type = T;
};
template <class T>
using StripOptional = typename StripOptionalImpl<T>::Type;

// One field of record R whose member has type M (the value type, wrapped in std::optional when
// the field is optional).
template <class R, class M>
struct Field {
    using RecordType = R;
    using MemberType = M;
    using ValueType = StripOptional<M>;  // what the field's codec encodes and decodes

    std::string_view name;     // lower-camel field name
    std::string_view type;     // type name of a scalar or record field; "array" for arrays
    bool optional;             // the field has a null-map bit
    std::string_view element;  // array element type name; empty for non-arrays
    M R::*member;

    bool isArray() const { return !element.empty(); }
};

// Table builders. They tie the optional flag and the array-ness to the member's C++ type at
// compile time, so a table cannot contradict its structure.
template <class R, class M>
constexpr Field<R, M> field(std::string_view name, std::string_view type, M R::*member) {
    static_assert(!IsOptional<M>::value, "a required field holds a plain value");
    static_assert(!IsArray<M>::value, "use arrayField for arrays");
    return {name, type, false, {}, member};
}

template <class R, class M>
constexpr Field<R, M> optionalField(std::string_view name, std::string_view type, M R::*member) {
    static_assert(IsOptional<M>::value, "an optional field holds a std::optional");
    static_assert(!IsArray<StripOptional<M>>::value, "use optionalArrayField for arrays");
    return {name, type, true, {}, member};
}

template <class R, class M>
constexpr Field<R, M> arrayField(std::string_view name, std::string_view element, M R::*member) {
    static_assert(IsArray<M>::value, "an array field holds a TArray");
    return {name, "array", false, element, member};
}

template <class R, class M>
constexpr Field<R, M> optionalArrayField(std::string_view name, std::string_view element, M R::*member) {
    static_assert(IsOptional<M>::value && IsArray<StripOptional<M>>::value,
                  "an optional array field holds a std::optional<TArray>");
    return {name, "array", true, element, member};
}

template <Record R>
constexpr std::size_t fieldCount() {
    return std::tuple_size_v<std::remove_cvref_t<decltype(RecordTraits<R>::fields)>>;
}

// Calls f(field) for every field of R in wire order.
template <Record R, class F>
constexpr void forEachField(F&& f) {
    std::apply([&](const auto&... fields) { (f(fields), ...); }, RecordTraits<R>::fields);
}

// The protocol type name that a C++ value type stands for, for the checks below. "Uint" and
// "ULong" share uint32_t, so both are accepted for it.
template <class T>
constexpr bool typeNameFits(std::string_view name) {
    if constexpr (Record<T>) return name == RecordTraits<T>::typeName;
    else if constexpr (std::is_same_v<T, int8_t>) return name == "Byte";
    else if constexpr (std::is_same_v<T, int16_t>) return name == "Short";
    else if constexpr (std::is_same_v<T, uint16_t>) return name == "UShort";
    else if constexpr (std::is_same_v<T, int32_t>) return name == "Int";
    else if constexpr (std::is_same_v<T, uint32_t>) return name == "Uint" || name == "ULong";
    else if constexpr (std::is_same_v<T, int64_t>) return name == "Long";
    else if constexpr (std::is_same_v<T, float>) return name == "Float";
    else if constexpr (std::is_same_v<T, double>) return name == "Number";
    else if constexpr (std::is_same_v<T, bool>) return name == "Bool";
    else if constexpr (std::is_same_v<T, std::string>) return name == "String";
    else if constexpr (std::is_same_v<T, ByteBuffer>) return name == "ByteArray";
    else return ValueTypeNames<T>::fits(name);
}

// True when every type name of R's table matches the C++ type of its member. Each record header
// checks its tables with static_assert, so a mistyped name fails the build.
template <Record R>
constexpr bool fieldTableMatchesTypes() {
    bool ok = true;
    forEachField<R>([&](const auto& f) {
        using V = typename std::remove_cvref_t<decltype(f)>::ValueType;
        if constexpr (IsArray<V>::value) {
            ok = ok && f.type == "array" && typeNameFits<typename IsArray<V>::Element>(f.element);
        } else {
            ok = ok && f.element.empty() && typeNameFits<V>(f.type);
        }
    });
    return ok;
}

}  // namespace zeq
