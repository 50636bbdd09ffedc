#include "export/animation.h"

#include "codec/null_map.h"
#include "export/transformation.h"
#include "host/host.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zeq {

Zeq2Track sampleTrack(INode* node, Interval range, int ticksPerFrame, INode* relativeTo) {
    Zeq2Track track;
    track.objectName = node->GetName() ? node->GetName() : "";
    // Computed in 64 bits so that a range ending at the largest tick neither overflows nor loops.
    const int64_t start = range.Start();
    const int64_t end = range.End();
    if (end + 1 <= start) return track;
    // A non-positive frame length would never advance; such a range is sampled at its start only.
    const int64_t step = ticksPerFrame > 0 ? ticksPerFrame : end - start + 1;
    // Every frame of the range is sampled, for every node: a range of a tick a frame can hold four
    // billion frames, which would take hours, so a range of more than kMaxSampledFrames is refused
    // before its first frame.
    if (const int64_t frames = (end - start) / step + 1; frames > kMaxSampledFrames)
        throw std::length_error("The animation range holds " + std::to_string(frames) + " frames, more than the " +
                                std::to_string(kMaxSampledFrames) +
                                " the exporter samples; a shorter range or longer frames make it fit");

    // A frame is keyed when the node's world transform changes, or when the transform the key
    // holds, relative to the parent, does: a node that stays still in the world while its parent
    // moves changes that transform every frame, and without keys would follow its parent.
    INode* parent = relativeTo ? relativeTo : node->GetParentNode();
    if (parent && parent->IsRootNode()) parent = nullptr;
    Matrix3 previousWorld, previousLocal;  // the identity
    for (int64_t tick = start; tick <= end; tick += step) {
        const TimeValue t = static_cast<TimeValue>(tick);
        const Matrix3 world = node->GetNodeTM(t);
        // Relative to the node's own parent the host gives the matrix as it keeps it, unrounded.
        const bool ownParent = !relativeTo || relativeTo == node->GetParentNode();
        const Matrix3 local = ownParent ? node->GetLocalTM(t) : parent ? world * Inverse(parent->GetNodeTM(t)) : world;
        if (world.Equals(previousWorld, 1e-6f) && local.Equals(previousLocal, 1e-6f)) continue;
        previousWorld = world;
        previousLocal = local;

        // A track holds at most kMaxLength keys.
        if (track.keyframes.size() == kMaxLength)
            throw std::length_error("The node \"" + track.objectName + "\" moves in more than " +
                                    std::to_string(kMaxLength) +
                                    " frames, the most keys a track can hold; a shorter range or longer frames make it fit");
        Zeq2Keyframe keyframe;
        keyframe.time = static_cast<float>(t) * kSecondsPerTick;
        keyframe.transform = TransformationFactory::createTransformation(local);
        track.keyframes.add(keyframe);
    }
    return track;
}

void TrackList::recordTrack(INode* node, INode* relativeTo) {
    const Interval range = ip_->GetAnimRange();
    Zeq2Track track = sampleTrack(node, range, ip_->GetTicksPerFrame(), relativeTo);
    // A node that never moves gives one keyframe at most, at the range's start: nothing to animate.
    // A single keyframe after the start is a node that left the identity once: it moved.
    const auto& keys = track.keyframes;
    if (keys.empty() || (keys.size() == 1 && keys.get(0).time == static_cast<float>(range.Start()) * kSecondsPerTick))
        return;
    track.id = nextId_++;
    tracks_.add(std::move(track));
}

TArray<Zeq2Track> TrackList::takeTracks() {
    TArray<Zeq2Track> out = std::move(tracks_);
    tracks_ = {};
    return out;
}

}  // namespace zeq
