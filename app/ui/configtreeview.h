#pragma once
// The configuration tree on the screen: a read-only mirror of a CfgTree. Each item points at the
// model node it shows and takes its caption and image from it when asked; the model owns the
// nodes and their records, so the view must be cleared (or refilled) before the model's nodes go
// away.
#include <QIcon>
#include <QTreeWidget>
#include <array>
#include <atomic>
#include <vector>

#include "app/ui/imagelist.h"
#include "cfgtree/cfgtreemodel.h"

class ConfigTreeView : public QTreeWidget {
    Q_OBJECT
  public:
    explicit ConfigTreeView(QWidget* parent = nullptr);

    // Replaces the items by the nodes of tree: captions, images by image index, expanded as the
    // model says.
    void ShowTree(const CfgTree& tree);

    // The node an item shows, or null.
    static const TreeNode* NodeOf(const QTreeWidgetItem* item);
    // The node of the selected item, or null when nothing is selected.
    const TreeNode* SelectedNode() const;
    // The item that shows node, or null.
    QTreeWidgetItem* ItemOf(const TreeNode* node) const;

    // Drops the items while the tree they show stays as it is, keeping what the user sees of them
    // (the expanded nodes, the current and the selected node, the scroll positions): a large tree
    // is replaced without two sets of items alive at once. RestoreItems shows that tree again as
    // it was; ShowTree with another tree forgets what was kept.
    void ReleaseItems();
    void RestoreItems(const CfgTree& tree);

    // The items of every tree view alive in the process, and the most alive at once since the
    // peak was last reset.
    static int LiveItems() { return liveItems_.load(std::memory_order_relaxed); }
    static int PeakLiveItems() { return peakItems_.load(std::memory_order_relaxed); }
    static void ResetPeakLiveItems() { peakItems_.store(LiveItems(), std::memory_order_relaxed); }

  signals:
    // Enter or Return was pressed with an item current: the keyboard's double-click.
    void EnterPressed();

  protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class NodeItem;
    // The item of node and its subtree, not yet in the view; items to expand go to expanded.
    QTreeWidgetItem* MakeItem(const TreeNode& node, std::vector<QTreeWidgetItem*>& expanded) const;

    // What ReleaseItems keeps of the items it drops.
    struct Kept {
        bool valid = false;
        std::vector<const TreeNode*> expanded;  // every expanded node, collapsed ones not
        const TreeNode* current = nullptr;
        const TreeNode* selected = nullptr;
        int vertical = 0;
        int horizontal = 0;
    };
    Kept kept_;
    static std::atomic<int> liveItems_;
    static std::atomic<int> peakItems_;
    static void ItemMade();

    // The node images, made once: an icon made from its file decodes the image, which for
    // thousands of leaves would cost more than the rest of the tree together. Items share them.
    // Made when the first tree is shown.
    std::array<QIcon, kTreeImageCount> icons_;
};
