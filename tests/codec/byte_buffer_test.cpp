#include "codec/byte_buffer.h"
#include "test_util.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <algorithm>
#include <utility>
#include <vector>

namespace zeq {
namespace {

using test::bytes;
using test::hex;

TEST(ByteBuffer, GrowsByTheAppendRules) {
    ByteBuffer b;
    const uint32_t word = 0;
    int32_t seen[3];
    for (int32_t& capacity : seen) {
        b.appendBytes(&word, 4, false);
        capacity = b.capacity();
    }
    // capacity + length + n whenever length + n reaches the capacity.
    EXPECT_EQ(seen[0], 4);
    EXPECT_EQ(seen[1], 12);
    EXPECT_EQ(seen[2], 24);

    ByteBuffer single;
    single.appendByte(1);
    EXPECT_EQ(single.capacity(), 256);
}

TEST(ByteBuffer, ReverseAppendAndReadOfEveryWidth) {
    const uint8_t source[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (int32_t n = 1; n <= 9; ++n) {
        ByteBuffer b;
        b.appendBytes(source, n, true);
        for (int32_t i = 0; i < n; ++i) ASSERT_EQ(b.data()[i], source[n - 1 - i]) << "width " << n;
        uint8_t back[9] = {};
        b.readInto(back, n, true);
        EXPECT_EQ(0, std::memcmp(back, source, n));
    }
}

TEST(ByteBuffer, AppendingFromItselfSurvivesGrowth) {
    ByteBuffer b = bytes({1, 2, 3, 4});
    b.appendBytes(b.data(), 4, false);  // length + n reaches the capacity: the block moves
    b.appendFrom(b, 2, 100);            // clamped to the bytes after offset 2
    EXPECT_EQ(hex(b), "01 02 03 04 01 02 03 04 03 04 01 02 03 04");
}

TEST(ByteBuffer, AppendFromTakesOnlyBytesPresentAfterTheOffset) {
    const ByteBuffer other = bytes({9, 8, 7});
    ByteBuffer b;
    b.appendFrom(other, 1, 10);
    b.appendFrom(other, 3, 1);
    b.appendFrom(other, 4, 1);
    b.appendFrom(other, -1, 2);
    b.appendFrom(other, 0, 0);
    EXPECT_EQ(hex(b), "08 07");
    EXPECT_EQ(b.capacity(), 2);  // grown to exactly what was needed
}

TEST(ByteBuffer, ReadFailuresLeaveTheCursorAlone) {
    ByteBuffer b = bytes({1, 2, 3});
    b.position = 1;
    try {
        b.readBytes(3, false);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "position + length");
    }
    EXPECT_EQ(b.position, 1);
    EXPECT_THROW(b.readView(-1), std::out_of_range);
    EXPECT_EQ(b.readBytes(2, true), (std::vector<uint8_t>{3, 2}));
    try {
        b.readBytes(1, false);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "position");
    }
    EXPECT_EQ(b.position, 3);
}

TEST(ByteBuffer, ZeroByteReadsSucceedUpToTheVeryEnd) {
    ByteBuffer b = bytes({1});
    EXPECT_TRUE(b.readBytes(0, false).empty());
    b.position = 1;
    EXPECT_TRUE(b.readBytes(0, false).empty());
    EXPECT_EQ(b.position, 1);
    ByteBuffer empty;
    EXPECT_TRUE(empty.readBytes(0, false).empty());
    b.position = 2;  // beyond the data
    EXPECT_THROW(b.readBytes(0, false), std::out_of_range);
}

TEST(ByteBuffer, CopiesMovesAndTakeAll) {
    ByteBuffer a = bytes({5, 6, 7});
    a.position = 2;
    ByteBuffer copy = a;
    EXPECT_EQ(copy.position, 2);
    EXPECT_EQ(copy, a);
    ByteBuffer moved = std::move(copy);
    EXPECT_EQ(hex(moved), "05 06 07");
    EXPECT_EQ(copy.length(), 0);
    moved.position = 0;
    EXPECT_EQ(moved, a);  // the cursor does not take part in equality
    EXPECT_EQ(a.takeAll(), (std::vector<uint8_t>{5, 6, 7}));
    EXPECT_EQ(a.position, 3);

    moved.dropFront(1);
    EXPECT_EQ(hex(moved), "06 07");
    moved.dropFront(5);
    EXPECT_EQ(moved.length(), 0);
}

// Dropping bytes from the front moves nothing; whatever comes next (growth, appending the buffer's
// own bytes, copies, moves, clearing) sees exactly the remaining bytes.
TEST(ByteBuffer, WorksOnAfterDroppingTheFront) {
    ByteBuffer b = bytes({1, 2, 3, 4, 5, 6});
    b.position = 3;
    b.dropFront(2);
    EXPECT_EQ(b.position, 1);
    EXPECT_EQ(hex(b), "03 04 05 06");
    b.appendFrom(b, 1, 2);              // its own bytes, growing into the dropped room
    b.appendBytes(b.data(), 3, false);  // again, through a pointer into the block
    EXPECT_EQ(hex(b), "03 04 05 06 04 05 03 04 05");
    ByteBuffer copy = b;
    copy.dropFront(8);
    ByteBuffer moved = std::move(copy);
    moved.appendByte(9);
    EXPECT_EQ(hex(moved), "05 09");
    moved.clear();
    moved.appendBytes(b.data(), b.length(), false);
    EXPECT_EQ(moved, b);

    // Prepending takes the dropped room back when it is large enough, else moves the bytes up;
    // the cursor stays on its byte.
    const uint8_t head[] = {0xA1, 0xA2, 0xA3};
    b.position = 1;
    b.dropFront(2);
    b.prepend(head, 1);
    EXPECT_EQ(hex(b), "A1 05 06 04 05 03 04 05");
    b.prepend(head, 3);
    EXPECT_EQ(hex(b), "A1 A2 A3 A1 05 06 04 05 03 04 05");
    EXPECT_EQ(b.position, 4);
    ByteBuffer slice = b.slice(3, 2);
    slice.prepend(head + 1, 2);  // a shared block is never written
    EXPECT_EQ(hex(slice), "A2 A3 A1 05");
    EXPECT_EQ(hex(b), "A1 A2 A3 A1 05 06 04 05 03 04 05");
}

// Slices share the block without copying it, yet every buffer behaves as its own value: the
// block outlives the buffer it came from, and whatever one of them writes the others never see.
TEST(ByteBuffer, SlicesShareTheBlockButNotTheirWrites) {
    ByteBuffer whole = bytes({0, 1, 2, 3, 4, 5, 6, 7});
    whole.dropFront(1);
    ByteBuffer a = whole.slice(1, 3);
    ByteBuffer b = whole.slice(4, 3);
    EXPECT_EQ(std::as_const(a).data(), std::as_const(whole).data() + 1);  // no copy
    EXPECT_EQ(hex(a), "02 03 04");
    EXPECT_EQ(whole.slice(7, 0).length(), 0);
    EXPECT_THROW(whole.slice(5, 3), std::out_of_range);
    EXPECT_THROW(whole.slice(-1, 2), std::out_of_range);

    whole.appendByte(8);  // the source writes into a block of its own
    whole.data()[0] = 0xEE;
    EXPECT_EQ(hex(whole), "EE 02 03 04 05 06 07 08");
    EXPECT_EQ(hex(a), "02 03 04");
    whole = ByteBuffer();  // the slices keep the block alive

    ByteBuffer copy = b;
    b.data()[0] = 0xBB;  // taken writable while the copy lives: b copies first
    b.truncate(2);
    b.appendByte(9);
    EXPECT_EQ(hex(b), "BB 06 09");
    EXPECT_EQ(hex(copy), "05 06 07");
    a.appendFrom(a, 1, 2);  // its own bytes, while growing out of the shared block
    EXPECT_EQ(hex(a), "02 03 04 03 04");
    copy.clear();
    copy.appendByte(1);
    EXPECT_EQ(hex(copy), "01");
}

// Blocks of several MiB are mappings of their own that grow by moving pages: bytes survive growth
// across that size and past it, appends from the buffer itself, the dropped front and slices that
// outlive their source.
TEST(ByteBuffer, LargeBlocksGrowAndShareLikeSmallOnes) {
    constexpr int32_t kMiB = 1 << 20;
    std::vector<uint8_t> chunk(kMiB);
    ByteBuffer b;
    for (int i = 0; i < 20; ++i) {
        std::fill(chunk.begin(), chunk.end(), static_cast<uint8_t>(i));
        b.appendBytes(chunk.data(), kMiB, false);
    }
    b.dropFront(kMiB);
    b.appendBytes(b.data() + 3 * kMiB, 2 * kMiB, false);  // from its own block, which grows
    b.prepend(chunk.data(), 1);
    ASSERT_EQ(b.length(), 21 * kMiB + 1);
    ByteBuffer tail = b.slice(19 * kMiB + 1, 2 * kMiB);
    ByteBuffer copy = b;
    b = ByteBuffer();
    for (int32_t i = 0; i < 21; ++i) {
        const uint8_t expected = static_cast<uint8_t>(i < 19 ? i + 1 : i - 15);
        EXPECT_EQ(copy.data()[1 + i * kMiB], expected) << i;
        EXPECT_EQ(copy.data()[(i + 1) * kMiB], expected) << i;
    }
    EXPECT_EQ(copy.data()[0], 19);
    EXPECT_EQ(tail.data()[0], 4);
    EXPECT_EQ(tail.data()[2 * kMiB - 1], 5);
}

}  // namespace
}  // namespace zeq
