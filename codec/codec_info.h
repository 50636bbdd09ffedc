#pragma once
// Codec descriptors: a type name and an optional flag; arrays add their element descriptor.
// key() is what the protocol registry looks codecs up by.
#include <cstdint>
#include <string>
#include <utility>

namespace zeq {

class ICodecInfo {
public:
    virtual ~ICodecInfo() = default;
    virtual bool isOptional() const = 0;
    virtual std::string key() const = 0;
};

class CodecInfo : public ICodecInfo {
public:
    CodecInfo() = default;
    CodecInfo(std::string name, bool optional) : name(std::move(name)), optional(optional) {}
    bool isOptional() const override { return optional; }
    // The name, followed by " Optional" when the optional flag is set.
    std::string key() const override { return optional ? name + " Optional" : name; }

    std::string name;
    bool optional = false;
};

class TypeCodecInfo : public CodecInfo {
public:
    TypeCodecInfo() = default;
    TypeCodecInfo(std::string name, bool optional) : CodecInfo(std::move(name), optional) {}
};

class ArrayCodecInfo : public CodecInfo {
public:
    ArrayCodecInfo(TypeCodecInfo element, bool optional)
        : element(std::move(element)) {
        this->optional = optional;
        name = arrayName();
    }
    // "array", the digit of `dimensions`, then the element's key: "array1Float".
    virtual std::string arrayName() const {
        return "array" + std::string(1, static_cast<char>('0' + dimensions)) + element.key();
    }

    TypeCodecInfo element;
    int32_t dimensions = 1;
};

}  // namespace zeq
