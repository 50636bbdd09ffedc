#include "export/id_registry.h"

namespace zeq {

IdRegistry& IdRegistry::instance() {
    // Created on first use and never reset while the plug-in stays loaded.
    static IdRegistry registry;
    return registry;
}

int64_t IdRegistry::idFor(INode* node) {
    if (node == nullptr) return counter_++;
    auto [it, inserted] = ids_.try_emplace(node, counter_);
    if (inserted) ++counter_;
    return it->second;
}

}  // namespace zeq
