#include "app/ui/sharesplitter.h"

#include <QResizeEvent>
#include <algorithm>
#include <cmath>

ShareSplitter::ShareSplitter(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent) {}

double ShareSplitter::Share() const {
    if (pending_ || count() != 2) return share_;
    const QList<int> panes = sizes();
    const int room = panes.value(0) + panes.value(1);
    if (room <= 0) return share_;
    return static_cast<double>(panes.value(0)) / room;
}

void ShareSplitter::SetShare(double share) {
    if (!(share >= 0 && share <= 1)) return;  // NaN too
    share_ = share;
    pending_ = true;
    Apply(share);
}

void ShareSplitter::resizeEvent(QResizeEvent* event) {
    // Before the base class spreads the change, the panes still show the share as it was.
    const double share = Share();
    QSplitter::resizeEvent(event);
    if (share >= 0) Apply(share);
    if (isVisible()) pending_ = false;
}

void ShareSplitter::Apply(double share) {
    if (count() != 2) return;
    const int length = orientation() == Qt::Horizontal ? width() : height();
    const int room = length - handleWidth();
    if (room <= 0) return;
    auto least = [this](int pane) {
        const QWidget* w = widget(pane);
        return orientation() == Qt::Horizontal ? w->minimumWidth() : w->minimumHeight();
    };
    int first = static_cast<int>(std::lround(share * room));
    first = std::max(first, least(0));
    first = std::min(first, room - least(1));
    if (first < 0) return;
    const QList<int> wanted{first, room - first};
    if (sizes() != wanted) setSizes(wanted);
}
