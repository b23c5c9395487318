#include "app/ui/statuspanel.h"

#include "app/ui/pathtext.h"

#include <QPainter>
#include <QStyle>

StatusPanelLabel::StatusPanelLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setMinimumWidth(1);  // the text never widens the panel
}

void StatusPanelLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(2, 0, -2, 0);
    const QString shown = ElidePathText(text(), fontMetrics(), area.width());
    // A text cut short (a failure's cause in a narrow window) is there whole as the tool tip.
    const QString tip = shown == text() ? QString() : text();
    if (toolTip() != tip) setToolTip(tip);
    style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                          shown, foregroundRole());
}
