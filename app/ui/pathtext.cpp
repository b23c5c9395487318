#include "app/ui/pathtext.h"

#include <QFontMetrics>
#include <algorithm>

QString ElidePathText(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width) return text;
    // The file's folder begins after the second separator from the end.
    qsizetype last = -1;
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\')})
        last = std::max(last, text.lastIndexOf(separator));
    qsizetype folder = -1;
    if (last > 0) {
        for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\')})
            folder = std::max(folder, text.lastIndexOf(separator, last - 1));
    }
    if (folder <= 0)
        return metrics.elidedText(text, last > 0 ? Qt::ElideMiddle : Qt::ElideRight, width);
    const QString tail = text.mid(folder);
    const int room = width - metrics.horizontalAdvance(tail);
    // Too narrow for even the folder and the file: the middle goes wherever it falls.
    if (room <= metrics.horizontalAdvance(QStringLiteral("……")))
        return metrics.elidedText(text, Qt::ElideMiddle, width);
    return metrics.elidedText(text.left(folder), Qt::ElideRight, room) + tail;
}
