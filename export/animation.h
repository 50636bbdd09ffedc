#pragma once
// Transform tracks: each visited node's transform sampled once per frame over the animation range,
// keeping a keyframe only where the world matrix changes.
#include "format/records.h"
#include "host/types.h"

#include <cstdint>

class INode;
class Interface;

namespace zeq {

// Seconds per tick as a 32-bit float (1 / 4800).
inline constexpr float kSecondsPerTick = 0.00020833334f;

// The most frames of an animation range the exporter samples (for each node): 2^27, over seven
// hours at a frame a tick. Sampling is some tens of nanoseconds a frame.
inline constexpr int64_t kMaxSampledFrames = int64_t(1) << 27;

// Samples the node at start, start + ticksPerFrame, ... up to end. A keyframe is written where the
// world matrix differs (beyond 0.000001) from the last keyed one, which starts as the identity. The
// keyframe transform is relative to the parent unless the parent is the scene root; relativeTo, when
// given, takes the parent's place (a LOD level exported below its LOD node). The track's id is left
// 0; no keyframes for an empty range. A range of more than kMaxSampledFrames frames, or a track of
// more keyframes than the file holds, throws std::length_error.
Zeq2Track sampleTrack(INode* node, Interval range, int ticksPerFrame, INode* relativeTo = nullptr);

// The tracks of one export, in creation order, with their own 32-bit id counter.
class TrackList {
public:
    // Range and frame length come from the host interface `ip`.
    explicit TrackList(Interface* ip) : ip_(ip) {}

    // Samples the node over the host's animation range and keeps the track when it has two
    // keyframes or more, or one after the range's start (a node that left the identity once); only
    // kept tracks take an id. relativeTo as for sampleTrack.
    void recordTrack(INode* node, INode* relativeTo = nullptr);

    const TArray<Zeq2Track>& tracks() const { return tracks_; }
    // Hands the list over and empties it.
    TArray<Zeq2Track> takeTracks();

private:
    Interface* ip_;
    TArray<Zeq2Track> tracks_;
    int32_t nextId_ = 0;
};

}  // namespace zeq
