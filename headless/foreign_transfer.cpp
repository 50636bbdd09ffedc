// A file's scene as bytes and back: the reading child process (foreign_isolation.cpp) packs the scene
// Assimp built into a file descriptor, the loader unpacks it into a scene of its own. Both
// directions walk the scene with one function per part, so that what is written and what is read
// cannot drift apart. The bytes never leave the machine or outlive the load: values are stored in
// the process's own layout, and the unpacked scene's arrays point into the bytes instead of being
// copied.
#include "headless/foreign_read.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace headless::foreign {

std::string percentDecoded(const std::string& text) {
    auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) && hex(text[i + 2])) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}


namespace {

// Bytes needed after `offset` to reach a multiple of `alignment`.
std::size_t padding(std::size_t offset, std::size_t alignment) { return (alignment - offset % alignment) % alignment; }

// Writes the parts of a scene to a file descriptor, through a buffer. Arrays start at a multiple of
// their items' alignment from the start of the bytes, so that the unpacked scene can point into them.
class Packer {
public:
    static constexpr bool kReading = false;

    explicit Packer(int fd) : fd_(fd), buffer_(new char[kChunk]) {}

    template <class T>
    void value(const T& v) {
        bytes(&v, sizeof v);
    }
    // `count` items starting at `items`, or none when there is no array.
    template <class T>
    void array(T* const& items, std::size_t count) {
        raw(items, count * sizeof(T));
    }
    // `size` bytes of items of type T at `items`.
    template <class T>
    void raw(T* const& items, std::size_t size) {
        const uint8_t present = items != nullptr && size > 0;
        value(present);
        if (!present) return;
        static constexpr char kZeros[alignof(T)] = {};
        bytes(kZeros, padding(offset_, alignof(T)));
        bytes(items, size);
    }
    void text(const aiString& s) {
        const uint32_t length = std::min<uint32_t>(s.length, MAXLEN - 1);
        value(length);
        bytes(s.data, length);
    }
    // A list of pointers to parts (meshes, bones, channels ...), each packed by `each`.
    template <class T, class Each>
    void list(T** const& items, const unsigned& count, Each each) {
        const unsigned n = items ? count : 0;
        value(n);
        for (unsigned i = 0; i < n; ++i) {
            if (!items[i]) throw ForeignSceneError("the reader left a gap in the scene it built");
            each(*items[i]);
        }
    }
    // Faces as their corner counts (one for all when they agree, as they do after triangulation),
    // then all their corners in one array.
    void faces(aiFace* const& faces, unsigned count) {
        const uint8_t present = faces != nullptr && count > 0;
        value(present);
        if (!present) return;
        const unsigned first = faces[0].mIndices ? faces[0].mNumIndices : 0u;
        bool uniform = true;
        for (unsigned f = 1; f < count && uniform; ++f)
            uniform = (faces[f].mIndices ? faces[f].mNumIndices : 0u) == first;
        value(static_cast<uint8_t>(uniform));
        if (uniform) {
            value(first);
        } else {
            for (unsigned f = 0; f < count; ++f) {
                const unsigned corners = faces[f].mIndices ? faces[f].mNumIndices : 0u;
                small(&corners, sizeof corners);
            }
        }
        bytes(kZeros4, padding(offset_, alignof(unsigned)));
        for (unsigned f = 0; f < count; ++f)
            if (faces[f].mIndices) small(faces[f].mIndices, faces[f].mNumIndices * sizeof(unsigned));
    }
    void finish() { flush(); }

private:
    static constexpr std::size_t kChunk = std::size_t(1) << 20;
    // Arrays at least this large go to the descriptor straight from the scene, not through the buffer.
    static constexpr std::size_t kDirect = std::size_t(64) << 10;
    static constexpr char kZeros4[4] = {};

    // A few bytes (one face's), the common case kept short.
    void small(const void* data, std::size_t n) {
        if (used_ + n > kChunk) return bytes(data, n);
        std::memcpy(buffer_.get() + used_, data, n);
        used_ += n;
        offset_ += n;
    }
    void bytes(const void* data, std::size_t n) {
        offset_ += n;
        if (n >= kDirect) {
            flush();
            writeAll(static_cast<const char*>(data), n);
            return;
        }
        if (used_ + n > kChunk) flush();
        std::memcpy(buffer_.get() + used_, data, n);
        used_ += n;
    }
    void flush() {
        writeAll(buffer_.get(), used_);
        used_ = 0;
    }
    void writeAll(const char* data, std::size_t n) {
        while (n > 0) {
            const ssize_t written = ::write(fd_, data, n);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0)
                throw ForeignSceneError(std::string("cannot hand the scene over (") + std::strerror(errno) + ")");
            data += written;
            n -= static_cast<std::size_t>(written);
        }
    }

    int fd_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::size_t offset_ = 0;
};

// Reads the parts of a scene back, checking every length against the bytes that are left, so that
// no count can make it read past the end or allocate more than the bytes could fill. Arrays are not
// copied: the scene points into the bytes, and every pointer set so is noted in `borrowed`, to be
// cleared before the scene is deleted.
class Unpacker {
public:
    static constexpr bool kReading = true;

    Unpacker(uint8_t* data, std::size_t size, BorrowedArrays& borrowed)
        : start_(data), at_(data), end_(data + size), borrowed_(borrowed) {}

    template <class T>
    void value(T& v) {
        std::memcpy(static_cast<void*>(&v), take(sizeof v), sizeof v);
    }
    // An absent array takes no bytes, whatever the count it would have (a mesh's arrays it does not
    // have are as long as its vertices), so the count is checked against the bytes left only when
    // the array is there.
    template <class T>
    void array(T*& items, std::size_t count) {
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) fail();
        raw(items, count * sizeof(T));
    }
    template <class T>
    void raw(T*& items, std::size_t size) {
        items = nullptr;
        uint8_t present = 0;
        value(present);
        if (!present) return;
        if (size == 0) fail();
        take(padding(static_cast<std::size_t>(at_ - start_), alignof(T)));
        items = reinterpret_cast<T*>(take(size));
        borrowed_.push_back({&items, 1, [](void* slot, std::size_t) { *static_cast<T**>(slot) = nullptr; }});
    }
    void text(aiString& s) {
        uint32_t length = 0;
        value(length);
        if (length >= MAXLEN) fail();
        std::memcpy(s.data, take(length), length);
        s.data[length] = '\0';
        s.length = length;
    }
    // The list's slots start empty, so that a failure part way leaves a scene that deletes cleanly.
    template <class T, class Each>
    void list(T**& items, unsigned& count, Each each) {
        items = nullptr;
        unsigned n = 0;
        value(n);
        count = 0;
        if (n == 0) return;
        if (n > remaining()) fail();  // every part takes at least one byte
        items = new T*[n]();
        count = n;
        for (unsigned i = 0; i < n; ++i) {
            items[i] = new T();
            each(*items[i]);
        }
    }
    void faces(aiFace*& faces, unsigned count) {
        faces = nullptr;
        uint8_t present = 0, uniform = 0;
        value(present);
        if (!present) return;
        value(uniform);
        unsigned corners = 0;  // of every face when uniform
        const uint8_t* counts = nullptr;
        uint64_t allCorners = 0;
        if (uniform) {
            value(corners);
            allCorners = uint64_t(corners) * count;
        } else {
            if (count == 0 || count > remaining() / sizeof(unsigned)) fail();
            counts = take(count * sizeof(unsigned));
            for (unsigned f = 0; f < count; ++f) allCorners += load<unsigned>(counts + f * sizeof(unsigned));
        }
        take(padding(static_cast<std::size_t>(at_ - start_), alignof(unsigned)));
        if (count == 0 || allCorners > remaining() / sizeof(unsigned)) fail();
        auto* indices = reinterpret_cast<unsigned*>(take(allCorners * sizeof(unsigned)));
        faces = new aiFace[count];
        borrowed_.push_back({faces, count, [](void* at, std::size_t n) {
                                 for (std::size_t f = 0; f < n; ++f) static_cast<aiFace*>(at)[f].mIndices = nullptr;
                             }});
        for (unsigned f = 0; f < count; ++f) {
            const unsigned n = counts ? load<unsigned>(counts + f * sizeof(unsigned)) : corners;
            faces[f].mNumIndices = n;
            if (n > 0) faces[f].mIndices = indices;
            indices += n;
        }
    }
    // `size` bytes in place, for a caller that copies them at once.
    const uint8_t* view(std::size_t size) {
        uint8_t present = 0;
        value(present);
        if (!present) return nullptr;
        if (size == 0) fail();
        take(padding(static_cast<std::size_t>(at_ - start_), 1));
        return take(size);
    }
    std::size_t remaining() const { return static_cast<std::size_t>(end_ - at_); }
    [[noreturn]] static void fail() { throw ForeignSceneError("the reading process handed over a damaged scene"); }

private:
    template <class T>
    static T load(const uint8_t* at) {
        T v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    uint8_t* take(std::size_t n) {
        if (n > remaining()) fail();
        uint8_t* here = at_;
        at_ += n;
        return here;
    }

    uint8_t* start_;
    uint8_t* at_;
    uint8_t* end_;
    BorrowedArrays& borrowed_;
};

// The loader walks the node tree by recursion, as the hand-over does and as Assimp frees it: a
// deeper tree is refused while it is packed, and taken for damage when unpacked.
constexpr int kMaxNodeDepth = 4096;

template <class IO>
void transferNode(IO& io, aiNode& node, int depth = 1) {
    if (depth > kMaxNodeDepth) {
        if constexpr (IO::kReading) io.fail();
        throw ForeignSceneError("the node tree is more than " + std::to_string(kMaxNodeDepth) + " levels deep");
    }
    io.text(node.mName);
    io.value(node.mTransformation);
    io.value(node.mNumMeshes);
    io.array(node.mMeshes, node.mNumMeshes);
    io.list(node.mChildren, node.mNumChildren, [&](aiNode& child) {
        if constexpr (IO::kReading) child.mParent = &node;
        transferNode(io, child, depth + 1);
    });
}

template <class IO>
void transferMesh(IO& io, aiMesh& mesh) {
    io.text(mesh.mName);
    io.value(mesh.mPrimitiveTypes);
    io.value(mesh.mMaterialIndex);
    io.value(mesh.mMethod);
    io.value(mesh.mNumVertices);
    io.array(mesh.mVertices, mesh.mNumVertices);
    io.array(mesh.mNormals, mesh.mNumVertices);
    io.array(mesh.mTangents, mesh.mNumVertices);
    io.array(mesh.mBitangents, mesh.mNumVertices);
    for (auto*& colors : mesh.mColors) io.array(colors, mesh.mNumVertices);
    for (unsigned set = 0; set < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++set) {
        io.value(mesh.mNumUVComponents[set]);
        io.array(mesh.mTextureCoords[set], mesh.mNumVertices);
    }
    io.value(mesh.mNumFaces);
    io.faces(mesh.mFaces, mesh.mNumFaces);
    io.list(mesh.mBones, mesh.mNumBones, [&](aiBone& bone) {
        io.text(bone.mName);
        io.value(bone.mOffsetMatrix);
        io.value(bone.mNumWeights);
        io.array(bone.mWeights, bone.mNumWeights);
    });
}

template <class IO>
void transferAnimation(IO& io, aiAnimation& animation) {
    io.text(animation.mName);
    io.value(animation.mDuration);
    io.value(animation.mTicksPerSecond);
    io.list(animation.mChannels, animation.mNumChannels, [&](aiNodeAnim& channel) {
        io.text(channel.mNodeName);
        io.value(channel.mNumPositionKeys);
        io.array(channel.mPositionKeys, channel.mNumPositionKeys);
        io.value(channel.mNumRotationKeys);
        io.array(channel.mRotationKeys, channel.mNumRotationKeys);
        io.value(channel.mNumScalingKeys);
        io.array(channel.mScalingKeys, channel.mNumScalingKeys);
        io.value(channel.mPreState);
        io.value(channel.mPostState);
    });
    io.list(animation.mMeshChannels, animation.mNumMeshChannels, [&](aiMeshAnim& channel) {
        io.text(channel.mName);
        io.value(channel.mNumKeys);
        io.array(channel.mKeys, channel.mNumKeys);
    });
    io.list(animation.mMorphMeshChannels, animation.mNumMorphMeshChannels, [&](aiMeshMorphAnim& channel) {
        io.text(channel.mName);
        io.value(channel.mNumKeys);
        uint8_t hasKeys = channel.mKeys != nullptr && channel.mNumKeys > 0;
        io.value(hasKeys);
        if (!hasKeys) return;
        if constexpr (IO::kReading) {
            if (channel.mNumKeys > io.remaining()) io.fail();
            channel.mKeys = new aiMeshMorphKey[channel.mNumKeys];
        }
        for (unsigned k = 0; k < channel.mNumKeys; ++k) {
            aiMeshMorphKey& key = channel.mKeys[k];
            io.value(key.mTime);
            io.value(key.mNumValuesAndWeights);
            io.array(key.mValues, key.mNumValuesAndWeights);
            io.array(key.mWeights, key.mNumValuesAndWeights);
        }
    });
}

// A compressed texture holds mWidth bytes (its pcData may be allocated to exactly that); a plain one
// mWidth × mHeight texels.
template <class IO>
void transferTexture(IO& io, aiTexture& texture) {
    io.value(texture.mWidth);
    io.value(texture.mHeight);
    io.value(texture.achFormatHint);
    if constexpr (IO::kReading) texture.achFormatHint[HINTMAXTEXTURELEN - 1] = '\0';
    io.text(texture.mFilename);
    if (texture.mHeight != 0) io.array(texture.pcData, std::size_t(texture.mWidth) * texture.mHeight);
    else io.raw(texture.pcData, texture.mWidth);
}

// Material properties go through the material's own interface on the way in.
void packMaterial(Packer& io, const aiMaterial& material) {
    io.value(material.mNumProperties);
    for (unsigned i = 0; i < material.mNumProperties; ++i) {
        const aiMaterialProperty& property = *material.mProperties[i];
        io.text(property.mKey);
        io.value(property.mSemantic);
        io.value(property.mIndex);
        io.value(property.mType);
        io.value(property.mDataLength);
        io.array(property.mData, property.mDataLength);
    }
}

void unpackMaterial(Unpacker& io, aiMaterial& material) {
    unsigned count = 0;
    io.value(count);
    if (count > io.remaining()) io.fail();
    for (unsigned i = 0; i < count; ++i) {
        aiString key;
        unsigned semantic = 0, index = 0, length = 0;
        std::underlying_type_t<aiPropertyTypeInfo> type = 0;
        io.text(key);
        io.value(semantic);
        io.value(index);
        io.value(type);
        if (type < aiPTI_Float || type > aiPTI_Buffer) io.fail();
        io.value(length);
        const uint8_t* data = io.view(length);
        if (data)
            material.AddBinaryProperty(data, length, key.C_Str(), semantic, index, static_cast<aiPropertyTypeInfo>(type));
    }
}

template <class IO>
void transferScene(IO& io, aiScene& scene) {
    io.value(scene.mFlags);
    io.text(scene.mName);
    uint8_t hasRoot = scene.mRootNode != nullptr;
    io.value(hasRoot);
    if (hasRoot) {
        if constexpr (IO::kReading) scene.mRootNode = new aiNode();
        transferNode(io, *scene.mRootNode);
    }
    io.list(scene.mMeshes, scene.mNumMeshes, [&](aiMesh& mesh) { transferMesh(io, mesh); });
    io.list(scene.mMaterials, scene.mNumMaterials, [&](aiMaterial& material) {
        if constexpr (IO::kReading) unpackMaterial(io, material);
        else packMaterial(io, material);
    });
    io.list(scene.mAnimations, scene.mNumAnimations, [&](aiAnimation& animation) { transferAnimation(io, animation); });
    io.list(scene.mTextures, scene.mNumTextures, [&](aiTexture& texture) { transferTexture(io, texture); });
    // Lights and cameras are plain values.
    io.list(scene.mLights, scene.mNumLights, [&](aiLight& light) { io.value(light); });
    io.list(scene.mCameras, scene.mNumCameras, [&](aiCamera& camera) { io.value(camera); });
}

}  // namespace

void packScene(const aiScene& scene, int fd) {
    Packer packer(fd);
    transferScene(packer, const_cast<aiScene&>(scene));
    packer.finish();
}

std::shared_ptr<const aiScene> unpackScene(uint8_t* data, std::size_t size, std::function<void()> release) {
    // The deleter clears what points into the bytes, deletes the rest, then lets the bytes go; it
    // also runs when unpacking fails part way.
    std::shared_ptr<aiScene> scene;
    std::shared_ptr<BorrowedArrays> borrowed;
    try {
        borrowed = std::make_shared<BorrowedArrays>();
        scene.reset(new aiScene(), [borrowed, release](aiScene* done) {
            for (const BorrowedArray& array : *borrowed) array.clear(array.at, array.count);
            delete done;
            if (release) release();
        });
    } catch (...) {
        if (release) release();
        throw;
    }
    Unpacker unpacker(data, size, *borrowed);
    transferScene(unpacker, *scene);
    if (unpacker.remaining() != 0) unpacker.fail();
    return scene;
}

}  // namespace headless::foreign
