#pragma once
// The scene importer class the host creates for each import of a "Zeq" file, and its class
// descriptor. The importer has no options: it shows no dialog and ignores the suppress-prompts flag.
#include "host/class_desc.h"
#include "host/plugin.h"

namespace zeq {

class ZeqImport : public SceneImport {
public:
    int ExtCount() override;
    const char* Ext(int n) override;
    const char* LongDesc() override;
    const char* ShortDesc() override;
    const char* AuthorName() override;
    const char* CopyrightMessage() override;
    const char* OtherMessage1() override;
    const char* OtherMessage2() override;
    unsigned int Version() override;
    void ShowAbout(WindowHandle parent) override;
    int DoImport(const char* name, ImpInterface* ii, Interface* i, bool suppressPrompts = false) override;
};

class ZeqImportClassDesc : public ClassDesc2 {
public:
    int IsPublic() override;
    void* Create(bool loading = false) override;
    const char* ClassName() override;
    SClass_ID SuperClassID() override;
    Class_ID ClassID() override;
    const char* Category() override;
    const char* InternalName() override;
    ModuleHandle HInstance() override;
    uint32_t InitialRollupPageState() override;
};

// The library's one descriptor.
ZeqImportClassDesc* GetZeqImportClassDesc();

}  // namespace zeq
