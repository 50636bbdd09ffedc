#pragma once
// The node hierarchy of one import, decided from the records before any host node exists: which
// child is linked to which parent, and the world transform every node gets.
//
// Records carry transforms relative to their parents (the exporter writes local = world ×
// parentWorld⁻¹). A linked node's world transform is therefore its record's transform times its
// parent's world transform, so that export then import gives back the scene's world transforms.
// Links are made in ascending child id; a link whose parent or child has no node is skipped (the
// child stays at the scene root), and so is a link that would make a node its own ancestor.
#include "host/matrix3.h"
#include "import/import_report.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace zeq {

class NodeHierarchy {
public:
    struct Link {
        std::size_t child = 0;
        std::size_t parent = 0;
    };

    // Registers a walked record, in walk order; returns its node index. A later record with the
    // same id becomes the node that id refers to; a record with a parent id sets (or replaces) the
    // parent of that id.
    std::size_t add(int64_t id, const std::optional<int64_t>& parentId, const Matrix3& local);

    // Decides the links and computes the world transforms. Links that would close a cycle are noted
    // in the report.
    void resolve(ImportReport& report);

    std::size_t size() const { return local_.size(); }
    const Matrix3& world(std::size_t node) const { return world_.at(node); }
    // A node's transform relative to its parent, as its record gives it.
    const Matrix3& local(std::size_t node) const { return local_.at(node); }
    // The parent a node is linked to, if any.
    std::optional<std::size_t> parentOf(std::size_t node) const;
    // The node a record id refers to (the later record when an id repeats).
    std::optional<std::size_t> nodeOf(int64_t id) const {
        auto it = nodeById_.find(id);
        return it == nodeById_.end() ? std::nullopt : std::optional<std::size_t>(it->second);
    }
    // The links to make, in ascending child id.
    const std::vector<Link>& links() const { return links_; }

private:
    std::vector<Matrix3> local_;
    std::vector<Matrix3> world_;
    std::vector<std::ptrdiff_t> parent_;  // linked parent node, -1 for none
    std::map<int64_t, std::size_t> nodeById_;
    std::map<int64_t, int64_t> parentById_;
    std::vector<Link> links_;
};

}  // namespace zeq
