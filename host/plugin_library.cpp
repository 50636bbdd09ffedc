#include "host/plugin_library.h"

#include <cstring>

int LoadString(ModuleHandle module, int id, char* buffer, int size) {
    if (!module || !buffer || size <= 0) return 0;
    for (const auto& entry : module->strings) {
        if (entry.id != id || !entry.text) continue;
        size_t length = std::strlen(entry.text);
        size_t room = static_cast<size_t>(size) - 1;
        if (length > room) length = room;
        std::memcpy(buffer, entry.text, length);
        buffer[length] = '\0';
        return static_cast<int>(length);
    }
    return 0;
}

const DialogTemplate* FindDialogTemplate(ModuleHandle module, int id) {
    if (!module) return nullptr;
    for (const auto& dialog : module->dialogs)
        if (dialog.id == id) return &dialog;
    return nullptr;
}

const char* PluginLibrary::GetString(int id) {
    if (!handle_) return nullptr;
    // An entry that exists but is empty is still a string (""), unlike a missing one.
    for (const auto& entry : handle_->strings) {
        if (entry.id == id && entry.text) {
            LoadString(handle_, id, buffer_, kStringBufferSize);
            return buffer_;
        }
    }
    return nullptr;
}
