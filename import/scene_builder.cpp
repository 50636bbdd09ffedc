// Scene reconstruction: nodes for objects, meshes and lights, the ambient colour, then the links.
#include "import/scene_builder.h"

#include "host/light.h"
#include "host/material.h"
#include "host/object.h"
#include "host/plugin_classes.h"
#include "import/material_library.h"
#include "import/mesh_builder.h"
#include "import/node_hierarchy.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace zeq {
namespace {

// Face material ids are 16-bit, so a multi-material holds at most this many surfaces.
constexpr std::size_t kMaxSurfaces = std::size_t{std::numeric_limits<MtlID>::max()} + 1;
constexpr std::size_t kNoNode = std::numeric_limits<std::size_t>::max();

template <class R>
const TArray<R>& listOf(const std::optional<TArray<R>>& list) {
    static const TArray<R> empty;
    return list ? *list : empty;
}

// The state of one run: libraries, the checked meshes, the planned hierarchy and the nodes made.
struct Run {
    Run(ImpInterface* ii, const Zeq2& root, uint16_t minorVersion, ImportReport& report)
        : ii(ii),
          root(root),
          report(report),
          geometry(root.indexBuffers ? &*root.indexBuffers : nullptr,
                   root.vertexBuffers ? &*root.vertexBuffers : nullptr),
          materials(root),
          meshes(geometry, minorVersion) {}

    ImpInterface* ii;
    const Zeq2& root;
    ImportReport& report;
    GeometryLibrary geometry;
    MaterialLibrary materials;
    MeshBuilder meshes;
    NodeHierarchy hierarchy;
    // Hierarchy index of each record of the lists, kNoNode for a skipped mesh.
    std::vector<std::size_t> objectNodes, meshNodes, directionalNodes, omniNodes, spotNodes;
    std::vector<INode*> nodes;  // by hierarchy index
};

void reportAbsentLists(const Zeq2& root, ImportReport& report) {
    std::string absent;
    auto check = [&](bool present, const char* name) {
        if (!present) absent += absent.empty() ? name : std::string(", ") + name;
    };
    check(root.objects.has_value(), "objects");
    check(root.meshes.has_value(), "meshes");
    check(root.indexBuffers.has_value(), "indexBuffers");
    check(root.vertexBuffers.has_value(), "vertexBuffers");
    check(root.directionalLights.has_value(), "directionalLights");
    check(root.omniLights.has_value(), "omniLights");
    check(root.spotLights.has_value(), "spotLights");
    check(root.ambientLights.has_value(), "ambientLights");
    if (!absent.empty()) report.skip("the file has no " + absent + " list; read as empty");
}

Matrix3 localOf(const std::optional<Zeq2Transform>& transform) {
    return transform ? toMatrix3(*transform) : Matrix3();
}

template <class R>
void plan(Run& run, const std::optional<TArray<R>>& list, std::vector<std::size_t>& indices) {
    for (const R& record : listOf(list))
        indices.push_back(run.hierarchy.add(record.id, record.parentId, localOf(record.transform)));
}

void planMeshes(Run& run) {
    for (const Zeq2Mesh& mesh : listOf(run.root.meshes)) {
        const MeshCacheEntry& entry = run.meshes.check(mesh);
        if (!entry.problem.empty()) {
            run.report.skip(describeRecord("mesh", mesh.name, mesh.id) + " skipped: " + entry.problem);
            run.meshNodes.push_back(kNoNode);
            continue;
        }
        if (entry.droppedChannels > 0) {
            run.report.skip(describeRecord("mesh", mesh.name, mesh.id) + ": texture channels beyond " +
                            std::to_string(kMaxTextureChannels) + " skipped");
        }
        run.meshNodes.push_back(run.hierarchy.add(mesh.id, mesh.parentId, localOf(mesh.transform)));
    }
}

// A new import node with the record's name.
ImpNode* createNamedNode(Run& run, const char* kind, const std::optional<std::string>& name, int64_t id) {
    ImpNode* node = run.ii->CreateNode();
    if (name) node->SetName(name->c_str());
    else run.report.skip(describeRecord(kind, name, id) + ": no name; imported unnamed");
    return node;
}

void addToScene(Run& run, ImpNode* node, std::size_t index) {
    run.ii->AddNodeToScene(node);
    run.nodes[index] = node->GetINode();
}

void buildObjects(Run& run) {
    const auto& objects = listOf(run.root.objects);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const Zeq2Object& record = objects.items[i];
        const std::size_t index = run.objectNodes[i];
        ImpNode* node = createNamedNode(run, "object", record.name, record.id);
        node->SetTransform(0, run.hierarchy.world(index));
        node->Reference(CreateNewTriObject());
        node->GetINode()->SetUserPropString(PROTOCOL_ID_PROPERTY, std::to_string(record.id));
        addToScene(run, node, index);
    }
}

// Gives the faces of surface `surface` (triangles indexBegin / 3 onwards) the material id `surface`.
void setSurfaceMaterialIds(Run& run, const Zeq2Mesh& record, Mesh& mesh, const Zeq2Surface& range,
                           std::size_t surface) {
    const int64_t faceCount = mesh.getNumFaces();
    const int64_t first = range.indexBegin / 3;
    const int64_t end = first + range.numTriangles;
    if (first < 0 || range.numTriangles < 0 || end > faceCount) {
        run.report.skip(describeRecord("mesh", record.name, record.id) + ": surface " + std::to_string(surface) +
                        " covers triangles outside the mesh's " + std::to_string(faceCount) +
                        "; only those inside got its material");
    }
    for (int64_t j = std::max<int64_t>(first, 0); j < std::min(end, faceCount); ++j)
        mesh.faces[static_cast<std::size_t>(j)].setMatID(static_cast<MtlID>(surface));
}

ImpNode* buildMeshNode(Run& run, const Zeq2Mesh& record, std::size_t index) {
    ImpNode* node = createNamedNode(run, "mesh", record.name, record.id);
    TriObject* tri = run.meshes.buildTriObject(record);
    node->Reference(tri);
    node->SetTransform(0, run.hierarchy.world(index));

    const std::string owner = describeRecord("mesh", record.name, record.id);
    const auto& surfaces = record.surfaces.items;
    if (surfaces.empty()) return node;
    if (surfaces.size() == 1) {
        if (Mtl* mtl = run.materials.makeMaterial(surfaces.front(), owner, run.report)) node->GetINode()->SetMtl(mtl);
        return node;
    }
    std::size_t count = surfaces.size();
    if (count > kMaxSurfaces) {
        run.report.skip(owner + ": surfaces beyond " + std::to_string(kMaxSurfaces) + " skipped");
        count = kMaxSurfaces;
    }
    MultiMtl* multi = NewDefaultMultiMtl();
    multi->SetNumSubMtls(static_cast<int>(count));
    const std::string label = record.name.value_or("") + "_surface";
    for (std::size_t i = 0; i < count; ++i) {
        if (Mtl* sub = run.materials.makeMaterial(surfaces[i], owner, run.report))
            multi->SetSubMtlAndName(static_cast<int>(i), sub, label + std::to_string(i));
        setSurfaceMaterialIds(run, record, tri->GetMesh(), surfaces[i], i);
    }
    node->GetINode()->SetMtl(multi);
    return node;
}

void buildMeshes(Run& run) {
    const auto& meshes = listOf(run.root.meshes);
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const std::size_t index = run.meshNodes[i];
        if (index == kNoNode) continue;
        const Zeq2Mesh& record = meshes.items[i];
        ImpNode* node = buildMeshNode(run, record, index);
        node->GetINode()->SetUserPropString(PROTOCOL_ID_PROPERTY, std::to_string(record.id));
        addToScene(run, node, index);
    }
}

// The parts every light kind shares; `setUp` adds the kind's own values before the node references
// the light.
template <class L, class SetUp>
void buildLight(Run& run, const L& record, std::size_t index, const char* kind, int lightType, SetUp setUp) {
    ImpNode* node = createNamedNode(run, kind, record.name, record.id);
    GenLight* light = run.ii->CreateLightObject(lightType);
    Matrix3 tm = run.hierarchy.world(index);
    if (record.transform) tm.PreRotateX(kLightRotationX);
    node->SetTransform(0, tm);
    if (light) {
        light->SetRGBColor(0, colorFromRGB(record.color));
        light->SetIntensity(0, record.intensity);
        setUp(*light);
        node->Reference(light);
    } else {
        run.report.skip(describeRecord(kind, record.name, record.id) + ": the host made no light; imported as an empty node");
    }
    addToScene(run, node, index);
}

void buildLights(Run& run) {
    const auto& directional = listOf(run.root.directionalLights);
    for (std::size_t i = 0; i < directional.size(); ++i) {
        buildLight(run, directional.items[i], run.directionalNodes[i], "directional light", DIR_LIGHT,
                   [](GenLight& light) {
                       light.SetAffectDiffuse(1);
                       light.SetUseLight(1);
                       light.SetUseAtten(1);
                       // An engine directional light reaches the whole scene, not only its beam,
                       // and lights highlights too.
                       light.SetOvershoot(1);
                       light.SetAffectSpecular(1);
                   });
    }
    const auto& omni = listOf(run.root.omniLights);
    for (std::size_t i = 0; i < omni.size(); ++i) {
        const Zeq2OmniLight& record = omni.items[i];
        buildLight(run, record, run.omniNodes[i], "omni light", OMNI_LIGHT, [&](GenLight& light) {
            light.SetAtten(0, ATTEN_START, record.attenuationBegin);
            light.SetAtten(0, ATTEN_END, record.attenuationEnd);
            light.SetAffectDiffuse(1);
            light.SetUseLight(1);
            light.SetUseAtten(1);
        });
    }
    const auto& spots = listOf(run.root.spotLights);
    for (std::size_t i = 0; i < spots.size(); ++i) {
        const Zeq2SpotLight& record = spots.items[i];
        buildLight(run, record, run.spotNodes[i], "spot light", FSPOT_LIGHT, [&](GenLight& light) {
            light.SetAtten(0, ATTEN_START, record.attenuationBegin);
            light.SetAtten(0, ATTEN_END, record.attenuationEnd);
            light.SetAffectDiffuse(1);
            light.SetUseLight(1);
            light.SetUseAtten(1);
            light.SetHotspot(0, record.hotspot * kRadiansToDegrees);
            light.SetFallsize(0, record.falloff * kRadiansToDegrees);
        });
    }
}

}  // namespace

Matrix3 toMatrix3(const Zeq2Transform& transform) {
    const ZeqMatrix& m = transform.matrix;
    Matrix3 tm;
    tm.SetColumn(0, Point4(m.a, m.b, m.c, m.d));
    tm.SetColumn(1, Point4(m.e, m.f, m.g, m.h));
    tm.SetColumn(2, Point4(m.i, m.j, m.k, m.l));
    return tm;
}

Point3 colorFromRGB(uint32_t rgb) {
    constexpr float kByteToUnit = 0.003921569f;
    return {static_cast<float>((rgb >> 16) & 0xFF) * kByteToUnit, static_cast<float>((rgb >> 8) & 0xFF) * kByteToUnit,
            static_cast<float>(rgb & 0xFF) * kByteToUnit};
}

SceneBuilder::SceneBuilder(ImpInterface* ii, uint16_t minorVersion) : ii_(ii), minorVersion_(minorVersion) {}

void SceneBuilder::run(const Zeq2& root) {
    reportAbsentLists(root, report_);
    Run run(ii_, root, minorVersion_, report_);

    // Plan: check every mesh and decide the hierarchy before the first host object is made.
    plan(run, root.objects, run.objectNodes);
    planMeshes(run);
    plan(run, root.directionalLights, run.directionalNodes);
    plan(run, root.omniLights, run.omniNodes);
    plan(run, root.spotLights, run.spotNodes);
    run.hierarchy.resolve(report_);
    run.nodes.assign(run.hierarchy.size(), nullptr);

    // Build, in record order.
    buildObjects(run);
    buildMeshes(run);
    buildLights(run);

    // The ambient colour is the sum of every ambient light's colour (intensity ignored, no clamp).
    Point3 ambient;
    for (const Zeq2AmbientLight& light : listOf(root.ambientLights)) ambient += colorFromRGB(light.color);
    ii_->SetAmbient(0, ambient);

    // Each link keeps the child's world transform, which the plan already made local × parent world.
    for (const NodeHierarchy::Link& link : run.hierarchy.links()) {
        INode* parent = run.nodes[link.parent];
        INode* child = run.nodes[link.child];
        if (parent && child) parent->AttachChild(child, true);
    }
    ii_->RedrawViews();
}

}  // namespace zeq
