#include "editors/store_write_context.h"

namespace editors {

platform::Result<store::Items> DefaultFolderItems(const StoreWriteContext& context,
                                                  store::FolderKind kind) {
    auto application = context.store.LoggedOnApplication();
    if (!application) {
        return application.error();
    }
    auto folder = (*application)->GetDefaultFolder(kind);
    if (!folder) {
        context.store.Release();
        return folder.error();
    }
    auto items = folder->GetItems();
    if (!items) {
        context.store.Release();
        return items.error();
    }
    return items;
}

}  // namespace editors
