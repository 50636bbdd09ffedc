#include "export/lights.h"

#include "export/id_registry.h"
#include "export/options.h"
#include "export/walker.h"
#include "host/host.h"

#include <stdexcept>
#include <string>

namespace zeq {
namespace {

// A colour component × 255 truncated toward zero, clamped to one byte: a component below 0 (or
// NaN) is 0, one above 1 is 255, so that no channel spills into its neighbour or the top byte.
uint32_t colorComponent(float value) {
    const float scaled = value * 255.0f;
    if (!(scaled > 0.0f)) return 0;
    if (scaled >= 255.0f) return 255;
    return static_cast<uint32_t>(scaled);
}

// The node's object evaluated at the export time and converted (at time 0) to the light class of
// its kind. `owned` is set when the conversion made a new object that the caller must free.
LightObject* evaluateLight(INode* node, Class_ID lightClass, Object*& owned) {
    owned = nullptr;
    Object* evaluated = node->EvalWorldState(exportOptions().exportTime).obj;
    Object* converted = evaluated ? evaluated->ConvertToType(0, lightClass) : nullptr;
    if (converted && converted != evaluated) owned = converted;
    auto* light = dynamic_cast<LightObject*>(converted);
    if (!light) {
        if (owned) owned->DeleteThis();
        owned = nullptr;
        const char* name = node->GetName();
        throw std::runtime_error(std::string("The light \"") + (name ? name : "") + "\" cannot be read");
    }
    return light;
}

// Fills the fields every light kind has, then the kind's own through `extra`.
template <class Record, class Extra>
Record makeLight(INode* node, bool pivotOffset, Class_ID lightClass, Extra&& extra) {
    Record record = makeNodeRecord<Record>(node, pivotOffset);
    Object* owned = nullptr;
    LightObject* light = evaluateLight(node, lightClass, owned);
    const TimeValue t = exportOptions().exportTime;
    record.color = packColor(light->GetRGBColor(t));
    // A light switched off in the host lights nothing: it is written with no intensity, so that the
    // engine does not light the scene with it.
    record.intensity = light->GetUseLight() ? light->GetIntensity(t) : 0.0f;
    extra(record, *light, t);
    if (owned) owned->DeleteThis();
    return record;
}

}  // namespace

uint32_t packColor(const Point3& rgb) {
    const uint32_t r = colorComponent(rgb.x);
    const uint32_t g = colorComponent(rgb.y);
    const uint32_t b = colorComponent(rgb.z);
    return r << 16 | g << 8 | b;
}

Zeq2AmbientLight makeAmbientLight(Interface* ip) {
    Zeq2AmbientLight ambient;
    ambient.color = packColor(ip->GetAmbient(0));
    ambient.intensity = 1.0f;
    ambient.id = IdRegistry::instance().idFor(nullptr);
    ambient.name = "ambient";
    ambient.visible = true;
    return ambient;
}

Zeq2DirectionalLight makeDirectionalLight(INode* node, bool pivotOffset) {
    return makeLight<Zeq2DirectionalLight>(node, pivotOffset, DIR_LIGHT_CLASS_ID,
                                           [](Zeq2DirectionalLight&, LightObject&, TimeValue) {});
}

Zeq2OmniLight makeOmniLight(INode* node, bool pivotOffset) {
    return makeLight<Zeq2OmniLight>(node, pivotOffset, OMNI_LIGHT_CLASS_ID,
                                    [](Zeq2OmniLight& record, LightObject& light, TimeValue t) {
                                        record.attenuationBegin = light.GetAtten(t, ATTEN_START);
                                        record.attenuationEnd = light.GetAtten(t, ATTEN_END);
                                    });
}

Zeq2SpotLight makeSpotLight(INode* node, bool pivotOffset) {
    return makeLight<Zeq2SpotLight>(node, pivotOffset, FSPOT_LIGHT_CLASS_ID,
                                    [](Zeq2SpotLight& record, LightObject& light, TimeValue t) {
                                        record.attenuationBegin = light.GetAtten(t, ATTEN_START);
                                        record.attenuationEnd = light.GetAtten(t, ATTEN_END);
                                        record.hotspot = light.GetHotspot(t) * kRadiansPerDegree;
                                        record.falloff = light.GetFallsize(t) * kRadiansPerDegree;
                                    });
}

}  // namespace zeq
