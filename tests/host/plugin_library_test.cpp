// The library contract's resources (string lookups into the shared 256-character buffer, dialog
// templates) and the application-data chunks every scene item carries.
#include "host/animatable.h"
#include "host/plugin_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const std::string kLong(300, 'y');
const StringResource kStrings[] = {{1, "Library"}, {2, "Category"}, {7, ""}, {9, kLong.c_str()}};
constexpr DialogControl kControls[] = {{.id = 1005, .kind = ControlKind::CheckBox, .text = "Normals"}};
constexpr DialogTemplate kDialogs[] = {{.id = 101, .caption = "Options", .controls = kControls}};

TEST(StringLookup, LoadStringCopiesAndTruncates) {
    PluginModule module{"Test", kStrings, kDialogs};
    char buffer[8];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(LoadString(&module, 2, buffer, sizeof(buffer)), 7);
    EXPECT_STREQ(buffer, "Categor");  // 7 characters and the terminator
    EXPECT_EQ(LoadString(&module, 3, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(LoadString(nullptr, 1, buffer, sizeof(buffer)), 0);
    EXPECT_EQ(LoadString(&module, 1, buffer, 0), 0);
    EXPECT_STREQ(buffer, "Categor");  // untouched by the failed lookups
}

TEST(StringLookup, LibraryBufferIsSharedAndNullWithoutHandle) {
    PluginLibrary library{{"Test", kStrings, kDialogs}};
    EXPECT_EQ(library.GetString(1), nullptr);  // the handle is not stored yet
    library.Attach();
    ASSERT_NE(library.Handle(), nullptr);
    const char* first = library.GetString(1);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "Library");
    const char* second = library.GetString(2);
    EXPECT_EQ(first, second);  // one buffer: every lookup overwrites the previous result
    EXPECT_STREQ(first, "Category");
    EXPECT_EQ(library.GetString(3), nullptr);
    ASSERT_NE(library.GetString(7), nullptr);  // an empty string exists, unlike a missing one
    EXPECT_STREQ(library.GetString(7), "");
    const char* longest = library.GetString(9);
    EXPECT_EQ(std::strlen(longest), static_cast<size_t>(PluginLibrary::kStringBufferSize - 1));
    library.Detach();
    EXPECT_EQ(library.GetString(1), nullptr);
}

TEST(StringLookup, DialogTemplatesAreFoundById) {
    PluginModule module{"Test", kStrings, kDialogs};
    const DialogTemplate* dialog = FindDialogTemplate(&module, 101);
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->caption, "Options");
    ASSERT_EQ(dialog->controls.size(), 1u);
    EXPECT_EQ(dialog->controls[0].id, 1005);
    EXPECT_EQ(FindDialogTemplate(&module, 102), nullptr);
    EXPECT_EQ(FindDialogTemplate(nullptr, 101), nullptr);
}

class Item : public ReferenceTarget {};

void* Payload(int value) {
    void* block = HostAlloc(sizeof(int));
    std::memcpy(block, &value, sizeof(int));
    return block;
}

int Read(const AppDataChunk* chunk) {
    int value = 0;
    std::memcpy(&value, chunk->data, sizeof(int));
    return value;
}

TEST(AppData, ChunksAreKeyedAndReplaced) {
    const Class_ID cid(0x7952E048, 0xB8163C3D);
    Item item;
    item.AddAppDataChunk(cid, 0x10E0, 0, 4, Payload(11));
    item.AddAppDataChunk(cid, 0x10E0, 1, 4, Payload(22));
    item.AddAppDataChunk(Class_ID(1, 2), 0x10E0, 0, 4, Payload(33));
    EXPECT_EQ(item.NumAppDataChunks(), 3);
    EXPECT_EQ(Read(item.GetAppDataChunk(cid, 0x10E0, 1)), 22);
    EXPECT_EQ(item.GetAppDataChunk(cid, 0x10E1, 1), nullptr);

    // Adding the same key again replaces the chunk (the old payload is freed: the sanitizer build
    // reports a leak otherwise).
    item.AddAppDataChunk(cid, 0x10E0, 1, 4, Payload(44));
    EXPECT_EQ(item.NumAppDataChunks(), 3);
    EXPECT_EQ(Read(item.GetAppDataChunk(cid, 0x10E0, 1)), 44);

    EXPECT_TRUE(item.RemoveAppDataChunk(cid, 0x10E0, 0));
    EXPECT_FALSE(item.RemoveAppDataChunk(cid, 0x10E0, 0));
    EXPECT_EQ(item.NumAppDataChunks(), 2);
    EXPECT_EQ(item.GetAppDataChunkByIndex(5), nullptr);
}

}  // namespace
