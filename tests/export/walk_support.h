#pragma once
// Shared helpers of the scene-walk and export-command tests: a headless host per test, scene
// building shortcuts, and the conversion run straight into root records or through the plug-in
// into a file.
#include "export/context.h"
#include "export/export_plugin.h"
#include "export/geometry.h"
#include "export/id_registry.h"
#include "export/options.h"
#include "format/file_io.h"
#include "format/scene_file.h"
#include "headless/host.h"
#include "host/plugin_classes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace zeq::walktest {

// The three roots one conversion fills.
struct Roots {
    Zeq2 root;
    Zeq2Extra1 extra1;
    Zeq2Extra2 extra2;
    bool missingGeometry = false;
};

// A triangle mesh of one face.
inline Mesh triangleMesh() {
    Mesh mesh;
    mesh.setNumVerts(3);
    mesh.setVert(0, 0, 0, 0);
    mesh.setVert(1, 1, 0, 0);
    mesh.setVert(2, 0, 1, 0);
    mesh.setNumFaces(1);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[0].setSmGroup(1);
    return mesh;
}

template <class R>
const R* findByName(const std::optional<TArray<R>>& list, const std::string& name) {
    if (!list) return nullptr;
    for (const R& record : list->items)
        if (record.name && *record.name == name) return &record;
    return nullptr;
}

template <class R>
std::vector<std::string> namesOf(const std::optional<TArray<R>>& list) {
    std::vector<std::string> names;
    if (list)
        for (const R& record : list->items) names.push_back(record.name.value_or(""));
    return names;
}

class ExportTest : public ::testing::Test {
protected:
    ExportTest() {
        // Every test starts as the plug-in does when it is loaded.
        exportOptions() = ExportOptions{};
        exportLibrary().Attach();
        host.ui().setProgressStream(nullptr);
        dir = std::filesystem::temp_directory_path() /
              ("zeq_export_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    ~ExportTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        exportOptions() = ExportOptions{};
    }

    headless::Scene& scene() { return host.scene(); }

    headless::Node* meshNode(const std::string& name, INode* parent = nullptr) {
        headless::Node* node = scene().createNode(name, parent);
        node->SetObjectRef(scene().newTriObject(triangleMesh()));
        return node;
    }

    headless::Node* helperNode(const std::string& name, INode* parent = nullptr) {
        headless::Node* node = scene().createNode(name, parent);
        node->SetObjectRef(scene().newObject(HELPER_CLASS_ID, DUMMY_CLASS_ID, "Dummy"));
        return node;
    }

    // Runs the conversion as the export command does, without encoding.
    Roots convert() {
        exportOptions().exportTime = host.GetAnimRange().Start();
        Roots roots;
        ExportContext context(&host);
        context.convertScene(roots.root, roots.extra1, roots.extra2);
        roots.missingGeometry = context.walker().missingGeometry();
        return roots;
    }

    std::string path(const std::string& file) const { return (dir / file).string(); }

    // The plug-in's export command with the dialog driven by `steps` (none: prompts suppressed).
    int exportThroughPlugin(const std::string& file, std::optional<std::vector<headless::DialogStep>> steps,
                            uint32_t optionBits = 0) {
        if (steps) host.ui().queueDialog(*steps);
        return host.exportFile(GetExportClassDesc(), file, !steps.has_value(), optionBits);
    }

    static SceneFile readScene(const std::string& file) { return decodeSceneFile(readFileBytes(file)); }

    static std::vector<uint8_t> fileBytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::vector<headless::MessageBoxRecord> boxes(const std::string& caption) {
        std::vector<headless::MessageBoxRecord> found;
        for (const auto& box : host.ui().messageBoxes())
            if (box.caption == caption) found.push_back(box);
        return found;
    }

    headless::Host host;
    std::filesystem::path dir;
};

}  // namespace zeq::walktest
