// Seeded random round trips of every record type through the registered codecs, and through the
// JSON form.
#include "format/json.h"
#include "support.h"

#include <gtest/gtest.h>

#include <map>

namespace zeq::test {
namespace {

template <class R>
class RecordRoundTrip : public ::testing::Test {};

using AllRecords = ::testing::Types<
    Zeq2, Zeq2Extra1, Zeq2Extra2, Zeq2AmbientLight, Zeq2AnimationClip, Zeq2Box, Zeq2Camera, Zeq2CubeMap, Zeq2Decal,
    Zeq2DirectionalLight, Zeq2Image, Zeq2IndexBuffer, Zeq2Joint, Zeq2JointBindTransform, Zeq2Keyframe, Zeq2LOD,
    Zeq2Layer, Zeq2Map, Zeq2Material, Zeq2Mesh, Zeq2Object, Zeq2OmniLight, Zeq2Skin, Zeq2SpotLight, Zeq2Sprite,
    Zeq2Surface, Zeq2Track, Zeq2Transform, Zeq2VertexBuffer, Zeq, ZeqBox, ZeqGeometry, ZeqImage, ZeqIndexBuffer,
    ZeqMap, ZeqMaterial, ZeqMatrix, ZeqObject, ZeqSurface, ZeqTransformation, ZeqVertexBuffer>;

class RecordNames {
public:
    template <class R>
    static std::string GetName(int) {
        return std::string(RecordTraits<R>::typeName);
    }
};

TYPED_TEST_SUITE(RecordRoundTrip, AllRecords, RecordNames);

constexpr int kIterations = 150;

// Several records in one buffer, each optional field of the top-level record seen both absent and
// present, and each array field seen empty and not: decoding gives the originals back, consumes
// every byte and bit, and re-encoding gives the same bytes and bits.
TYPED_TEST(RecordRoundTrip, DecodesToTheOriginalAndReencodesIdentically) {
    using R = TypeParam;
    Protocol protocol;
    registerFormatTypes(protocol);
    RandomRecords random(0x5EED0000u + RecordTraits<R>::typeName.size());

    std::map<std::string, std::pair<int, int>> seen;  // field -> (absent or empty, present and non-empty)
    std::vector<R> originals;
    ProtocolBuffer pb;
    for (int i = 0; i < kIterations; ++i) {
        R record;
        random.fill(record);
        forEachField<R>([&](const auto& f) {
            const auto& member = record.*(f.member);
            using M = std::remove_cvref_t<decltype(member)>;
            if constexpr (IsOptional<M>::value) {
                auto& counts = seen[std::string(f.name)];
                (member ? counts.second : counts.first)++;
            } else if constexpr (IsArray<M>::value) {
                auto& counts = seen[std::string(f.name)];
                (member.empty() ? counts.first : counts.second)++;
            }
        });
        encodeRecord(protocol, pb, record);
        originals.push_back(std::move(record));
    }
    for (const auto& [name, counts] : seen) {
        EXPECT_GT(counts.first, 0) << name << " never absent or empty";
        EXPECT_GT(counts.second, 0) << name << " never present";
    }

    ProtocolBuffer copy;
    copy.buffer = pb.buffer;
    copy.nullMap = pb.nullMap;
    std::vector<R> decoded;
    for (int i = 0; i < kIterations; ++i) {
        decoded.push_back(decodeRecord<R>(protocol, copy));
        ASSERT_EQ(decoded.back(), originals[static_cast<std::size_t>(i)]) << "record " << i;
    }
    EXPECT_EQ(copy.buffer.remaining(), 0);
    EXPECT_EQ(copy.nullMap.readCursor, copy.nullMap.bitCount);

    ProtocolBuffer again;
    for (const R& record : decoded) encodeRecord(protocol, again, record);
    EXPECT_EQ(bytesOf(again.buffer), bytesOf(pb.buffer));
    EXPECT_EQ(bitsOf(again.nullMap), bitsOf(pb.nullMap));
}

// The optional form of every record type: absent writes its bit only, present its bit and the record.
TYPED_TEST(RecordRoundTrip, OptionalFormCarriesOneBit) {
    using R = TypeParam;
    Protocol protocol;
    registerFormatTypes(protocol);
    ICodec* optional = protocol.getCodec(TypeCodecInfo(std::string(RecordTraits<R>::typeName), true));
    ASSERT_NE(optional, nullptr);
    RandomRecords random(7);
    R record;
    random.fill(record);

    ProtocolBuffer pb;
    optional->encode(pb, nullptr);
    optional->encode(pb, &record);
    EXPECT_EQ(bitsOf(pb.nullMap).substr(0, 2), "10");

    R first;
    EXPECT_FALSE(optional->decode(pb, &first));
    R second;
    EXPECT_TRUE(optional->decode(pb, &second));
    EXPECT_EQ(second, record);
    EXPECT_EQ(pb.buffer.remaining(), 0);
}

TYPED_TEST(RecordRoundTrip, JsonFormReadsBack) {
    using R = TypeParam;
    RandomRecords random(11);
    for (int i = 0; i < 40; ++i) {
        R record;
        random.fill(record);
        const Json json = toJson(record);
        ASSERT_EQ(json.size(), fieldCount<R>());
        const Json reparsed = Json::parse(json.dump());
        ASSERT_EQ(fromJson<R>(reparsed), record) << json.dump();
    }
}

// Decoding into a record that already holds values replaces all of them.
TEST(RecordDecode, OverwritesEveryField) {
    Protocol protocol;
    registerFormatTypes(protocol);
    RandomRecords random(3);
    Zeq2Mesh stale;
    random.fill(stale);
    stale.name = "stale";
    stale.surfaces = {Zeq2Surface{1, 2, 3}};

    Zeq2Mesh fresh;
    fresh.id = 1;
    ProtocolBuffer pb;
    encodeRecord(protocol, pb, fresh);
    recordCodec<Zeq2Mesh>(protocol).decode(pb, &stale);
    EXPECT_EQ(stale, fresh);
}

}  // namespace
}  // namespace zeq::test
