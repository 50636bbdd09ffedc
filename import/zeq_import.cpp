// The importer class and its descriptor: what the host shows about them, and the import itself.
#include "import/zeq_import.h"

#include "host/plugin_classes.h"
#include "import/import_pipeline.h"
#include "import/resources.h"

namespace zeq {

int ZeqImport::ExtCount() { return 1; }

// The host offers the importer for files with this extension; every index answers the same.
const char* ZeqImport::Ext(int) { return "Zeq"; }

const char* ZeqImport::LongDesc() { return "Keldane3D Scene"; }
const char* ZeqImport::ShortDesc() { return "Keldane3D Scene"; }
const char* ZeqImport::AuthorName() { return "Keldane"; }
const char* ZeqImport::CopyrightMessage() { return "Copyright Keldane"; }
const char* ZeqImport::OtherMessage1() { return ""; }
const char* ZeqImport::OtherMessage2() { return ""; }
unsigned int ZeqImport::Version() { return 200; }
void ZeqImport::ShowAbout(WindowHandle) {}

// With prompts suppressed (a scripted import) no box stops the import; the result still tells.
int ZeqImport::DoImport(const char* name, ImpInterface* ii, Interface* i, bool suppressPrompts) {
    return runImport(name, ii, i, suppressPrompts);
}

int ZeqImportClassDesc::IsPublic() { return 1; }
void* ZeqImportClassDesc::Create(bool) { return static_cast<SceneImport*>(new ZeqImport); }
const char* ZeqImportClassDesc::ClassName() { return GetString(IDS_CLASS_NAME); }
SClass_ID ZeqImportClassDesc::SuperClassID() { return ZEQ_IMPORT_SUPER_CLASS_ID; }
Class_ID ZeqImportClassDesc::ClassID() { return ZEQ_IMPORT_CLASS_ID; }
const char* ZeqImportClassDesc::Category() { return GetString(IDS_CATEGORY); }
const char* ZeqImportClassDesc::InternalName() { return "ZeqImport"; }
ModuleHandle ZeqImportClassDesc::HInstance() { return importLibrary().Handle(); }
uint32_t ZeqImportClassDesc::InitialRollupPageState() { return 0x7FFFFFFF; }

ZeqImportClassDesc* GetZeqImportClassDesc() {
    static ZeqImportClassDesc desc;
    return &desc;
}

}  // namespace zeq
