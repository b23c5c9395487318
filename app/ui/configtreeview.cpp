#include "app/ui/configtreeview.h"

#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

#include "app/ui/dragpayload.h"
#include "app/ui/imagelist.h"
#include "base/ui/qcp1251.h"

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;
constexpr int kIndent = 19;
constexpr int kNodeItemType = QTreeWidgetItem::UserType + 1;

}  // namespace

std::atomic<int> ConfigTreeView::liveItems_{0};
std::atomic<int> ConfigTreeView::peakItems_{0};

void ConfigTreeView::ItemMade() {
    const int now = liveItems_.fetch_add(1, std::memory_order_relaxed) + 1;
    int peak = peakItems_.load(std::memory_order_relaxed);
    while (now > peak && !peakItems_.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

// An item stores nothing of its own: its caption, image and node come from the node when the view
// asks (for the rows it shows), so the thousands of leaves of a large tree are made and freed
// without a string, an icon or a value list each. A value set on the item itself is what it
// shows, as with any item.
class ConfigTreeView::NodeItem final : public QTreeWidgetItem {
  public:
    NodeItem(const TreeNode& node, const QIcon& icon)
        : QTreeWidgetItem(kNodeItemType), node_(node), icon_(icon) {
        ItemMade();
    }
    ~NodeItem() override { liveItems_.fetch_sub(1, std::memory_order_relaxed); }
    NodeItem& operator=(const NodeItem&) = delete;

    QVariant data(int column, int role) const override {
        QVariant value = QTreeWidgetItem::data(column, role);
        if (column != 0 || value.isValid()) return value;
        switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
                return FromCp1251(Cp1251String(node_.Text));
            case Qt::DecorationRole:
                return icon_;
            case kNodeRole:
                return QVariant::fromValue(reinterpret_cast<quintptr>(&node_));
            default:
                return value;
        }
    }

    // The copy shows the same node, with copies of the children.
    QTreeWidgetItem* clone() const override {
        auto* copy = new NodeItem(*this);
        for (int i = 0; i < childCount(); ++i) copy->addChild(child(i)->clone());
        return copy;
    }

  private:
    // The item alone, without its children: QTreeWidgetItem's own copy.
    NodeItem(const NodeItem& other)
        : QTreeWidgetItem(other), node_(other.node_), icon_(other.icon_) {
        ItemMade();
    }

  private:
    const TreeNode& node_;
    const QIcon& icon_;  // one of the view's images
};

ConfigTreeView::ConfigTreeView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setIndentation(kIndent);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setAcceptDrops(false);
    setUniformRowHeights(true);
    // Long captions scroll sideways rather than being cut.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
}

void ConfigTreeView::ShowTree(const CfgTree& tree) {
    // The images are made for the first tree shown, not at the window's start.
    if (icons_[0].isNull())
        for (int i = 0; i < kTreeImageCount; ++i) icons_[static_cast<size_t>(i)] = TreeNodeIcon(i);
    kept_ = Kept();
    setUpdatesEnabled(false);
    clear();
    // The items are made apart from the view and handed to it at once: one insertion for the
    // whole tree instead of one (with its notifications) for each of thousands of leaves. Items
    // are expanded once they are in the view.
    QList<QTreeWidgetItem*> roots;
    std::vector<QTreeWidgetItem*> expanded;
    for (const auto& root : tree.Roots()) roots.append(MakeItem(*root, expanded));
    addTopLevelItems(roots);
    for (QTreeWidgetItem* item : expanded) item->setExpanded(true);
    setUpdatesEnabled(true);
}

QTreeWidgetItem* ConfigTreeView::MakeItem(const TreeNode& node,
                                          std::vector<QTreeWidgetItem*>& expanded) const {
    // An index out of range shows the device image, as TreeNodeIcon gives it.
    const int image =
        node.ImageIndex >= 0 && node.ImageIndex < kTreeImageCount ? node.ImageIndex : 0;
    auto* item = new NodeItem(node, icons_[static_cast<size_t>(image)]);
    if (!node.Children.empty()) {
        QList<QTreeWidgetItem*> children;
        children.reserve(static_cast<qsizetype>(node.Children.size()));
        for (const auto& child : node.Children) children.append(MakeItem(*child, expanded));
        item->addChildren(children);
    }
    if (node.Expanded) expanded.push_back(item);
    return item;
}

void ConfigTreeView::ReleaseItems() {
    kept_ = Kept();
    kept_.valid = true;
    // Only an item with children can be expanded; a collapsed one keeps its children's state.
    std::vector<QTreeWidgetItem*> parents;
    for (int i = 0; i < topLevelItemCount(); ++i) parents.push_back(topLevelItem(i));
    while (!parents.empty()) {
        QTreeWidgetItem* item = parents.back();
        parents.pop_back();
        if (item->childCount() == 0) continue;
        if (item->isExpanded()) kept_.expanded.push_back(NodeOf(item));
        for (int i = 0; i < item->childCount(); ++i)
            if (item->child(i)->childCount() > 0) parents.push_back(item->child(i));
    }
    std::sort(kept_.expanded.begin(), kept_.expanded.end());
    kept_.current = NodeOf(currentItem());
    kept_.selected = SelectedNode();
    kept_.vertical = verticalScrollBar()->value();
    kept_.horizontal = horizontalScrollBar()->value();
    setUpdatesEnabled(false);
    clear();
    setUpdatesEnabled(true);
}

void ConfigTreeView::RestoreItems(const CfgTree& tree) {
    const Kept kept = std::move(kept_);
    ShowTree(tree);
    if (!kept.valid) return;
    setUpdatesEnabled(false);
    QTreeWidgetItem* current = nullptr;
    QTreeWidgetItem* selected = nullptr;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const TreeNode* node = NodeOf(*it);
        if ((*it)->childCount() > 0)
            (*it)->setExpanded(
                std::binary_search(kept.expanded.begin(), kept.expanded.end(), node));
        if (node == kept.current) current = *it;
        if (node == kept.selected) selected = *it;
    }
    if (current != nullptr) setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    if (selected != nullptr) selected->setSelected(true);
    // The scroll ranges follow the items once they are laid out.
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(kept.vertical);
    horizontalScrollBar()->setValue(kept.horizontal);
    setUpdatesEnabled(true);
}

const TreeNode* ConfigTreeView::NodeOf(const QTreeWidgetItem* item) {
    if (item == nullptr) return nullptr;
    return reinterpret_cast<const TreeNode*>(item->data(0, kNodeRole).value<quintptr>());
}

const TreeNode* ConfigTreeView::SelectedNode() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : NodeOf(selected.constFirst());
}

QTreeWidgetItem* ConfigTreeView::ItemOf(const TreeNode* node) const {
    for (QTreeWidgetItemIterator it(const_cast<ConfigTreeView*>(this)); *it; ++it) {
        if (NodeOf(*it) == node) return *it;
    }
    return nullptr;
}

// Any node may be dragged; the list decides on the drop whether the selected node can be added.
void ConfigTreeView::startDrag(Qt::DropActions) {
    if (SelectedNode() == nullptr) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(dragpayload::Make(dragpayload::Origin::ConfigTree, this));
    if (const QTreeWidgetItem* item = currentItem()) drag->setPixmap(item->icon(0).pixmap(16, 16));
    drag->exec(Qt::CopyAction);
}

void ConfigTreeView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentItem() != nullptr) {
        emit EnterPressed();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}
