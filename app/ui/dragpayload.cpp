#include "app/ui/dragpayload.h"

#include <QCoreApplication>
#include <QMimeData>
#include <QString>

namespace dragpayload {

namespace {

const QString kTreeNodeFormat = QStringLiteral("application/x-vr7-config-node");
const QString kListRowFormat = QStringLiteral("application/x-vr7-snvt-row");

QByteArray Stamp(const QWidget* source) {
    return QByteArray::number(QCoreApplication::applicationPid()) + ':' +
           QByteArray::number(reinterpret_cast<quintptr>(source));
}

}  // namespace

QMimeData* Make(Origin origin, const QWidget* source) {
    auto* data = new QMimeData;
    if (origin == Origin::ConfigTree) data->setData(kTreeNodeFormat, Stamp(source));
    if (origin == Origin::SnvtList) data->setData(kListRowFormat, Stamp(source));
    return data;
}

Origin Identify(const QMimeData* data, const QWidget* tree, const QWidget* list) {
    if (data == nullptr) return Origin::None;
    if (tree != nullptr && data->hasFormat(kTreeNodeFormat) &&
        data->data(kTreeNodeFormat) == Stamp(tree)) {
        return Origin::ConfigTree;
    }
    if (list != nullptr && data->hasFormat(kListRowFormat) &&
        data->data(kListRowFormat) == Stamp(list)) {
        return Origin::SnvtList;
    }
    return Origin::None;
}

}  // namespace dragpayload
