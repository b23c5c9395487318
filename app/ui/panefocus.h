#pragma once
// The keyboard's way between the window's panes. Tab and Shift+Tab (with or without Ctrl) move
// from pane to pane in a fixed order instead of from cell to cell inside one: the list moves
// between its rows with the arrows. F6 and Shift+F6 cycle the panes from anywhere in the window.
// Alt pressed and released alone goes to the menu bar, where the toolkit does not do it itself
// (on X11 it does not; a Cyrillic menu's Alt+letter needs the Russian keyboard layout, so Alt is
// the way to the menus with a Latin one). A pane that is
// hidden or disabled (the tree and the list while a device command runs) is passed over.
#include <QList>
#include <QObject>
#include <QPointer>
#include <vector>

class QMainWindow;
class QWidget;

class PaneFocus : public QObject {
    Q_OBJECT
  public:
    // panes in the order Tab goes through them; each keeps its own keys but Tab.
    PaneFocus(QMainWindow& window, const QList<QWidget*>& panes);

    // The pane that follows current (-1: none has the focus) forwards or backwards among those
    // usable, wrapping around; -1 when none is usable.
    static int NextPane(int current, bool forward, const std::vector<bool>& usable);

    // Moves the focus to the next (or previous) usable pane; false when there is none.
    bool Move(bool forward);
    // The pane holding the keyboard focus, -1 when none does.
    int Current() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool WatchAlt(QObject* watched, QEvent* event);

    QMainWindow& window_;
    QList<QPointer<QWidget>> panes_;
    bool altAlone_ = false;  // Alt is down and nothing else came since
};
