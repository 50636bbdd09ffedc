// Deciding links and world transforms of the imported nodes.
#include "import/node_hierarchy.h"

#include <numeric>
#include <string>

namespace zeq {
namespace {

// Root of a node's tree among the links made so far (union-find with path halving).
std::size_t treeRoot(std::vector<std::size_t>& up, std::size_t node) {
    while (up[node] != node) {
        up[node] = up[up[node]];
        node = up[node];
    }
    return node;
}

}  // namespace

std::size_t NodeHierarchy::add(int64_t id, const std::optional<int64_t>& parentId, const Matrix3& local) {
    const std::size_t node = local_.size();
    local_.push_back(local);
    nodeById_[id] = node;
    if (parentId) parentById_[id] = *parentId;
    return node;
}

void NodeHierarchy::resolve(ImportReport& report) {
    const std::size_t count = local_.size();
    parent_.assign(count, -1);
    links_.clear();

    // Each child id is linked at most once, so a child is still the root of its own tree when its
    // link is considered; the link closes a cycle exactly when the parent's tree has that root.
    std::vector<std::size_t> up(count);
    std::iota(up.begin(), up.end(), std::size_t{0});
    for (const auto& [childId, parentId] : parentById_) {
        auto child = nodeById_.find(childId);
        auto parent = nodeById_.find(parentId);
        if (child == nodeById_.end() || parent == nodeById_.end()) continue;
        if (treeRoot(up, parent->second) == child->second) {
            report.skip("node id " + std::to_string(childId) + ": parent " + std::to_string(parentId) +
                        " would make it its own ancestor; it stays at the scene root");
            continue;
        }
        up[child->second] = treeRoot(up, parent->second);
        parent_[child->second] = static_cast<std::ptrdiff_t>(parent->second);
        links_.push_back({child->second, parent->second});
    }

    // World transforms, parents first; iterative, so that deep chains need no deep recursion.
    world_.assign(count, Matrix3());
    std::vector<bool> done(count, false);
    std::vector<std::size_t> chain;
    for (std::size_t node = 0; node < count; ++node) {
        for (std::size_t at = node; !done[at];) {
            chain.push_back(at);
            if (parent_[at] < 0) break;
            at = static_cast<std::size_t>(parent_[at]);
        }
        while (!chain.empty()) {
            const std::size_t at = chain.back();
            chain.pop_back();
            world_[at] = parent_[at] < 0 ? local_[at] : local_[at] * world_[static_cast<std::size_t>(parent_[at])];
            done[at] = true;
        }
    }
}

std::optional<std::size_t> NodeHierarchy::parentOf(std::size_t node) const {
    if (node >= parent_.size() || parent_[node] < 0) return std::nullopt;
    return static_cast<std::size_t>(parent_[node]);
}

}  // namespace zeq
