// Long paths in the status panels: the file's name and its folder stay, the middle gives way.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>

#include "app/ui/pathtext.h"

namespace {

const QString kSaved = QStringLiteral(
    "Сохранено в /home/engineer/Объекты заказчика/Котельная №3 на улице Заводской/vr7_12/"
    "CONFIG/duxgate.cfg");

TEST(ElidePathText, KeepsTheStartTheFileAndItsFolder) {
    int argc = 1;
    char name[] = "pathtext_test";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    const QFontMetrics metrics(QApplication::font());
    const int full = metrics.horizontalAdvance(kSaved);
    const struct {
        QString text;
        int width;
        QString start;  // what the shown text begins with
        QString end;    // and ends with
    } cases[] = {
        {kSaved, full, kSaved, kSaved},
        {kSaved, full / 2, QStringLiteral("Сохранено в"), QStringLiteral("/CONFIG/duxgate.cfg")},
        {QStringLiteral(
             "C:\\Объекты\\Котельная №3 на улице Заводской\\vr7_12\\CONFIG\\duxgate.cfg"),
         full / 3, QStringLiteral("C:"), QStringLiteral("\\CONFIG\\duxgate.cfg")},
        {QStringLiteral("Нет ответа от VR-7 с номером 12 на порту TCP/IP, проверьте питание"),
         full / 4, QStringLiteral("Нет"), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " in " + std::to_string(c.width));
        const QString shown = ElidePathText(c.text, metrics, c.width);
        EXPECT_LE(metrics.horizontalAdvance(shown), c.width);
        EXPECT_TRUE(shown.startsWith(c.start)) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(c.end)) << shown.toStdString();
        EXPECT_EQ(shown == c.text, c.width >= full || metrics.horizontalAdvance(c.text) <= c.width);
    }
    // Too narrow for the folder and the file: still within the width, the file's name first kept.
    const QString narrow = ElidePathText(kSaved, metrics, metrics.horizontalAdvance("duxgate.cfg"));
    EXPECT_LE(metrics.horizontalAdvance(narrow), metrics.horizontalAdvance("duxgate.cfg"));
}

}  // namespace
