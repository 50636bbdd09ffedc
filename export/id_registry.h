#pragma once
// Scene-node ids: one process-wide counter and the id each node received. A node keeps its id
// for as long as the plug-in stays loaded, so exporting a scene twice gives the same node the
// same id, and new ids continue from the last one.
#include <cstdint>
#include <unordered_map>

class INode;

namespace zeq {

class IdRegistry {
public:
    static IdRegistry& instance();

    // The id the node already has, or the next counter value, remembered for the node.
    // For no node (nullptr), the next counter value, remembered nowhere.
    int64_t idFor(INode* node);

private:
    int64_t counter_ = 0;
    std::unordered_map<INode*, int64_t> ids_;
};

}  // namespace zeq
