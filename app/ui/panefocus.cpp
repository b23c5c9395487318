#include "app/ui/panefocus.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QShortcut>

PaneFocus::PaneFocus(QMainWindow& window, const QList<QWidget*>& panes) : QObject(&window) {
    for (QWidget* pane : panes) {
        panes_.append(pane);
        pane->setFocusPolicy(Qt::StrongFocus);
        // Tab leaves the view: its cells are the arrows' business.
        if (auto* view = qobject_cast<QAbstractItemView*>(pane)) view->setTabKeyNavigation(false);
        // Tab in a pane goes to the next pane; the window's other fields keep Qt's order.
        pane->installEventFilter(this);
    }
    for (const bool forward : {true, false}) {
        auto* cycle = new QShortcut(
            forward ? QKeySequence(Qt::Key_F6) : QKeySequence(Qt::SHIFT | Qt::Key_F6), &window);
        cycle->setContext(Qt::WindowShortcut);
        connect(cycle, &QShortcut::activated, this, [this, forward] { Move(forward); });
    }
}

int PaneFocus::NextPane(int current, bool forward, const std::vector<bool>& usable) {
    const int count = static_cast<int>(usable.size());
    if (count == 0) return -1;
    // From outside every pane, forwards starts at the first and backwards at the last.
    int at = current < 0 || current >= count ? (forward ? -1 : count) : current;
    for (int step = 0; step < count; ++step) {
        at = forward ? (at + 1) % count : (at - 1 + count) % count;
        if (usable[static_cast<size_t>(at)]) return at;
    }
    return -1;
}

int PaneFocus::Current() const {
    const QWidget* focus = QApplication::focusWidget();
    for (int i = 0; i < panes_.size(); ++i) {
        const QWidget* pane = panes_[i];
        if (pane != nullptr && focus != nullptr && (pane == focus || pane->isAncestorOf(focus)))
            return i;
    }
    return -1;
}

bool PaneFocus::Move(bool forward) {
    std::vector<bool> usable;
    for (const QPointer<QWidget>& pane : panes_)
        usable.push_back(pane != nullptr && pane->isVisible() && pane->isEnabled());
    const int next = NextPane(Current(), forward, usable);
    if (next < 0) return false;
    panes_[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool PaneFocus::eventFilter(QObject*, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (!tab || (key->modifiers() & Qt::AltModifier)) return false;
    const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
    Move(forward);
    return true;
}
