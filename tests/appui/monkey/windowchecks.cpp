#include "tests/appui/monkey/windowchecks.h"

#include <QAction>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTreeWidgetItem>

#include "app/ui/configtreeview.h"
#include "app/ui/snvtlistview.h"
#include "app/ui/vr7cfgupdate.h"
#include "base/ui/qcp1251.h"

namespace {

QString Text(const std::string& cp1251) {
    return FromCp1251(Cp1251String(cp1251));
}

// The caption the counters line shows before the list first changes.
const QString kListCaption = QStringLiteral("Список SNVT переменных");

void CheckItem(const QTreeWidgetItem* item, const TreeNode& node, const QString& path,
               QStringList& faults) {
    const QString where = path + QLatin1Char('/') + item->text(0);
    if (ConfigTreeView::NodeOf(item) != &node)
        faults << QStringLiteral("tree item %1 points at another node than the one at its place")
                      .arg(where);
    if (item->text(0) != Text(node.Text))
        faults << QStringLiteral("tree item %1 shows \"%2\", its node is \"%3\"")
                      .arg(where, item->text(0), Text(node.Text));
    if (item->childCount() != static_cast<int>(node.Children.size())) {
        faults << QStringLiteral("tree item %1 has %2 children, its node %3")
                      .arg(where)
                      .arg(item->childCount())
                      .arg(node.Children.size());
        return;
    }
    for (int i = 0; i < item->childCount(); ++i)
        CheckItem(item->child(i), *node.Children[static_cast<size_t>(i)], where, faults);
}

struct CommandControl {
    const char* name;
    bool enabled;
};

}  // namespace

QStringList CheckListMirror(const TVR7CfgUpdate& w) {
    QStringList faults;
    const SnvtListView* view = w.ListView1;
    const SnvtList& list = w.List;
    if (static_cast<size_t>(view->rowCount()) != list.RowCount()) {
        faults << QStringLiteral("the list shows %1 rows, the model holds %2")
                      .arg(view->rowCount())
                      .arg(list.RowCount());
    } else {
        for (int r = 0; r < view->rowCount(); ++r) {
            const SnvtRow& row = list.Row(static_cast<size_t>(r));
            for (int c = 0; c < view->columnCount(); ++c) {
                const QString shown = view->Text(r, c);
                if (shown != Text(row.Text(c)))
                    faults << QStringLiteral("row %1 column %2 shows \"%3\", the model \"%4\"")
                                  .arg(r)
                                  .arg(c)
                                  .arg(shown, Text(row.Text(c)));
            }
            if (view->IsChecked(r) != row.checked)
                faults << QStringLiteral("row %1 is %2 on the screen, %3 in the model")
                              .arg(r)
                              .arg(view->IsChecked(r) ? "checked" : "unchecked")
                              .arg(row.checked ? "checked" : "unchecked");
        }
    }

    unsigned used = 0;
    for (const SnvtRow& row : list.Rows()) used += row.SnvtCount();
    if (list.UsedVariables() != used)
        faults << QStringLiteral("the list counts %1 SNVT variables, its rows hold %2")
                      .arg(list.UsedVariables())
                      .arg(used);
    const QString counters = w.Edit2->text();
    const bool untouched = list.RowCount() == 0 && counters == kListCaption;
    if (!untouched && counters != Text(list.CountersText()))
        faults << QStringLiteral("the counters line reads \"%1\", the list's counters \"%2\"")
                      .arg(counters, Text(list.CountersText()));
    static const QRegularExpression usedPattern(QStringLiteral("задействовано: (-?\\d+)"));
    const QRegularExpressionMatch match = usedPattern.match(counters);
    if (match.hasMatch() && match.captured(1).toLongLong() != static_cast<long long>(used))
        faults << QStringLiteral("the counters line says %1 used, the rows hold %2")
                      .arg(match.captured(1))
                      .arg(used);
    return faults;
}

QStringList CheckTreeMirror(const TVR7CfgUpdate& w) {
    QStringList faults;
    const auto& roots = w.Tree.Roots();
    if (w.TreeView1->topLevelItemCount() != static_cast<int>(roots.size())) {
        faults << QStringLiteral("the tree shows %1 roots, the model holds %2")
                      .arg(w.TreeView1->topLevelItemCount())
                      .arg(roots.size());
        return faults;
    }
    for (int i = 0; i < w.TreeView1->topLevelItemCount(); ++i)
        CheckItem(w.TreeView1->topLevelItem(i), *roots[static_cast<size_t>(i)], QString(), faults);
    return faults;
}

QStringList CheckCommandStates(const TVR7CfgUpdate& w) {
    QStringList faults;
    const bool running = w.DeviceCommandRunning();
    const CommandControl controls[] = {
        {"Открыть", w.Open1->isEnabled()},
        {"Прочитать из VR-7", w.Load1->isEnabled()},
        {"Сохранить в VR-7", w.Store1->isEnabled()},
        {"Сохранить на диск", w.Save1->isEnabled()},
        {"Порт", w.Port1->isEnabled()},
        {"Снять отметки", w.ClearAll1->isEnabled()},
        {"Отметить всё", w.SetAll1->isEnabled()},
        {"Удалить выбранное", w.DelSelected1->isEnabled()},
        {"the tree", w.TreeView1->isEnabled()},
        {"the list", w.ListView1->isEnabled()},
    };
    for (const CommandControl& control : controls) {
        if (control.enabled == running)
            faults << QStringLiteral("%1 is %2 while %3")
                          .arg(QString::fromUtf8(control.name),
                               control.enabled ? QStringLiteral("enabled")
                                               : QStringLiteral("disabled"),
                               running ? QStringLiteral("a device command runs")
                                       : QStringLiteral("no device command runs"));
    }
    const bool cancelShown = w.CancelButton->isVisibleTo(&w);
    if (cancelShown != running)
        faults << (running ? QStringLiteral("Cancel is hidden while a device command runs")
                           : QStringLiteral("Cancel shows while no device command runs"));
    return faults;
}

QStringList CheckNoRepeatedLeaves(const TVR7CfgUpdate& w) {
    QStringList faults;
    std::vector<const QTreeWidgetItem*> folders;
    for (int i = 0; i < w.TreeView1->topLevelItemCount(); ++i)
        folders.push_back(w.TreeView1->topLevelItem(i));
    for (size_t f = 0; f < folders.size(); ++f) {
        const QTreeWidgetItem* folder = folders[f];
        QSet<QString> seen;
        for (int i = 0; i < folder->childCount(); ++i) {
            const QTreeWidgetItem* child = folder->child(i);
            if (child->childCount() > 0) folders.push_back(child);
            if (seen.contains(child->text(0)))
                faults << QStringLiteral("the tree shows \"%1\" twice under \"%2\"")
                              .arg(child->text(0), folder->text(0));
            seen.insert(child->text(0));
        }
    }
    return faults;
}

QStringList CheckWindow(const TVR7CfgUpdate& w, const WindowCheckSwitches& switches) {
    QStringList faults = CheckCommandStates(w);
    if (w.DeviceCommandRunning()) return faults;
    faults << CheckListMirror(w) << CheckTreeMirror(w);
    if (switches.barHiddenWhenIdle && !switches.barMayShow && !w.ProgressBar->isHidden())
        faults << QStringLiteral("the progress bar shows while no device command runs");
    if (switches.noRepeatedLeaves) faults << CheckNoRepeatedLeaves(w);
    return faults;
}

QStringList CheckKnownFaults(const TVR7CfgUpdate& w, const WindowCheckSwitches& switches) {
    QStringList faults;
    if (w.DeviceCommandRunning()) return faults;
    if (!switches.barHiddenWhenIdle && !switches.barMayShow && !w.ProgressBar->isHidden())
        faults << QStringLiteral("the progress bar shows while no device command runs");
    if (!switches.noRepeatedLeaves) faults << CheckNoRepeatedLeaves(w);
    return faults;
}
