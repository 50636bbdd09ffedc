#include "export/context.h"

#include "export/half_float.h"
#include "export/lights.h"
#include "export/options.h"
#include "host/ui.h"

#include <string>

namespace zeq {

ExportContext::ExportContext(Interface* ip)
    : ip_(ip),
      maps_(images_),
      cubeMaps_(images_),
      materials_(maps_, cubeMaps_),
      geometry_(buffers_),
      surfaces_(materials_),
      tracks_(ip),
      walker_(ip, tracks_, geometry_, surfaces_, materials_) {}

void ExportContext::convertScene(Zeq2& root, Zeq2Extra1& extra1, Zeq2Extra2& extra2) {
    const ExportOptions& options = exportOptions();
    walker_.bonesPass();
    walker_.mainPass();
    // The ambient light takes its id after every node, also when it is not written.
    Zeq2AmbientLight ambient = makeAmbientLight(ip_);

    if (!options.animationOnly) {
        WalkLists& lists = walker_.lists();
        root.ambientLights = TArray<Zeq2AmbientLight>{ambient};
        root.objects = std::move(lists.objects);
        root.meshes = std::move(lists.meshes);
        root.skins = std::move(lists.skins);
        root.omniLights = std::move(lists.omniLights);
        root.spotLights = std::move(lists.spotLights);
        root.directionalLights = std::move(lists.directionalLights);
        root.joints = std::move(lists.joints);
        root.sprites = std::move(lists.sprites);
        root.vertexBuffers = std::move(buffers_.vertexBuffers);
        root.indexBuffers = std::move(buffers_.indexBuffers);
        root.materials = materials_.takeRecords();
        root.maps = maps_.takeRecords();
        root.cubeMaps = cubeMaps_.takeRecords();
        root.images = images_.takeRecords();
        root.boxes = BoxFactory::instance().takeBoxes();
        if (options.vertexBuffers16Bit) {
            HalfLosses losses;
            for (Zeq2VertexBuffer& buffer : *root.vertexBuffers) {
                const HalfLosses lost = convertVertexBufferTo16Bit(buffer);
                losses.tooLarge += lost.tooLarge;
                losses.jointsMoved += lost.jointsMoved;
            }
            // The file holds them as infinity, which no engine can place, or names other bones than
            // the skin's: the user is told.
            auto warn = [](std::size_t count, const std::string& one, const std::string& many) {
                if (count == 0) return;
                const std::string text = (count == 1 ? one : std::to_string(count) + many) +
                                         "; export without \"16bit vertex buffers\" to keep them";
                MessageBox(GetActiveWindow(), text.c_str(), "ZeqExport", MB_OK | MB_ICONWARNING);
            };
            warn(losses.tooLarge, "1 vertex value is larger than 16-bit vertex buffers hold (65504), written as infinity",
                 " vertex values are larger than 16-bit vertex buffers hold (65504), written as infinity");
            warn(losses.jointsMoved,
                 "1 bone reference of a skinned vertex names a bone beyond the 683rd of its skin, which 16-bit vertex "
                 "buffers do not hold exactly: it names another bone",
                 " bone references of skinned vertices name bones beyond the 683rd of their skins, which 16-bit vertex "
                 "buffers do not hold exactly: they name other bones");
        }
        extra1.layers = walker_.layers().takeLayers();
        extra2.lods = std::move(lists.lods);
        lists = {};
        buffers_.vertexBuffers = {};
        buffers_.indexBuffers = {};
    }
    if (options.animation) root.tracks = tracks_.takeTracks();
}

}  // namespace zeq
