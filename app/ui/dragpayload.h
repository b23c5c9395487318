#pragma once
// What the tree and the list put on a drag. The payload names the widget the drag came from in
// this process, so a drag from another window (or another copy of the program) is never taken
// for one of ours.
class QMimeData;
class QWidget;

namespace dragpayload {

enum class Origin {
    None,        // not ours
    ConfigTree,  // a node of the configuration tree (the tree's selected node)
    SnvtList,    // a row of the SNVT list (the list's selected row)
};

// New mime data for a drag of kind `origin` starting at `source`; the caller hands it to QDrag.
QMimeData* Make(Origin origin, const QWidget* source);

// Where data was dragged from: the tree `tree` or the list `list` of this process, or None.
Origin Identify(const QMimeData* data, const QWidget* tree, const QWidget* list);

}  // namespace dragpayload
