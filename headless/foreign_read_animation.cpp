// Node animation of foreign scene files: the first animation's channels as keyed local transforms
// (one key at every time any of the channel's position, rotation or scale keys has), the scene's
// animation range, and its frame where the keys are frames of the file.
#include "headless/foreign_read.h"

#include "headless/host.h"
#include "headless/scene_node.h"

#include <assimp/anim.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>

namespace headless::foreign {

namespace {

// Files that do not say how fast their ticks run count 25 per second (the usual default).
constexpr double kDefaultTicksPerSecond = 25.0;
// The longest step of keys taken for frames of the file: 20 frames a second. Keys further apart
// are poses, between which the scene's frames sample the motion.
constexpr int64_t kLongestFileFrame = TIME_TICKSPERSEC / 20;

// Value of a key track at time t: linear between keys, the end keys held outside them.
template <typename Key, typename Blend>
auto sample(const Key* keys, unsigned count, double t, Blend blend) -> decltype(keys[0].mValue) {
    if (count == 0) return {};
    if (t <= keys[0].mTime) return keys[0].mValue;
    if (t >= keys[count - 1].mTime) return keys[count - 1].mValue;
    const Key* next = std::upper_bound(keys, keys + count, t, [](double time, const Key& k) { return time < k.mTime; });
    const Key* prev = next - 1;
    // At a key's own time its value as it is: blending (a quaternion's included) would add noise.
    if (t == prev->mTime) return prev->mValue;
    const double span = next->mTime - prev->mTime;
    const float u = span > 0.0 ? static_cast<float>((t - prev->mTime) / span) : 0.0f;
    return blend(prev->mValue, next->mValue, u);
}

aiVector3D lerp(const aiVector3D& a, const aiVector3D& b, float u) { return a + (b - a) * u; }

aiQuaternion slerp(const aiQuaternion& a, const aiQuaternion& b, float u) {
    aiQuaternion out;
    aiQuaternion::Interpolate(out, a, b, u);
    return out.Normalize();
}

// A key's local transform: scaled, then turned, then moved (T × R × S on column vectors), the
// order in which aiMatrix4x4::Decompose takes a transform apart and files key it. Assimp's matrix
// constructor from the three parts scales the rotation's rows, not its columns, which shears a
// turned node scaled unevenly.
aiMatrix4x4 composeKey(const aiVector3D& scale, const aiQuaternion& rotation, const aiVector3D& position) {
    const aiMatrix3x3 r = rotation.GetMatrix();
    return aiMatrix4x4(r.a1 * scale.x, r.a2 * scale.y, r.a3 * scale.z, position.x,  //
                       r.b1 * scale.x, r.b2 * scale.y, r.b3 * scale.z, position.y,  //
                       r.c1 * scale.x, r.c2 * scale.y, r.c3 * scale.z, position.z,  //
                       0, 0, 0, 1);
}

}  // namespace

void buildAnimation(ReadState& state) {
    if (state.ai.mNumAnimations == 0) return;
    if (state.ai.mNumAnimations > 1) {
        std::string names;
        for (unsigned a = 1; a < state.ai.mNumAnimations; ++a) {
            if (!names.empty()) names += ", ";
            const std::string name = state.ai.mAnimations[a]->mName.C_Str();
            names += name.empty() ? "#" + std::to_string(a + 1) : "\"" + name + "\"";
        }
        state.report.warnings.push_back("only the first animation is kept; left out: " + names);
    }
    const aiAnimation& animation = *state.ai.mAnimations[0];
    if (animation.mNumMeshChannels > 0 || animation.mNumMorphMeshChannels > 0)
        state.report.warnings.push_back("vertex and morph animation left out: only node transforms are kept");
    const double ticksPerSecond = animation.mTicksPerSecond > 0.0 ? animation.mTicksPerSecond : kDefaultTicksPerSecond;
    const auto toTicks = [&](double fileTime) { return secondsToTicks(fileTime / ticksPerSecond); };
    std::vector<TimeValue> keyTicks;

    TimeValue first = 0;
    TimeValue last = animation.mDuration > 0.0 ? toTicks(animation.mDuration) : 0;
    std::size_t unknown = 0;
    std::unordered_map<INode*, const aiNode*> sources;
    for (const auto& [source, host] : state.nodes)
        if (host) sources.emplace(host, source);
    // Channels name their node by name. Where several nodes share it, the k-th channel of the name
    // keys the k-th node of it (in depth-first order), which need not be the node the file meant:
    // such names are counted in a warning.
    std::unordered_map<std::string, std::size_t> channelsOfName;
    std::set<std::string> shared;
    for (unsigned c = 0; c < animation.mNumChannels; ++c) {
        const aiNodeAnim& channel = *animation.mChannels[c];
        const std::string name = channel.mNodeName.C_Str();
        const std::vector<INode*>& named = state.nodesNamed(name);
        if (named.size() > 1) shared.insert(name);
        const std::size_t k = channelsOfName[name]++;
        // (More channels than nodes of a name key the last one, as several channels of one node do.)
        auto* node = named.empty() ? nullptr : dynamic_cast<Node*>(named[std::min(k, named.size() - 1)]);
        if (!node) {
            ++unknown;
            continue;
        }
        std::set<double> times;
        for (unsigned k = 0; k < channel.mNumPositionKeys; ++k) times.insert(channel.mPositionKeys[k].mTime);
        for (unsigned k = 0; k < channel.mNumRotationKeys; ++k) times.insert(channel.mRotationKeys[k].mTime);
        for (unsigned k = 0; k < channel.mNumScalingKeys; ++k) times.insert(channel.mScalingKeys[k].mTime);
        if (times.empty()) continue;

        // Parts a channel does not key keep the node's own value.
        aiVector3D scale0(1, 1, 1), position0;
        aiQuaternion rotation0;
        if (auto it = sources.find(node); it != sources.end())
            it->second->mTransformation.Decompose(scale0, rotation0, position0);

        for (double t : times) {
            const aiVector3D position = channel.mNumPositionKeys ? sample(channel.mPositionKeys, channel.mNumPositionKeys, t, lerp) : position0;
            const aiQuaternion rotation = channel.mNumRotationKeys ? sample(channel.mRotationKeys, channel.mNumRotationKeys, t, slerp) : rotation0;
            const aiVector3D scale = channel.mNumScalingKeys ? sample(channel.mScalingKeys, channel.mNumScalingKeys, t, lerp) : scale0;
            const TimeValue tick = toTicks(t);
            keyTicks.push_back(tick);
            const Matrix3 key = toMatrix3(composeKey(scale, rotation, position));
            node->addKey(tick, key);
            if (auto parts = state.meshParts.find(node); parts != state.meshParts.end())
                for (Node* part : parts->second) part->addKey(tick, key);
            first = std::min(first, tick);
            last = std::max(last, tick);
        }
        ++state.report.animatedNodes;
    }
    if (unknown)
        state.report.warnings.push_back("animation: " + countOf(unknown, "channel names", "channels name") +
                                         " no node of the file");
    if (!shared.empty())
        state.report.warnings.push_back("animation: " + countOf(shared.size(), "node name", "node names") + " (\"" +
                                         *shared.begin() + "\"" + (shared.size() > 1 ? " ..." : "") +
                                         ") shared by several nodes: the channels of a name key its nodes in "
                                         "the order of the node tree, which need not be the model's pairing");
    if (state.report.animatedNodes == 0) return;
    state.host.SetAnimRange(Interval(first, std::max(last, first + 1)));
    // Tools bake animation into a key every frame: keys on a grid of frames from the start of the
    // range (to the nearest tick: a frame time the file rounds, 0.0083333 s for 120 a second, drifts
    // off the grid by a fraction of a tick over thousands of frames), two of them a frame apart, the
    // frame short enough to be one. Where the scene's frames would fall between them (a file of 24
    // or 60 frames a second in a scene of 30), the scene takes the file's frame, so that an export
    // writes the file's own keys rather than samples between them.
    std::sort(keyTicks.begin(), keyTicks.end());
    keyTicks.erase(std::unique(keyTicks.begin(), keyTicks.end()), keyTicks.end());
    // A key one tick before the next holds the value before a step (see holdStepKeys): no frame.
    std::vector<TimeValue> onFrames;
    onFrames.reserve(keyTicks.size());
    for (std::size_t k = keyTicks.size(); k-- > 0;)
        if (onFrames.empty() || onFrames.back() - keyTicks[k] != 1) onFrames.push_back(keyTicks[k]);
    std::reverse(onFrames.begin(), onFrames.end());
    keyTicks.swap(onFrames);
    int64_t step = 0, shortestGap = INT64_MAX;
    for (std::size_t k = 0; k < keyTicks.size(); ++k) {
        step = std::gcd(step, int64_t{keyTicks[k]} - first);
        if (k > 0) shortestGap = std::min(shortestGap, int64_t{keyTicks[k]} - keyTicks[k - 1]);
    }
    if (step > 0 && step == shortestGap && step <= kLongestFileFrame && step % state.host.GetTicksPerFrame() != 0)
        state.host.SetTicksPerFrame(static_cast<int>(step));
}

}  // namespace headless::foreign
