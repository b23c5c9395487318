#include "app/ui/imagelist.h"

#include <QString>
#include <array>

// The images live in the library's resources; a static library's resources must be registered
// explicitly, from the global namespace, before the first use.
static void RegisterImageResources() {
    Q_INIT_RESOURCE(vr7ui);
}

namespace {

void EnsureResources() {
    static const bool registered = (RegisterImageResources(), true);
    (void)registered;
}

QIcon FromResource(const char* name) {
    EnsureResources();
    return QIcon(QStringLiteral(":/icons/") + QLatin1String(name) + QStringLiteral(".png"));
}

}  // namespace

QIcon TreeNodeIcon(int index) {
    // Order of the tree model's image indexes.
    static constexpr std::array<const char*, kTreeImageCount> kNames = {
        "tree_device", "tree_event_group", "tree_event", "tree_const_group",
        "tree_const",  "tree_calc_group",  "tree_calc",  "tree_system"};
    if (index < 0 || index >= kTreeImageCount) index = 0;
    return FromResource(kNames[static_cast<size_t>(index)]);
}

QIcon CommandIcon(CommandImage image) {
    switch (image) {
        case CommandImage::Open:
            return FromResource("cmd_open");
        case CommandImage::Save:
            return FromResource("cmd_save");
        case CommandImage::ReadDevice:
            return FromResource("cmd_read_device");
        case CommandImage::StoreDevice:
            return FromResource("cmd_store_device");
        case CommandImage::Check:
            return FromResource("cmd_check");
        case CommandImage::Uncheck:
            return FromResource("cmd_uncheck");
        case CommandImage::Delete:
            return FromResource("cmd_delete");
    }
    return QIcon();
}

QIcon ProgramIcon() {
    return FromResource("app_icon");
}
