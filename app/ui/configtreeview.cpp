#include "app/ui/configtreeview.h"

#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>

#include "app/ui/dragpayload.h"
#include "app/ui/imagelist.h"
#include "base/ui/qcp1251.h"

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;
constexpr int kIndent = 19;

}  // namespace

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
    auto* item = new QTreeWidgetItem;
    item->setText(0, FromCp1251(Cp1251String(node.Text)));
    // An index out of range shows the device image, as TreeNodeIcon gives it.
    const int image =
        node.ImageIndex >= 0 && node.ImageIndex < kTreeImageCount ? node.ImageIndex : 0;
    item->setIcon(0, icons_[static_cast<size_t>(image)]);
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(&node)));
    if (!node.Children.empty()) {
        QList<QTreeWidgetItem*> children;
        children.reserve(static_cast<qsizetype>(node.Children.size()));
        for (const auto& child : node.Children) children.append(MakeItem(*child, expanded));
        item->addChildren(children);
    }
    if (node.Expanded) expanded.push_back(item);
    return item;
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
