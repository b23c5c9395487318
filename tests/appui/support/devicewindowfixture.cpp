#include "tests/appui/support/devicewindowfixture.h"

#include <QApplication>
#include <QEvent>
#include <QTest>
#include <functional>

#include "app/ui/configtreeview.h"

TVR7CfgUpdate& DeviceWindowTest::ShowWindowAtDevice(uint32_t number) {
    TVR7CfgUpdate& w = CreateWindow();
    // The window takes its saved settings when first activated; the test's come after them.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    PointAt(w.Connection);
    w.Controller.SetDeviceNumber(number);
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    return w;
}

void DeviceWindowTest::OpenDemoFolder(TVR7CfgUpdate& w) {
    shell.folder = Work() + "/vr7_12";
    CopyTree(DemoFolder(), shell.folder);
    w.Open1Click();
}

QStringList ShownTree(const ConfigTreeView* tree) {
    QStringList lines;
    std::function<void(const QTreeWidgetItem*, int)> walk = [&](const QTreeWidgetItem* item,
                                                                int depth) {
        lines << QString(depth, QLatin1Char(' ')) + item->text(0);
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), 0);
    return lines;
}
