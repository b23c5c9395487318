// The keyboard route through the window (Enter on a tree leaf, Space, Delete, the standard
// shortcuts, the list's context menu) and the question before leaving an unsaved list.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QTest>
#include <QTreeWidgetItem>

#include "app/messages.h"
#include "app/ui/configtreeview.h"
#include "app/ui/exchangelog.h"
#include "app/ui/snvtlistview.h"
#include "base/ui/qcp1251.h"
#include "tests/appui/support/windowfixture.h"

namespace {

class KeyboardTest : public WindowTest {
  protected:
    // The demo folder opened in an active window whose list is then emptied.
    TVR7CfgUpdate& OpenDemoEmptied() {
        UseDemoCatalogue();
        TVR7CfgUpdate& w = CreateWindow();
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        shell.folder = DemoFolder();
        w.Open1Click();
        w.Panel2_SetAll_Click();
        w.DelSelected_R_ButtonClick();
        EXPECT_EQ(w.ListView1->rowCount(), 0);
        return w;
    }
    // Makes the first leaf of the first system current in the tree and presses key on it.
    static void PressOnFirstLeaf(TVR7CfgUpdate& w, Qt::Key key) {
        QTreeWidgetItem* leaf = w.TreeView1->topLevelItem(0)->child(0)->child(0);
        w.TreeView1->setCurrentItem(leaf);
        w.TreeView1->setFocus();
        QTest::keyClick(w.TreeView1, key);
    }
};

TEST_F(KeyboardTest, EnterAddsTheLeafSpaceChecksDeleteDeletesOnlyWhatIsChecked) {
    TVR7CfgUpdate& w = OpenDemoEmptied();
    PressOnFirstLeaf(w, Qt::Key_Return);
    ASSERT_EQ(w.ListView1->rowCount(), 1);
    PressOnFirstLeaf(w, Qt::Key_Enter);  // the same variable again: refused, as a double-click is
    EXPECT_EQ(w.ListView1->rowCount(), 1);
    QTreeWidgetItem* system = w.TreeView1->topLevelItem(0)->child(0);
    w.TreeView1->setCurrentItem(system);  // a system is no variable
    QTest::keyClick(w.TreeView1, Qt::Key_Return);
    EXPECT_EQ(w.ListView1->rowCount(), 1);
    w.TreeView1->setCurrentItem(system->child(1));
    QTest::keyClick(w.TreeView1, Qt::Key_Return);
    ASSERT_EQ(w.ListView1->rowCount(), 2);

    // Delete with nothing checked: nothing happens and nothing is asked.
    w.ListView1->setFocus();
    QTest::keyClick(w.ListView1, Qt::Key_Delete);
    EXPECT_EQ(w.ListView1->rowCount(), 2);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(messages.questions.isEmpty());

    // Space checks the current row whatever its column; Delete then deletes it.
    w.ListView1->setCurrentIndex(w.ListView1->model()->index(1, 3));
    QTest::keyClick(w.ListView1, Qt::Key_Space);
    EXPECT_TRUE(w.ListView1->IsChecked(1));
    EXPECT_TRUE(w.List.Row(1).checked);
    QTest::keyClick(w.ListView1, Qt::Key_Space);
    EXPECT_FALSE(w.List.Row(1).checked);
    QTest::keyClick(w.ListView1, Qt::Key_Space);
    QTest::keyClick(w.ListView1, Qt::Key_Delete);
    EXPECT_EQ(w.ListView1->rowCount(), 1);
    EXPECT_FALSE(w.ListView1->IsChecked(0));

    // The context menu holds the list's tool bar commands.
    EXPECT_EQ(w.ListView1->contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_EQ(w.ListView1->actions(), (QList<QAction*>{w.ClearAll1, w.SetAll1, w.DelSelected1}));
}

TEST_F(KeyboardTest, StandardShortcutsRunTheirCommands) {
    TVR7CfgUpdate& w = OpenDemoEmptied();
    PressOnFirstLeaf(w, Qt::Key_Return);
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(shell.folderTitles.size(), 2);
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(shell.saveRequests.size(), 1u);
    QTest::keyClick(&w, Qt::Key_F1);
    EXPECT_EQ(messages.messages.size(), 1);  // no Help.chm here: said so
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(KeyboardTest, LeavingAChangedListAsksFirst) {
    TVR7CfgUpdate& w = OpenDemoEmptied();
    EXPECT_TRUE(w.ListModified());  // emptied
    messages.answer = false;        // "Нет": stay
    EXPECT_FALSE(w.close());
    EXPECT_EQ(messages.questions, QStringList{FromCp1251(usertext::LeaveUnsaved())});
    EXPECT_TRUE(w.isVisible());

    // Opened again ("Да" to dropping the changes), then only checked: nothing to lose.
    messages.answer = true;
    w.Open1Click();
    EXPECT_FALSE(w.ListModified());
    w.Panel2_SetAll_Click();
    EXPECT_FALSE(w.ListModified());

    // Deleted from and added to, then saved: nothing to lose either.
    w.DelSelected_R_ButtonClick();
    PressOnFirstLeaf(w, Qt::Key_Return);
    EXPECT_EQ(w.ListView1->rowCount(), 1);
    EXPECT_TRUE(w.ListModified());
    shell.saveFile = Work() + "/duxgate.cfg";
    w.Save1Click();
    EXPECT_FALSE(w.ListModified());
    messages.questions.clear();
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(messages.questions.isEmpty());
}

TEST_F(KeyboardTest, ExitWithAChangedListLeavesOnYes) {
    TVR7CfgUpdate& w = OpenDemoEmptied();
    messages.answer = true;
    w.FileExit1Execute();
    EXPECT_EQ(messages.questions, QStringList{FromCp1251(usertext::LeaveUnsaved())});
    EXPECT_FALSE(w.isVisible());
}

// Tab and Shift+Tab (Ctrl or not) go from pane to pane, F6 and Shift+F6 from anywhere; a hidden
// pane is passed over; Alt alone opens the first menu.
TEST_F(KeyboardTest, TabShiftTabAndF6MoveBetweenThePanesAltOpensTheMenu) {
    TVR7CfgUpdate& w = OpenDemoEmptied();
    PressOnFirstLeaf(w, Qt::Key_Return);
    w.ExchangeLog->show();
    QWidget* log = w.ExchangeLog->View();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QWidget* expected;
    } steps[] = {
        {Qt::Key_Tab, Qt::NoModifier, w.ListView1},      {Qt::Key_Tab, Qt::NoModifier, log},
        {Qt::Key_Tab, Qt::NoModifier, w.TreeView1},      {Qt::Key_Backtab, Qt::ShiftModifier, log},
        {Qt::Key_Tab, Qt::ControlModifier, w.TreeView1}, {Qt::Key_F6, Qt::ShiftModifier, log},
        {Qt::Key_F6, Qt::NoModifier, w.TreeView1}};
    w.TreeView1->setFocus();
    for (const auto& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.key, step.modifiers);
        EXPECT_EQ(QApplication::focusWidget(), step.expected)
            << QKeySequence(step.key).toString().toStdString();
    }
    w.ExchangeLog->hide();
    w.Edit1->setFocus();
    QTest::keyClick(w.Edit1, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), w.ListView1);
    QTest::keyPress(w.ListView1, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(w.ListView1, Qt::Key_Alt);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.File1->isVisible(); }));
}

}  // namespace
