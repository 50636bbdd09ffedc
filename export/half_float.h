#pragma once
// 16-bit float vertex data: every 32-bit little-endian float of a vertex buffer becomes an IEEE
// 754 binary16 value stored high byte first.
#include "format/records.h"

#include <cstddef>
#include <cstdint>

namespace zeq {

// Truncating conversion: mantissa bits beyond the top ten are dropped (no rounding), values below
// 2^-14 become truncated subnormals, finite values above 65504 become infinity, and a NaN keeps
// the top ten payload bits (0x7C01 / 0xFC01 when only the dropped bits were set).
uint16_t floatToHalf(float value);

// The value a float has once stored as 16 bits.
float cutTo16Bit(float value);

// What the 16-bit form of a vertex buffer lost.
struct HalfLosses {
    std::size_t tooLarge = 0;     // finite values too large for 16 bits, now infinity
    std::size_t jointsMoved = 0;  // joint values (3 × bone number) 16 bits do not hold, now another bone's
};

// Replaces the buffer's bytes by their 16-bit form; attributes and vertexCount are unchanged.
HalfLosses convertVertexBufferTo16Bit(Zeq2VertexBuffer& buffer);

}  // namespace zeq
