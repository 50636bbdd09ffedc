#pragma once
// Field tables of scene documents: for every kind of entry, the ordered list of its keys, each with
// whether it is required, how it is read into the model, when it is left out (its default) and how
// it is written. One table drives both reading and writing, in table order, which is also the order
// in which a key may depend on the keys before it (faces after vertices, weights after bones).
#include "headless/scene_document_json.h"
#include "headless/scene_document_model.h"

#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace headless::document {

enum class Ref { Node, Object, Material, Map };

// What reading needs besides the value: the ids of every table (gathered before the entries are
// read, so that entries may refer to entries further down) and the layer names.
struct Reader {
    std::unordered_map<std::string, int> ids[4];  // by Ref
    std::unordered_set<std::string> layerNames;

    // The entry an id names; null is allowed (-1) only with allowNull.
    int resolve(const Item& item, Ref table, bool allowNull) const;
};

// What writing needs besides the value: the output and the model, whose entries give the ids.
struct Writer {
    JsonWriter& out;
    const SceneModel& model;
    void ref(Ref table, int index) const;
};

template <class M>
struct Field {
    const char* key;
    bool required;
    void (*read)(Reader&, const Item&, M&);
    bool (*omit)(const M&);  // null: always written
    void (*write)(Writer&, const M&);
    void (*absent)(M&) = nullptr;  // when the document leaves the key out (null: keep the default)
};

template <class M>
using Fields = std::span<const Field<M>>;

// The table of each entry kind (scene_document_fields.cpp).
template <class M>
Fields<M> fieldsOf();

}  // namespace headless::document
