#pragma once
// A splitter of two panes that keeps the first pane's share of their room: growing or shrinking
// the window (maximizing it, another screen) moves the handle with it, so that the share a restart
// gives back is the share the user left, whatever size the window comes up in first.
#include <QSplitter>

class ShareSplitter : public QSplitter {
  public:
    explicit ShareSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    // The first pane's share of both panes' room, 0..1; -1 before there are two panes with room.
    double Share() const;
    // Gives the first pane that share of the room, now and, until the splitter is on the screen
    // at its size, at every resize.
    void SetShare(double share);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Apply(double share);
    double share_ = -1;
    bool pending_ = false;  // SetShare's share waits for the splitter to be shown
};
