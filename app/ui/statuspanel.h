#pragma once
// A panel of the status bar. Its width is fixed, and a hint or status text longer than the panel
// ends in "…" instead of being cut off in the middle of a letter; text() keeps the whole text.
#include <QLabel>

class StatusPanelLabel : public QLabel {
    Q_OBJECT
  public:
    explicit StatusPanelLabel(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
