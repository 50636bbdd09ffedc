// Tracks: each becomes keys on the transform of the node it names.
//
// A track names its node: the k-th track of a name animates the k-th node of that name the file
// creates (in id order, leaving out the content record of a pivot offset, which hangs below a node
// of its own name and shares its track: a record below a plain object of its name counts as such
// only while the file has fewer tracks of the name than records); a name the file does not create
// is looked up in the scene (a file of tracks alone animates the scene it is imported into); a
// name found nowhere gets a dummy helper, so that no animation is lost.
//
// The exporter samples every frame and keeps a key only where the transform changed. So the node
// held its last key's transform until the frame before the next key: a key of that transform is
// set there. Before the first key a node of the file holds its record's transform, which the
// exporter samples at the start of the range (and other writers give as the rest pose); a node of
// the scene or a new helper holds the identity, from which the exporter starts. Keys are local to
// the parent, like the record transforms.
#include "host/interface.h"
#include "host/node.h"
#include "host/scene_building.h"
#include "import/scene_builder.h"
#include "import/scene_run.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace zeq {
namespace {

// Seconds to ticks (4800 per second).
constexpr double kTicksPerSecond = 4800.0;

// The nodes each name stands for in the file, in id order, given how many tracks name each.
std::unordered_map<std::string, std::vector<PlannedNode*>> nodesByName(
    SceneRun& run, const std::unordered_map<std::string, std::size_t>& trackCount) {
    std::unordered_map<std::string, std::size_t> recordCount;
    for (const PlannedNode& planned : run.planned)
        if (planned.named) ++recordCount[planned.name];
    std::vector<PlannedNode*> nodes;
    for (PlannedNode& planned : run.planned) {
        if (!planned.named) continue;
        // The content record of a pivot offset is a second record of the same node, which has one
        // track for both.
        const auto tracks = trackCount.find(planned.name);
        if (planned.parentId && (tracks == trackCount.end() || tracks->second < recordCount[planned.name])) {
            PlannedNode* parent = run.byId(*planned.parentId);
            if (parent && parent->kind == RecordKind::Object && parent->name == planned.name &&
                planned.kind != RecordKind::Object)
                continue;
        }
        nodes.push_back(&planned);
    }
    std::stable_sort(nodes.begin(), nodes.end(), [](const PlannedNode* a, const PlannedNode* b) { return a->id < b->id; });
    std::unordered_map<std::string, std::vector<PlannedNode*>> byName;
    for (PlannedNode* node : nodes) byName[node->name].push_back(node);
    return byName;
}

// A dummy helper at the scene root for a track whose node is nowhere.
INode* helperFor(SceneRun& run, const std::string& name) {
    ImpNode* node = run.ii->CreateNode();
    node->SetName(name.c_str());
    if (Object* dummy = createObject(HELPER_CLASS_ID, DUMMY_CLASS_ID)) node->Reference(dummy);
    run.ii->AddNodeToScene(node);
    return node->GetINode();
}

void keyTrack(INode* node, const std::map<TimeValue, Matrix3>& keys, TimeValue start, int ticksPerFrame,
              const Matrix3& before) {
    // Keys of the parent are set first (tracks come in visiting order), so the parent's transform
    // at each time is known.
    auto setKey = [&](TimeValue t, const Matrix3& local) {
        INode* parent = node->GetParentNode();
        node->SetNodeTM(t, parent && !parent->IsRootNode() ? local * parent->GetNodeTM(t) : local);
    };
    Matrix3 previous = before;
    TimeValue previousTime = start;
    bool first = true;
    for (const auto& [t, local] : keys) {
        if (first && t > start) setKey(start, previous);
        if (t - ticksPerFrame > previousTime) setKey(t - ticksPerFrame, previous);
        setKey(t, local);
        previous = local;
        previousTime = t;
        first = false;
    }
}

// Animate mode for the keys of one import, switched off again on every way out.
struct AnimateScope {
    AnimateScope() { AnimateOn(); }
    ~AnimateScope() { AnimateOff(); }
    AnimateScope(const AnimateScope&) = delete;
    AnimateScope& operator=(const AnimateScope&) = delete;
};

}  // namespace

void buildTracks(SceneRun& run) {
    const auto& tracks = listOf(run.root.tracks);
    if (tracks.empty()) return;
    Interface* ip = GetCOREInterface();
    const int ticksPerFrame = std::max(ip ? ip->GetTicksPerFrame() : GetTicksPerFrame(), 1);
    Interval range = ip ? ip->GetAnimRange() : Interval(0, 0);

    // Key times in ticks; the range grows to hold every key.
    std::vector<std::map<TimeValue, Matrix3>> keys(tracks.size());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const Zeq2Track& track = tracks.items[i];
        for (const Zeq2Keyframe& key : track.keyframes) {
            const double ticks = std::round(static_cast<double>(key.time) * kTicksPerSecond);
            if (!std::isfinite(ticks) || std::fabs(ticks) > 1e9) {
                run.report.skip("track \"" + track.objectName + "\": a key at " + std::to_string(key.time) +
                                " s is out of range; skipped");
                continue;
            }
            const auto t = static_cast<TimeValue>(ticks);
            keys[i][t] = toMatrix3(key.transform);  // a later key at the same tick replaces an earlier one
            range = Interval(std::min(range.Start(), t), std::max(range.End(), t));
        }
    }
    if (ip && (range.Start() != ip->GetAnimRange().Start() || range.End() != ip->GetAnimRange().End()))
        run.ii->SetAnimRange(range);

    std::unordered_map<std::string, std::size_t> trackCount;
    for (const Zeq2Track& track : tracks) ++trackCount[track.objectName];
    auto fileNodes = nodesByName(run, trackCount);
    std::unordered_map<std::string, std::size_t> used;
    const AnimateScope animate;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const std::string& name = tracks.items[i].objectName;
        INode* node = nullptr;
        Matrix3 before;
        auto found = fileNodes.find(name);
        if (found != fileNodes.end()) {
            std::size_t& k = used[name];
            // More tracks than nodes of that name: the last node takes the extra tracks.
            const PlannedNode* planned = found->second[std::min(k++, found->second.size() - 1)];
            node = planned->node;
            before = run.hierarchy.local(static_cast<std::size_t>(planned - run.planned.data()));
        } else {
            node = ip ? ip->GetINodeByName(name.c_str()) : nullptr;
            if (!node) node = helperFor(run, name);
        }
        if (!keys[i].empty()) keyTrack(node, keys[i], range.Start(), ticksPerFrame, before);
    }
}

}  // namespace zeq
