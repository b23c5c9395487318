#include "app/ui/panefocus.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>
#include <utility>

PaneFocus::PaneFocus(QMainWindow& window, const QList<QWidget*>& panes)
    : QObject(&window), window_(window) {
    for (QWidget* pane : panes) {
        panes_.append(pane);
        pane->setFocusPolicy(Qt::StrongFocus);
        // Tab leaves the view: its cells are the arrows' business.
        if (auto* view = qobject_cast<QAbstractItemView*>(pane)) view->setTabKeyNavigation(false);
    }
    for (const bool forward : {true, false}) {
        auto* cycle = new QShortcut(
            forward ? QKeySequence(Qt::Key_F6) : QKeySequence(Qt::SHIFT | Qt::Key_F6), &window);
        cycle->setContext(Qt::WindowShortcut);
        connect(cycle, &QShortcut::activated, this, [this, forward] { Move(forward); });
    }
    // The keys are watched before the focused widget sees them, wherever the focus is.
    qApp->installEventFilter(this);
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

bool PaneFocus::WatchAlt(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress) altAlone_ = false;
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    // Only keys meant for this window: a dialog's or a menu's own are theirs.
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != &window_) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat()) return false;
    const bool alt = key->key() == Qt::Key_Alt &&
                     (key->modifiers() & ~(Qt::AltModifier | Qt::KeypadModifier)) == 0;
    if (type == QEvent::KeyPress) {
        altAlone_ = alt;
        return false;
    }
    if (!alt || !std::exchange(altAlone_, false)) return false;
    // Once the menu bar has seen the release too: it may have taken the Alt (the focus and its
    // first menu, drawn as no different by the style), or not; either way its menu opens, so that
    // the user sees where the keys now go.
    QTimer::singleShot(0, this, [this] {
        QMenuBar* bar = window_.menuBar();
        if (bar->actions().isEmpty() || !window_.isActiveWindow() ||
            QApplication::activePopupWidget() != nullptr)
            return;
        bar->setActiveAction(bar->activeAction() != nullptr ? bar->activeAction()
                                                            : bar->actions().first());
    });
    return false;
}

bool PaneFocus::eventFilter(QObject* watched, QEvent* event) {
    if (WatchAlt(watched, event)) return true;
    // Tab in a pane goes to the next pane; the window's other fields keep Qt's order.
    if (event->type() != QEvent::KeyPress) return false;
    bool pane = false;
    for (const QPointer<QWidget>& p : panes_) pane = pane || p == watched;
    if (!pane) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (!tab || (key->modifiers() & Qt::AltModifier)) return false;
    const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
    Move(forward);
    return true;
}
