// Tracks: each becomes keys on the transform of the node it names.
//
// A track names its node; among the nodes of that name the file creates, it keys the one whose
// record transform agrees with it. The exporter writes record transforms at the start of the
// animation range and a key only where the transform changed, starting from the identity: a track
// keyed from the start begins with its node's record transform, and a track whose keys begin later
// belongs to a node at the identity then (in the world and relative to its parent). Where that
// tells nothing apart, the k-th track of a name keys the k-th node of that name (in id order,
// leaving out the content record of a pivot offset, which the scene builder folded into the node
// of its object record, whose track it shares). A name the file does not create is looked up in
// the scene (a file of tracks alone animates the scene it is imported into); a name found nowhere
// gets a dummy helper, so that no animation is lost.
//
// The exporter samples every frame and keeps a key only where the transform changed. So the node
// held its last key's transform until the frame before the next key: a key of that transform is
// set there, a frame of the file before it. The file's frame comes from the step of its key times;
// where the host's frames would miss keys of the file (the step is no multiple of the host's
// frame), the scene takes it, so that the next export samples every key again, and the range's
// start moves onto the file's frames. A scene with animation of its own keeps every frame it had,
// on which its own keys lie, taking a shorter frame where one meets the file's keys too.
// Before the first key a node of the file holds its record's transform, which the exporter samples
// at the start of the range (and other writers give as the rest pose); a node of the scene or a
// new helper holds the identity, from which the exporter starts. Keys are local to the parent, like
// the record transforms.
#include "host/interface.h"
#include "host/node.h"
#include "host/scene_building.h"
#include "import/scene_builder.h"
#include "import/scene_run.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace zeq {
namespace {

// Seconds to ticks (4800 per second).
constexpr double kTicksPerSecond = 4800.0;
// The shortest frame a file's keys are taken to step by: 240 frames a second.
constexpr int64_t kShortestFrame = TIME_TICKSPERSEC / 240;
// How far a record transform and a key written from the same host matrix may differ.
constexpr float kSameTransform = 1e-5f;

using Keys = std::map<TimeValue, Matrix3>;

// The node records of each name, in id order; the content record of a pivot offset is left out, a
// second record of its object record's node, which has one track for both.
std::unordered_map<std::string, std::vector<PlannedNode*>> recordsByName(SceneRun& run) {
    std::vector<PlannedNode*> nodes;
    for (PlannedNode& planned : run.planned)
        if (planned.named && !planned.pivotHolder) nodes.push_back(&planned);
    std::stable_sort(nodes.begin(), nodes.end(),
                     [](const PlannedNode* a, const PlannedNode* b) { return a->id < b->id; });
    std::unordered_map<std::string, std::vector<PlannedNode*>> byName;
    for (PlannedNode* node : nodes) byName[node->name].push_back(node);
    return byName;
}

// The file's node record each track keys; null where the file has no record of the track's name.
// `firstKey` is the earliest key of the file, the latest the range it was written for can start at.
std::vector<PlannedNode*> recordsOfTracks(SceneRun& run, const TArray<Zeq2Track>& tracks,
                                          const std::vector<Keys>& keys, TimeValue firstKey) {
    const auto byName = recordsByName(run);

    // How surely a record is the node of a track: 2 when its transform is what the track holds at
    // the start of the range, 1 when it may be (the range may start before the file's first key,
    // with the node at the identity), 0 when nothing tells.
    auto agreement = [&](std::size_t track, const PlannedNode* planned) {
        if (keys[track].empty()) return 0;
        const std::size_t n = static_cast<std::size_t>(planned - run.planned.data());
        const Matrix3& record = run.hierarchy.local(n);
        const auto& [time, first] = *keys[track].begin();
        // The exporter keys a node from the identity, in the world and relative to its parent: one
        // whose first key comes later stood at the identity in both.
        const bool identity = record.IsIdentity(kSameTransform) && run.hierarchy.world(n).IsIdentity(kSameTransform);
        if (time > firstKey) return identity ? 2 : 0;
        if (record.Equals(first, kSameTransform)) return 2;
        return identity ? 1 : 0;
    };

    // A node that moves moves everything below it in the world, and the exporter keys each such
    // node: a record whose nodes, itself and those below it, hold more of some name than there are
    // tracks of that name does not move. Asked only of records of a name that has more records than
    // tracks (the choice of the others changes nothing); a walk that goes past kWalkLimit nodes
    // leaves the record as one that may move.
    std::unordered_map<std::string, std::size_t> tracksNamed;
    for (const Zeq2Track& track : tracks) ++tracksNamed[track.objectName];
    std::vector<std::vector<std::size_t>> children;
    std::vector<int8_t> moves(run.planned.size(), -1);  // what mayMove found for each record
    auto walkMayMove = [&](const PlannedNode* planned) {
        const auto records = byName.find(planned->name);
        if (records == byName.end() || records->second.size() <= tracksNamed[planned->name]) return true;
        if (children.empty()) {
            children.resize(run.planned.size());
            for (std::size_t n = 0; n < run.planned.size(); ++n)
                if (const auto up = run.hierarchy.parentOf(n)) children[*up].push_back(n);
        }
        constexpr std::size_t kWalkLimit = 100000;
        std::unordered_map<std::string, std::size_t> below;
        std::vector<std::size_t> pending{static_cast<std::size_t>(planned - run.planned.data())};
        std::unordered_set<std::size_t> seen;
        while (!pending.empty()) {
            const std::size_t n = pending.back();
            pending.pop_back();
            if (!seen.insert(n).second) continue;
            if (seen.size() > kWalkLimit) return true;
            const PlannedNode& node = run.planned[n];
            if (node.named && !node.pivotHolder) {
                const auto tracked = tracksNamed.find(node.name);
                if (++below[node.name] > (tracked == tracksNamed.end() ? 0 : tracked->second)) return false;
            }
            pending.insert(pending.end(), children[n].begin(), children[n].end());
        }
        return true;
    };
    auto mayMove = [&](const PlannedNode* planned) {
        int8_t& known = moves[static_cast<std::size_t>(planned - run.planned.data())];
        if (known < 0) known = walkMayMove(planned) ? 1 : 0;
        return known == 1;
    };

    std::vector<PlannedNode*> records(tracks.size(), nullptr);
    std::vector<char> keyed(run.planned.size(), 0);
    auto isKeyed = [&](const PlannedNode* planned) {
        return keyed[static_cast<std::size_t>(planned - run.planned.data())] != 0;
    };
    auto take = [&](std::size_t track, PlannedNode* planned) {
        records[track] = planned;
        keyed[static_cast<std::size_t>(planned - run.planned.data())] = 1;
    };
    // The records of a name before its cursor are all keyed: a search starts there, so that many
    // tracks of one name, each taking the next record, take time linear in their number.
    std::unordered_map<std::string, std::size_t> cursor;
    auto unkeyed = [&](const std::string& name, const std::vector<PlannedNode*>& list) {
        std::size_t& from = cursor[name];
        while (from < list.size() && isKeyed(list[from])) ++from;
        return from;
    };
    // Surest first; at equal agreement a record that may move before one that does not, then the
    // lower id.
    for (int level = 2; level >= 1; --level) {
        for (const bool anyRecord : {false, true}) {
            for (std::size_t i = 0; i < tracks.size(); ++i) {
                const auto found = byName.find(tracks.items[i].objectName);
                if (records[i] || found == byName.end()) continue;
                const std::vector<PlannedNode*>& list = found->second;
                for (std::size_t c = unkeyed(found->first, list); c < list.size(); ++c) {
                    PlannedNode* planned = list[c];
                    if (!isKeyed(planned) && agreement(i, planned) >= level && (anyRecord || mayMove(planned))) {
                        take(i, planned);
                        break;
                    }
                }
            }
        }
    }
    // The rest in order: the first record of the name not keyed yet; more tracks than records: the
    // last record takes the extra tracks.
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const auto found = byName.find(tracks.items[i].objectName);
        if (records[i] || found == byName.end() || found->second.empty()) continue;
        const std::size_t c = unkeyed(found->first, found->second);
        take(i, c < found->second.size() ? found->second[c] : found->second.back());
    }
    return records;
}

// A dummy helper at the scene root for a track whose node is nowhere.
INode* helperFor(SceneRun& run, const std::string& name) {
    ImpNode* node = run.ii->CreateNode();
    node->SetName(name.c_str());
    if (Object* dummy = createObject(HELPER_CLASS_ID, DUMMY_CLASS_ID)) node->Reference(dummy);
    run.ii->AddNodeToScene(node);
    return node->GetINode();
}

// The step of a key time in float seconds, in ticks: far from 0 a float time steps over several
// ticks, and the tick it was written for is then no longer known.
double floatStepInTicks(float seconds) {
    const float magnitude = std::fabs(seconds);
    return (static_cast<double>(std::nextafter(magnitude, std::numeric_limits<float>::infinity())) - magnitude) *
           kTicksPerSecond;
}

// A key time in ticks, the nearest tick; none beyond what a TimeValue holds. Near either end of
// that range a float time of seconds lies up to half a float step (there dozens of ticks) from the
// tick it was written for, so a time within one such step past an end is taken as that end.
std::optional<TimeValue> tickOf(float seconds) {
    const double ticks = std::round(static_cast<double>(seconds) * kTicksPerSecond);
    if (!std::isfinite(ticks)) return std::nullopt;
    const double step = floatStepInTicks(seconds);
    constexpr double lowest = std::numeric_limits<TimeValue>::min();
    constexpr double highest = std::numeric_limits<TimeValue>::max();
    if (ticks < lowest - step - 1 || ticks > highest + step + 1) return std::nullopt;
    return static_cast<TimeValue>(std::clamp(ticks, lowest, highest));
}

void keyTrack(INode* node, const Keys& keys, TimeValue start, int64_t frame, const Matrix3& before) {
    // Keys are relative to the parent. A host that sets them through the parent's world needs the
    // parent's keys first, which they are (tracks come in visiting order).
    auto setKey = [&](TimeValue t, const Matrix3& local) { node->SetLocalTM(t, local); };
    Matrix3 previous = before;
    int64_t previousTime = start;  // 64 bits: a frame before a key near the lowest tick
    bool first = true;
    for (const auto& [t, local] : keys) {
        if (first && t > start) setKey(start, previous);
        if (t - frame > previousTime) setKey(static_cast<TimeValue>(t - frame), previous);
        setKey(t, local);
        previous = local;
        previousTime = t;
        first = false;
    }
}

// Whether a node of the scene moves: its transform holds for less than all time. The file's nodes
// have no keys yet, so this is the scene's own animation.
// Visits the scene's nodes, the root first, parents before their children in host order, while
// visit(node) returns true.
template <class Visit>
void visitScene(Interface* ip, Visit&& visit) {
    std::vector<INode*> pending{ip->GetRootNode()};
    while (!pending.empty()) {
        INode* node = pending.back();
        pending.pop_back();
        if (!node) continue;
        if (!visit(node)) return;
        for (int c = node->NumberOfChildren() - 1; c >= 0; --c) pending.push_back(node->GetChildNode(c));
    }
}

bool sceneMoves(Interface* ip) {
    bool moves = false;
    visitScene(ip, [&](INode* node) {
        Interval valid = FOREVER;
        node->GetNodeTM(0, &valid);
        moves = !(valid == FOREVER);
        return !moves;
    });
    return moves;
}

// Whether a number of ticks is the host's frame at some whole number of frames a second (its
// ticks per frame, rounded down: 685 at 7 a second).
bool isHostFrame(int64_t ticks) {
    return ticks > 0 && ticks <= TIME_TICKSPERSEC && TIME_TICKSPERSEC / (TIME_TICKSPERSEC / ticks) == ticks;
}

// The frame of a file whose key times step by `step` ticks, or 0 where none is at least the
// shortest. A step of the host's frame at 10 frames a second or more is the frame. A longer one,
// or one of no rate, is a run of frames in which every node held its pose (keys 1,000 or 1,200
// ticks apart: five or six frames of 24 a second): the frame is the longest of the usual rates
// (24, 25, 30, 50, 60 a second) that divides it, else the longest frame of any rate that does. So
// the nodes hold their poses in the host too, on frames that still meet every key.
int64_t frameOfStep(int64_t step) {
    constexpr int64_t kSlowestRate = 10;
    if (step >= kShortestFrame && step <= TIME_TICKSPERSEC / kSlowestRate && isHostFrame(step)) return step;
    for (const int64_t usual : {200, 192, 160, 96, 80})
        if (step % usual == 0) return usual;
    for (int64_t frame = std::min<int64_t>(step, TIME_TICKSPERSEC); frame >= kShortestFrame; --frame)
        if (step % frame == 0 && isHostFrame(frame)) return frame;
    return 0;
}

}  // namespace

std::vector<std::pair<std::string, Matrix3>> tracksKeyedFromTheStart(const SceneRun& run) {
    const auto& tracks = listOf(run.root.tracks);
    std::vector<std::optional<std::pair<TimeValue, const Zeq2Keyframe*>>> firsts(tracks.size());
    std::optional<TimeValue> start;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        for (const Zeq2Keyframe& key : tracks.items[i].keyframes) {
            const std::optional<TimeValue> t = tickOf(key.time);
            if (!t || (firsts[i] && firsts[i]->first < *t)) continue;  // a later key at the same tick wins
            firsts[i] = std::make_pair(*t, &key);
        }
        if (firsts[i]) start = std::min(start.value_or(firsts[i]->first), firsts[i]->first);
    }
    std::vector<std::pair<std::string, Matrix3>> keyed;
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (firsts[i] && firsts[i]->first == start)
            keyed.emplace_back(tracks.items[i].objectName, toMatrix3(firsts[i]->second->transform));
    return keyed;
}

void buildTracks(SceneRun& run) {
    const auto& tracks = listOf(run.root.tracks);
    if (tracks.empty()) return;
    Interface* ip = GetCOREInterface();
    const int ticksPerFrame = std::max(ip ? ip->GetTicksPerFrame() : GetTicksPerFrame(), 1);
    const Interval sceneRange = ip ? ip->GetAnimRange() : Interval(0, 0);

    // Key times in ticks.
    std::vector<Keys> keys(tracks.size());
    std::optional<TimeValue> firstKey, lastKey;
    std::vector<int64_t> exactTicks;  // keys whose time names one tick
    bool wholeTicks = true;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const Zeq2Track& track = tracks.items[i];
        for (const Zeq2Keyframe& key : track.keyframes) {
            const std::optional<TimeValue> t = tickOf(key.time);
            if (!t) {
                run.report.skip("track \"" + track.objectName + "\": a key at " + std::to_string(key.time) +
                                " s is out of range; skipped");
                continue;
            }
            keys[i][*t] = toMatrix3(key.transform);  // a later key at the same tick replaces an earlier one
            firstKey = std::min(firstKey.value_or(*t), *t);
            lastKey = std::max(lastKey.value_or(*t), *t);
            if (floatStepInTicks(key.time) < 0.05) {  // within 128 s of 0
                exactTicks.push_back(*t);
                const double ticks = static_cast<double>(key.time) * kTicksPerSecond;
                wholeTicks = wholeTicks && std::fabs(ticks - std::round(ticks)) < 0.1;
            }
        }
    }

    // Each track's node, and the transform it holds before its first key: its record's, or the
    // identity for a node of the scene or a new helper.
    const std::vector<PlannedNode*> records = recordsOfTracks(run, tracks, keys, firstKey.value_or(0));
    std::vector<INode*> nodes(tracks.size());
    std::vector<Matrix3> before(tracks.size());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        if (const PlannedNode* planned = records[i]) {
            nodes[i] = planned->node;
            before[i] = run.hierarchy.local(static_cast<std::size_t>(planned - run.planned.data()));
        }
    }

    // The file's frame: the exporter keys the range's start plus whole frames, so every step between
    // key times that name a tick is a multiple of it (times off whole ticks give none). The export
    // samples the scene's frames from its range's start, which must then meet every key:
    // - a scene with animation of its own keeps its start and every frame it had, on which its own
    //   keys lie, and takes a shorter frame where the file's keys fall between (60 frames a second
    //   in a scene of 30), as long as that frame is at least 1/240 s; it grows its range by whole
    //   frames;
    // - any other scene takes the file's frame where its own would miss keys (a file of 24 frames
    //   a second in a scene of 30), unless that frame is shorter than 1/240 s; its range grows to
    //   the keys and starts on their frames (in a scene with no nodes before the import, on the
    //   first key, as the file's range did).
    int64_t step = 0;
    if (wholeTicks)
        for (int64_t t : exactTicks) step = std::gcd(step, t - exactTicks.front());
    int64_t frame = ticksPerFrame;  // the scene's afterwards
    int64_t start = std::min<int64_t>(sceneRange.Start(), firstKey.value_or(sceneRange.Start()));
    if (firstKey && ip && sceneMoves(ip)) {
        if (step > 0) {
            const int64_t offset = exactTicks.front() - sceneRange.Start();
            const int64_t common = std::gcd(std::gcd<int64_t>(ticksPerFrame, step), offset);
            if (common >= kShortestFrame) frame = common;
        }
        const int64_t framesBefore = (sceneRange.Start() - start + frame - 1) / frame;
        start = std::max<int64_t>(sceneRange.Start() - framesBefore * frame, std::numeric_limits<TimeValue>::min());
    } else if (firstKey) {
        if (step > 0 && step % ticksPerFrame != 0) {
            if (const int64_t fileFrame = frameOfStep(step); fileFrame > 0) frame = fileFrame;
        }
        // Two key times at least tell where the frames are. The start moves later by less than a
        // frame, passing no key (in an empty scene, onto the first key); where a node of the file
        // then starts on its first key but its record holds another transform, the range started a
        // frame earlier. (A file of tracks alone has no records; its keys start from the identity.)
        if (wholeTicks && step > 0 && step % frame == 0) {
            const int64_t from = run.sceneWasEmpty ? *firstKey : start;
            int64_t onFrames = from + ((exactTicks.front() - from) % frame + frame) % frame;
            bool heldBefore = false;
            for (std::size_t i = 0; i < tracks.size(); ++i)
                heldBefore = heldBefore || (records[i] && !keys[i].empty() && keys[i].begin()->first == onFrames &&
                                            !keys[i].begin()->second.Equals(before[i], kSameTransform));
            if (heldBefore) onFrames -= frame;
            if (onFrames <= *firstKey && onFrames >= std::numeric_limits<TimeValue>::min()) start = onFrames;
        }
    }
    // Keys closer than the frames the scene keeps (none shorter than 1/240 s) hold between them, but
    // an export samples the frames alone.
    if (step > 0 && step % frame != 0)
        run.report.skip("tracks: key times on a grid of " + std::to_string(step) + (step == 1 ? " tick" : " ticks") +
                        " fall between the scene's frames of " + std::to_string(frame) +
                        " ticks; an export samples the frames alone");
    // The range grows to the first frame at or after the last key, which the export then samples.
    int64_t end = sceneRange.End();
    if (lastKey && *lastKey > end)
        end = std::min<int64_t>(start + (*lastKey - start + frame - 1) / frame * frame, TIME_PosInfinity);
    const Interval range(static_cast<TimeValue>(start), static_cast<TimeValue>(end));
    if (ip && !(range == sceneRange)) run.ii->SetAnimRange(range);
    if (ip && frame != ticksPerFrame) ip->SetTicksPerFrame(static_cast<int>(frame));
    // Nodes hold each key until the file's frame, or the scene's where shorter, before the next.
    const int64_t hold = step > 0 ? std::min(step, frame) : frame;

    // A track with no record of the file keys a node of its name in the scene, each node once (the
    // k-th such track of a name the k-th node of it in scene order that no other track keys), else a
    // new dummy, so that tracks of one name never end on one node.
    std::unordered_set<INode*> keyed(nodes.begin(), nodes.end());
    std::unordered_map<std::string, std::vector<INode*>> sceneNodes;  // by name, in scene order
    bool sceneListed = false;
    auto sceneNodeFor = [&](const std::string& name) -> INode* {
        if (!ip) return nullptr;
        if (!sceneListed) {
            sceneListed = true;
            visitScene(ip, [&](INode* node) {
                if (!node->IsRootNode()) sceneNodes[node->GetName() ? node->GetName() : ""].push_back(node);
                return true;
            });
        }
        const auto named = sceneNodes.find(name);
        if (named == sceneNodes.end()) return nullptr;
        for (INode* node : named->second)
            if (!keyed.count(node)) return node;
        return nullptr;
    };
    const AnimateScope animate(true);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        INode* node = nodes[i];
        if (!node) {
            const std::string& name = tracks.items[i].objectName;
            node = sceneNodeFor(name);
            if (!node) node = helperFor(run, name);
            keyed.insert(node);
        }
        if (!keys[i].empty()) keyTrack(node, keys[i], range.Start(), hold, before[i]);
    }
}

}  // namespace zeq
