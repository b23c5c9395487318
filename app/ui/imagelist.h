#pragma once
// The program's images: the tree's node images (16 x 16, indexed as the tree model's image
// indexes) and the 24 x 24 images that tool buttons and menu items of one command share.
#include <QIcon>

enum class CommandImage {
    Open,
    Save,
    ReadDevice,
    StoreDevice,
    Check,
    Uncheck,
    Delete,
};

// The tree image of index (0 device ... 7 system); an index out of range gives the device image.
QIcon TreeNodeIcon(int index);
inline constexpr int kTreeImageCount = 8;

QIcon CommandIcon(CommandImage image);

// The program's own icon, for the window and the About box.
QIcon ProgramIcon();
