#pragma once
// A panel of the status bar. Its width is fixed, and a hint or status text longer than the panel
// is shortened with "…" instead of being cut off in the middle of a letter: a path keeps its
// file's name and folder (ElidePathText); text() keeps the whole text.
#include <QLabel>

class StatusPanelLabel : public QLabel {
    Q_OBJECT
  public:
    explicit StatusPanelLabel(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
