#include "codec/code_page.h"
#include "codec/protocol.h"
#include "test_util.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace zeq {
namespace {

using test::bytes;
using test::hex;
using test::textThrown;

// Every test starts in UTF-8 with the built-in converter and leaves it that way.
class StringCodecs : public ::testing::Test {
protected:
    void TearDown() override {
        setActiveCodePage(CodePage::Utf8);
        setCodePageConverter(nullptr);
    }
    std::string encode(const std::string& text) {
        ProtocolBuffer pb;
        protocol.getCodec("String")->encode(pb, &text);
        return hex(pb.buffer);
    }
    std::string decode(const std::vector<uint8_t>& wire) {
        ProtocolBuffer pb;
        pb.buffer = bytes(wire);
        std::string text = "unchanged";
        protocol.getCodec("String")->decode(pb, &text);
        return text;
    }
    Protocol protocol;
};

TEST_F(StringCodecs, EmptyAndLongStrings) {
    EXPECT_EQ(encode(""), "00");
    EXPECT_EQ(decode({0x00}), "");
    EXPECT_EQ(encode(std::string(128, 'x')).substr(0, 5), "80 80");
    EXPECT_EQ(encode(std::string("ab\0cd", 5)), "02 61 62");  // up to the first NUL
    EXPECT_EQ(decode({0x03, 'a', 0, 'b'}), "a");
    // The bytes after the NUL are dropped, but checked first, whichever converter runs.
    EXPECT_EQ(textThrown([&] { decode({0x03, 'a', 0, 0xFF}); }), "error wsize");
    setActiveCodePage(CodePage::Windows1252);
    EXPECT_EQ(decode({0x03, 'a', 0, 'b'}), "a");
    EXPECT_EQ(textThrown([&] { decode({0x03, 'a', 0, 0xFF}); }), "error wsize");
    setActiveCodePage(CodePage::Utf8);

    ProtocolBuffer pb;
    const std::string tooLong(kMaxLength + 1, 'a');
    EXPECT_THROW(protocol.getCodec("String")->encode(pb, &tooLong), std::length_error);
    EXPECT_EQ(pb.buffer.length(), 0);
}

TEST_F(StringCodecs, EmptyValuesAtTheVeryEndOfTheDataDecode) {
    ProtocolBuffer pb;
    const int32_t number = 5;
    const std::string text;
    const ByteBuffer noBytes;
    protocol.getCodec("Int")->encode(pb, &number);
    protocol.getCodec("String")->encode(pb, &text);
    protocol.getCodec("ByteArray")->encode(pb, &noBytes);

    int32_t n = 0;
    std::string s = "x";
    ByteBuffer b = bytes({1});
    protocol.getCodec("Int")->decode(pb, &n);
    protocol.getCodec("String")->decode(pb, &s);
    protocol.getCodec("ByteArray")->decode(pb, &b);
    EXPECT_EQ(s, "");
    EXPECT_EQ(b.length(), 0);
    EXPECT_EQ(pb.buffer.remaining(), 0);
}

TEST_F(StringCodecs, DeclaredLengthsPastTheEndFail) {
    for (const char* key : {"String", "ByteArray"}) {
        for (const auto& wire : std::vector<std::vector<uint8_t>>{{0x05, 'a', 'b'}, {0xFF, 0xFF, 0xFF, 'a'}}) {
            ProtocolBuffer pb;
            pb.buffer = bytes(wire);
            std::string s;
            ByteBuffer b;
            void* out = std::string(key) == "String" ? static_cast<void*>(&s) : static_cast<void*>(&b);
            try {
                protocol.getCodec(key)->decode(pb, out);
                ADD_FAILURE() << key;
            } catch (const std::out_of_range& e) {
                EXPECT_STREQ(e.what(), "position + length") << key;
            }
        }
        ProtocolBuffer cut;  // a three-byte length prefix with its last byte missing
        cut.buffer = bytes({0xC0, 0x01});
        ByteBuffer b;
        EXPECT_THROW(protocol.getCodec("ByteArray")->decode(cut, &b), std::out_of_range);
    }
}

TEST_F(StringCodecs, ByteArraysAreWrittenFromOffsetZero) {
    ByteBuffer value = bytes({0xDE, 0xAD, 0xBE});
    value.position = 2;
    ProtocolBuffer pb;
    pb.buffer.appendByte(0x77);  // the array does not start at 0 of the stream
    protocol.getCodec("ByteArray")->encode(pb, &value);
    EXPECT_EQ(hex(pb.buffer), "77 03 DE AD BE");

    pb.buffer.position = 1;
    ByteBuffer back = bytes({1, 2, 3, 4, 5});
    protocol.getCodec("ByteArray")->decode(pb, &back);
    EXPECT_EQ(hex(back), "DE AD BE");
    EXPECT_EQ(back.position, 0);
}

TEST_F(StringCodecs, Utf8CodePageRejectsInvalidText) {
    EXPECT_EQ(encode("\xC3\xA9\xF0\x9F\x98\x80"), "06 C3 A9 F0 9F 98 80");
    // Stray continuation, overlong '/', encoded surrogate, beyond U+10FFFF, cut-short sequence.
    for (const char* bad : {"\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE2\x82"}) {
        EXPECT_EQ(textThrown([&] { encode(bad); }), "error wsize") << bad;
        std::vector<uint8_t> wire{static_cast<uint8_t>(std::strlen(bad))};
        wire.insert(wire.end(), bad, bad + std::strlen(bad));
        EXPECT_EQ(textThrown([&] { decode(wire); }), "error wsize") << bad;
    }
}

TEST_F(StringCodecs, Windows1252ConvertsBothWays) {
    setActiveCodePage(CodePage::Windows1252);
    EXPECT_EQ(encode("caf\xE9 \x80"), "09 63 61 66 C3 A9 20 E2 82 AC");
    EXPECT_EQ(encode(std::string(64, '\xE9')).substr(0, 5), "80 80");  // 128 UTF-8 bytes
    EXPECT_EQ(textThrown([&] { encode("a\x81"); }), "error wsize");   // a byte the code page leaves undefined

    EXPECT_EQ(decode({0x08, 'c', 'a', 'f', 0xC3, 0xA9, 0xE2, 0x82, 0xAC}), "caf\xE9\x80");
    // Characters the code page lacks become '?', a surrogate pair as one character.
    EXPECT_EQ(decode({0x08, 0xE4, 0xB8, 0xAD, 'x', 0xF0, 0x9F, 0x98, 0x80}), "?x?");
    EXPECT_EQ(textThrown([&] { decode({0x02, 0xC3, 'x'}); }), "error wsize");
}

// Fails one call of the two-call conversion with a chosen error code; the rest goes to the
// built-in converter.
struct FailingConverter : CodePageConverter {
    enum Step { ToQuery, ToConvert, FromQuery, FromConvert } step;
    uint32_t code;
    FailingConverter(Step s, uint32_t c) : step(s), code(c) {}

    int32_t toUtf16(CodePage page, const char* src, int32_t n, char16_t* dst, int32_t cap, uint32_t& error) override {
        if (step == (dst ? ToConvert : ToQuery)) return error = code, 0;
        return builtinCodePageConverter().toUtf16(page, src, n, dst, cap, error);
    }
    int32_t fromUtf16(CodePage page, const char16_t* src, int32_t n, char* dst, int32_t cap, uint32_t& error) override {
        if (step == (dst ? FromConvert : FromQuery)) return error = code, 0;
        return builtinCodePageConverter().fromUtf16(page, src, n, dst, cap, error);
    }
};

TEST_F(StringCodecs, ConverterFailuresBecomeTheirTexts) {
    using F = FailingConverter;
    const struct {
        F::Step step;
        uint32_t code;
        const char* text;
    } rows[] = {
        {F::ToQuery, kErrorInvalidParameter, "ERROR_INVALID_PARAMETER"},
        {F::ToQuery, kErrorInsufficientBuffer, "ERROR_INSUFFICIENT_BUFFER"},
        {F::ToQuery, kErrorInvalidFlags, "ERROR_INVALID_FLAGS"},
        {F::ToQuery, kErrorNoUnicodeTranslation, "error wsize"},
        {F::FromQuery, kErrorInvalidFlags, "ERROR_INVALID_FLAGS"},
        {F::FromQuery, kErrorNoUnicodeTranslation, "error size"},
        {F::ToConvert, kErrorInsufficientBuffer, "error convert"},
        {F::FromConvert, kErrorInvalidParameter, "error convert"},
    };
    for (CodePage page : {CodePage::Utf8, CodePage::Windows1252}) {
        setActiveCodePage(page);
        for (const auto& row : rows) {
            F converter(row.step, row.code);
            setCodePageConverter(&converter);
            EXPECT_EQ(textThrown([&] { encode("name"); }), row.text) << row.step << " " << row.code;
            EXPECT_EQ(textThrown([&] { decode({0x01, 'n'}); }), row.text) << row.step << " " << row.code;
        }
        setCodePageConverter(nullptr);
        EXPECT_EQ(encode("name"), "04 6E 61 6D 65");
    }
}

}  // namespace
}  // namespace zeq
