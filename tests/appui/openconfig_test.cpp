// Opening a configuration folder and working with the tree and the list on the real widgets:
// only the folder and save dialogs are answered by the test.
#include <gtest/gtest.h>

#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include "app/messages.h"
#include "app/ui/configtreeview.h"
#include "app/ui/dragpayload.h"
#include "app/ui/imagelist.h"
#include "app/ui/statuspanel.h"
#include "base/cp1251.h"
#include "base/ui/qcp1251.h"
#include "gateway/listcsv.h"
#include "tests/appui/support/windowfixture.h"

namespace {

const QString kNoRoomTwo = FromCp1251(usertext::NoRoom(2));

QString S(const std::string& cp1251Text) {
    return QString::fromStdString(cp1251::ToUtf8(Cp1251String(cp1251Text)));
}

// The tree item under the captions of a path from the root.
QTreeWidgetItem* FindItem(ConfigTreeView* tree, const QStringList& path) {
    QTreeWidgetItem* item = nullptr;
    for (const QString& caption : path) {
        QTreeWidgetItem* next = nullptr;
        const int count = item ? item->childCount() : tree->topLevelItemCount();
        for (int i = 0; i < count && next == nullptr; ++i) {
            QTreeWidgetItem* child = item ? item->child(i) : tree->topLevelItem(i);
            if (child->text(0) == caption) next = child;
        }
        if (next == nullptr) return nullptr;
        item = next;
    }
    return item;
}

const QString kRoot = QStringLiteral("VR7 №12");
const QString kSystem1 = QStringLiteral("Система №1 : Котельная");
const QString kSystem2 = QStringLiteral("Система №2 : Горячее водоснабжение");
const QString kSystem3 = QStringLiteral("Система №3 : Приточная вентиляция");

class OpenConfigTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        UseDemoCatalogue();
    }

    // A window showing the demo configuration folder.
    TVR7CfgUpdate& OpenDemo() {
        TVR7CfgUpdate& w = CreateWindow();
        w.show();
        w.FormActivate();
        shell.folder = DemoFolder();
        w.Open1Click();
        return w;
    }

    QStringList Captions() const {
        QStringList captions;
        for (int r = 0; r < window->ListView1->rowCount(); ++r) {
            captions << window->ListView1->Text(r, 0);
        }
        return captions;
    }
    QString Cell(int row, int column) const { return window->ListView1->Text(row, column); }

    void Select(const QStringList& path) {
        QTreeWidgetItem* item = FindItem(window->TreeView1, path);
        ASSERT_NE(item, nullptr) << path.join('/').toStdString();
        if (item->parent()) item->parent()->setExpanded(true);
        window->TreeView1->setCurrentItem(item);
    }
    void DoubleClick(const QStringList& path) {
        Select(path);
        QTreeWidgetItem* item = window->TreeView1->currentItem();
        window->TreeView1->scrollToItem(item);
        const QPoint at = window->TreeView1->visualItemRect(item).center();
        // The mouse events go to the tree as the platform delivers them (QTest's own double
        // click is timed by the platform layer and does not always arrive as one).
        QWidget* vp = window->TreeView1->viewport();
        const QPointF global = vp->mapToGlobal(QPointF(at));
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, QPointF(at), global, Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(vp, &event);
        }
    }

    // A drag of `data` over the list to `at` (viewport coordinates): whether the list accepts it,
    // and when it does, the drop.
    bool DragTo(QMimeData* data, QPoint at, Qt::DropAction action) {
        QWidget* viewport = window->ListView1->viewport();
        QDragEnterEvent enter(at, action, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, action, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        if (!move.isAccepted()) return false;
        QDropEvent drop(at, action, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        return drop.isAccepted();
    }
    QPoint RowPoint(int row) const { return window->ListView1->CaptionRect(row).center(); }
    QPoint BelowTheRows() const {
        const QRect area = window->ListView1->viewport()->rect();
        return QPoint(area.left() + 10, area.bottom() - 5);
    }
    bool DragTreeSelectionTo(QPoint at) {
        std::unique_ptr<QMimeData> data(
            dragpayload::Make(dragpayload::Origin::ConfigTree, window->TreeView1));
        return DragTo(data.get(), at, Qt::CopyAction);
    }
    bool DragListSelectionTo(QPoint at) {
        std::unique_ptr<QMimeData> data(
            dragpayload::Make(dragpayload::Origin::SnvtList, window->ListView1));
        return DragTo(data.get(), at, Qt::MoveAction);
    }
    void CheckRow(int row, bool checked) { ClickCheckBox(window->ListView1, row, checked); }
    // A copy of the demo folder under the working folder, with one file's bytes replaced.
    QString DemoCopy(const QString& name, const QString& file = QString(),
                     const std::string& from = "", const std::string& to = "") {
        const QString copy = Work() + "/" + name;
        CopyTree(DemoFolder(), copy);
        if (!file.isEmpty()) {
            std::string bytes = ReadFile(copy + "/CONFIG/" + file);
            const size_t at = bytes.find(from);
            EXPECT_NE(at, std::string::npos) << from;
            if (at != std::string::npos) bytes.replace(at, from.size(), to);
            WriteFile(copy + "/CONFIG/" + file, bytes);
        }
        return copy;
    }
};

TEST_F(OpenConfigTest, ShowsTheDevicesSystemsAndVariablesWithTheirImages) {
    TVR7CfgUpdate& w = OpenDemo();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(messages.errors.isEmpty());
    ASSERT_EQ(w.TreeView1->topLevelItemCount(), 1);
    QTreeWidgetItem* root = w.TreeView1->topLevelItem(0);
    EXPECT_EQ(root->text(0), kRoot);
    EXPECT_TRUE(root->isExpanded());
    ASSERT_EQ(root->childCount(), 3);
    EXPECT_EQ(root->child(0)->text(0), kSystem1);
    EXPECT_EQ(root->child(1)->text(0), kSystem2);
    EXPECT_EQ(root->child(2)->text(0), kSystem3);
    EXPECT_EQ(root->child(0)->childCount(), 11);
    EXPECT_EQ(root->child(1)->child(2)->text(0), QStringLiteral("тхв"));

    // Every item shows its model node, at the node's depth, with the node's image.
    int items = 0;
    for (QTreeWidgetItemIterator it(w.TreeView1); *it; ++it, ++items) {
        const TreeNode* node = ConfigTreeView::NodeOf(*it);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ((*it)->text(0), S(node->Text));
        int depth = 0;
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
        EXPECT_EQ(node->Level(), depth);
        const int expectedImage = depth == 0 ? imgDevice : depth == 1 ? imgSystem : imgCalc;
        EXPECT_EQ(node->ImageIndex, expectedImage) << (*it)->text(0).toStdString();
        EXPECT_EQ((*it)->icon(0).pixmap(16, 16).toImage(),
                  TreeNodeIcon(expectedImage).pixmap(16, 16).toImage());
    }
    EXPECT_EQ(items, 1 + 3 + 11 + 8 + 7);
}

TEST_F(OpenConfigTest, TakesTheDeviceNumberTheListAndTheFolder) {
    TVR7CfgUpdate& w = OpenDemo();
    EXPECT_EQ(w.Controller.DeviceNumber(), 12u);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);
    EXPECT_EQ(w.Edit1->text(), DemoFolder());
    EXPECT_EQ(Captions(),
              (QStringList{"1t1", "1t2", "1q1", "2v1", "2тхв", "3tnv", "1w1", "1terr"}));
    EXPECT_EQ(Cell(2, 5), QStringLiteral("1q1f"));
    EXPECT_EQ(Cell(2, 6), QStringLiteral("40007"));
    EXPECT_EQ(Cell(3, 4), QStringLiteral("м3/ч"));
    EXPECT_EQ(w.UsedVariables(), 11u);
    EXPECT_EQ(w.Edit2->text(), FromCp1251(usertext::Counters(62, 11, 51)));
}

TEST_F(OpenConfigTest, FindsTheDeviceNumberAndConfigFolderInAnyLetterCase) {
    const QString copy = Work() + "/ДАННЫЕ/VR7_0042x";
    CopyTree(DemoFolder(), copy);
    ASSERT_TRUE(QDir(copy).rename("CONFIG", "config"));
    TVR7CfgUpdate& w = CreateWindow();
    shell.folder = copy;
    w.Open1Click();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(w.Controller.DeviceNumber(), 42u);
    EXPECT_EQ(w.TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(w.ListView1->rowCount(), 8);
    EXPECT_EQ(w.Edit1->text(), copy);

    // No digits give 0; a long run of digits keeps the low 32 bits.
    shell.folder = DemoCopy("vr7_cfg");
    ASSERT_TRUE(QFile::remove(shell.folder + "/CONFIG/duxgate.cfg"));
    w.Open1Click();
    EXPECT_EQ(w.Controller.DeviceNumber(), 0u);
    EXPECT_EQ(w.ListView1->rowCount(), 0);  // a folder without a settings file: an empty list
    EXPECT_EQ(w.Edit2->text(), FromCp1251(usertext::Counters(62, 0, 62)));
    shell.folder = DemoCopy("vr7_4294967301");
    w.Open1Click();
    EXPECT_EQ(w.Controller.DeviceNumber(), 5u);
    EXPECT_TRUE(messages.errors.isEmpty());
}

TEST_F(OpenConfigTest, AnUnreadableMainXmcKeepsWhatTheWindowShowed) {
    TVR7CfgUpdate& w = OpenDemo();
    CheckRow(1, true);
    const QString broken = DemoCopy("vr7_5", "main.xmc", "</vr7cfg>", "</vr7");
    shell.folder = broken;
    w.Open1Click();
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors[0].contains(QStringLiteral("main.xmc")))
        << messages.errors[0].toStdString();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(w.Controller.DeviceNumber(), 12u);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 2);
    EXPECT_EQ(w.Edit1->text(), DemoFolder());
    EXPECT_EQ(w.ListView1->rowCount(), 8);
    EXPECT_TRUE(w.ListView1->IsChecked(1));
    EXPECT_EQ(w.UsedVariables(), 11u);
    ASSERT_EQ(w.TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(w.TreeView1->topLevelItem(0)->childCount(), 3);
    // The tree still works: its items point at live nodes.
    DoubleClick({kRoot, kSystem3, "t3"});
    EXPECT_EQ(Captions().constLast(), QStringLiteral("3t3"));
}

// A re-open reads the new folder with no item of the old tree alive (a large tree is not held
// twice); a folder that fails brings the old tree's items back as the user left them. main.xmc is
// a named pipe, so that what is alive can be counted while the window reads it.
TEST_F(OpenConfigTest, AReopenReadsTheNewFolderWithTheOldItemsGone) {
    struct Case {
        const char* folder;
        bool broken;
    };
    for (const Case& c : {Case{"vr7_7", false}, Case{"vr7_8", true}}) {
        SCOPED_TRACE(c.folder);
        messages.errors.clear();
        TVR7CfgUpdate& w = OpenDemo();
        ASSERT_EQ(ConfigTreeView::LiveItems(), 1 + 3 + 11 + 8 + 7);
        // What the user left: the first system collapsed by them, the second and third
        // expanded, a leaf of the second current and selected, the view scrolled to its end.
        Select({kRoot, kSystem2, QStringLiteral("тхв")});
        const TreeNode* const chosen = w.TreeView1->SelectedNode();
        FindItem(w.TreeView1, {kRoot, kSystem1})->setExpanded(false);
        FindItem(w.TreeView1, {kRoot, kSystem3})->setExpanded(true);
        w.TreeView1->setFixedHeight(w.TreeView1->sizeHintForRow(0) * 6);
        QCoreApplication::processEvents();
        w.TreeView1->scrollToBottom();
        const int scrolled = w.TreeView1->verticalScrollBar()->value();
        ASSERT_GT(scrolled, 0);

        const QString copy = DemoCopy(c.folder);
        if (c.broken) {
            const QString xmc = copy + "/CONFIG/main.xmc";
            std::string bytes = ReadFile(xmc);
            bytes.replace(bytes.find("</vr7cfg>"), 9, "</vr7");
            QFile file(xmc);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        }
        // The old items go before the new folder is read: never two trees' items at once.
        ConfigTreeView::ResetPeakLiveItems();
        shell.folder = copy;
        w.Open1Click();
        EXPECT_LE(ConfigTreeView::PeakLiveItems(), 1 + 3 + 11 + 8 + 7);
        ASSERT_EQ(w.TreeView1->topLevelItemCount(), 1);
        QTreeWidgetItem* root = w.TreeView1->topLevelItem(0);
        if (!c.broken) {
            EXPECT_EQ(messages.errors, QStringList());
            EXPECT_EQ(w.Controller.DeviceNumber(), 7u);
            EXPECT_EQ(ConfigTreeView::LiveItems(), 1 + 3 + 11 + 8 + 7);
            EXPECT_TRUE(root->isExpanded());  // as the new tree says, nothing kept
            EXPECT_FALSE(root->child(1)->isExpanded());
            EXPECT_EQ(w.TreeView1->SelectedNode(), nullptr);
            continue;
        }
        EXPECT_EQ(messages.errors.size(), 1);
        EXPECT_EQ(w.Controller.DeviceNumber(), 12u);
        EXPECT_EQ(ConfigTreeView::LiveItems(), 1 + 3 + 11 + 8 + 7);
        EXPECT_TRUE(root->isExpanded());
        EXPECT_FALSE(root->child(0)->isExpanded());
        EXPECT_TRUE(root->child(1)->isExpanded());
        EXPECT_TRUE(root->child(2)->isExpanded());
        EXPECT_EQ(w.TreeView1->verticalScrollBar()->value(), scrolled);
        EXPECT_EQ(w.TreeView1->SelectedNode(), chosen);
        EXPECT_EQ(ConfigTreeView::NodeOf(w.TreeView1->currentItem()), chosen);
    }
}

TEST_F(OpenConfigTest, DoubleClickAddsAVariableAtTheEnd) {
    TVR7CfgUpdate& w = OpenDemo();
    DoubleClick({kRoot, kSystem3, "t3"});
    ASSERT_EQ(w.ListView1->rowCount(), 9);
    EXPECT_EQ(Captions().constLast(), QStringLiteral("3t3"));
    EXPECT_EQ(Cell(8, 1), QStringLiteral("40020"));
    EXPECT_EQ(Cell(8, 2), QStringLiteral("F"));
    EXPECT_EQ(Cell(8, 3), QStringLiteral("105"));
    EXPECT_EQ(Cell(8, 4), QStringLiteral("°C"));
    // The file's references are renumbered by the change.
    EXPECT_EQ(Cell(0, 1), QStringLiteral("40001"));
    EXPECT_EQ(w.Edit2->text(), FromCp1251(usertext::Counters(62, 12, 50)));

    // The same node again, a folder and the root add nothing.
    DoubleClick({kRoot, kSystem3, "t3"});
    DoubleClick({kRoot, kSystem2});
    DoubleClick({kRoot});
    EXPECT_EQ(w.ListView1->rowCount(), 9);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(OpenConfigTest, DropFromTheTreeInsertsAtTheRowOrAtTheEnd) {
    TVR7CfgUpdate& w = OpenDemo();
    Select({kRoot, kSystem2, "v2"});
    ASSERT_TRUE(DragTreeSelectionTo(RowPoint(1)));
    EXPECT_EQ(Captions().mid(0, 3), (QStringList{"1t1", "2v2", "1t2"}));
    EXPECT_EQ(Cell(1, 5), QStringLiteral("2v2f"));  // with its flags variable
    EXPECT_EQ(Cell(1, 6), QStringLiteral("40005"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("40006"));
    EXPECT_EQ(w.UsedVariables(), 13u);

    Select({kRoot, kSystem1, "p2"});
    ASSERT_TRUE(DragTreeSelectionTo(BelowTheRows()));
    EXPECT_EQ(Captions().constLast(), QStringLiteral("1p2"));
    EXPECT_EQ(w.ListView1->rowCount(), 10);
}

TEST_F(OpenConfigTest, OnlyAVariableAtDepthTwoOfThisWindowMayBeDropped) {
    TVR7CfgUpdate& w = OpenDemo();
    Select({kRoot, kSystem1});
    EXPECT_FALSE(DragTreeSelectionTo(RowPoint(0)));
    Select({kRoot});
    EXPECT_FALSE(DragTreeSelectionTo(RowPoint(0)));
    w.TreeView1->clearSelection();
    EXPECT_FALSE(DragTreeSelectionTo(RowPoint(0)));

    // A drag that names another widget (another window or program) is not ours.
    Select({kRoot, kSystem1, "p2"});
    QWidget other;
    std::unique_ptr<QMimeData> foreign(dragpayload::Make(dragpayload::Origin::ConfigTree, &other));
    EXPECT_FALSE(DragTo(foreign.get(), RowPoint(0), Qt::CopyAction));
    auto plain = std::make_unique<QMimeData>();
    plain->setText(QStringLiteral("1p2"));
    EXPECT_FALSE(DragTo(plain.get(), RowPoint(0), Qt::CopyAction));
    EXPECT_EQ(w.ListView1->rowCount(), 8);
}

TEST_F(OpenConfigTest, FoldersNestedByASlashInASystemNameAddNothing) {
    // "Котельная/Контур" nests a folder at depth 2 with the variables under it at depth 3.
    const QString nested =
        DemoCopy("vr7_12", "kotel.xms", W("\"Котельная\""), W("\"Котельная/Контур\""));
    TVR7CfgUpdate& w = CreateWindow();
    w.show();
    shell.folder = nested;
    w.Open1Click();
    const QStringList folder = {kRoot, kSystem1, QStringLiteral("Контур")};
    ASSERT_NE(FindItem(w.TreeView1, folder), nullptr);
    const int rows = w.ListView1->rowCount();

    DoubleClick(folder);
    Select(folder);
    EXPECT_FALSE(DragTreeSelectionTo(RowPoint(0)));
    EXPECT_EQ(w.ListView1->rowCount(), rows);
    EXPECT_TRUE(messages.messages.isEmpty());

    // Its variables are deeper than 2: added by double-click, but not dragged.
    FindItem(w.TreeView1, folder)->setExpanded(true);
    Select(folder + QStringList{"p2"});
    EXPECT_FALSE(DragTreeSelectionTo(RowPoint(0)));
    DoubleClick(folder + QStringList{"p2"});
    EXPECT_EQ(Captions().constLast(), QStringLiteral("1p2"));
}

TEST_F(OpenConfigTest, AVariableBeyondTheCapacityIsRefusedWithTheMessage) {
    std::string catalogue = ReadFile("calcbank.xml");
    catalogue.replace(catalogue.find("size=\"62\""), 9, "size=\"12\"");
    WriteFile("calcbank.xml", catalogue);
    TVR7CfgUpdate& w = OpenDemo();
    ASSERT_EQ(w.MaxVariables(), 12u);

    DoubleClick({kRoot, kSystem2, "v2"});  // needs two: 11 + 2 > 12
    EXPECT_EQ(messages.messages, QStringList{kNoRoomTwo});
    EXPECT_EQ(w.ListView1->rowCount(), 8);
    Select({kRoot, kSystem2, "v2"});
    ASSERT_TRUE(DragTreeSelectionTo(RowPoint(0)));
    EXPECT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(w.ListView1->rowCount(), 8);

    DoubleClick({kRoot, kSystem1, "p2"});  // needs one: fits exactly
    EXPECT_EQ(w.ListView1->rowCount(), 9);
    EXPECT_EQ(w.Edit2->text(), FromCp1251(usertext::Counters(12, 12, 0)));
    DoubleClick({kRoot, kSystem1, "p1"});
    EXPECT_EQ(messages.messages.constLast(), FromCp1251(usertext::NoRoom(1)));
}

TEST_F(OpenConfigTest, DragWithinTheListMovesTheRowBeforeTheTarget) {
    TVR7CfgUpdate& w = OpenDemo();
    CheckRow(7, true);
    w.ListView1->SelectRow(7);
    ASSERT_TRUE(DragListSelectionTo(RowPoint(0)));
    EXPECT_EQ(Captions(),
              (QStringList{"1terr", "1t1", "1t2", "1q1", "2v1", "2тхв", "3tnv", "1w1"}));
    EXPECT_TRUE(w.ListView1->IsChecked(0));
    EXPECT_FALSE(w.ListView1->IsChecked(7));
    EXPECT_EQ(w.ListView1->SelectedRow(), 0);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("40001"));
    EXPECT_EQ(Cell(0, 6), QStringLiteral("40003"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("40004"));
    EXPECT_EQ(w.UsedVariables(), 11u);

    // Downwards the copy lands before the target too; to empty space it goes last.
    w.ListView1->SelectRow(0);
    ASSERT_TRUE(DragListSelectionTo(RowPoint(3)));
    EXPECT_EQ(Captions().mid(0, 4), (QStringList{"1t1", "1t2", "1terr", "1q1"}));
    EXPECT_EQ(w.ListView1->SelectedRow(), 2);
    ASSERT_TRUE(DragListSelectionTo(BelowTheRows()));
    EXPECT_EQ(Captions().constLast(), QStringLiteral("1terr"));
    EXPECT_EQ(w.ListView1->SelectedRow(), 7);

    // Onto itself, or with nothing selected: nothing moves.
    const QStringList before = Captions();
    ASSERT_TRUE(DragListSelectionTo(RowPoint(7)));
    w.ListView1->clearSelection();
    ASSERT_TRUE(DragListSelectionTo(RowPoint(0)));
    EXPECT_EQ(Captions(), before);
}

TEST_F(OpenConfigTest, CheckBoxesSetAllClearAllAndDeleteChecked) {
    TVR7CfgUpdate& w = OpenDemo();
    w.Panel2_SetAll_Click();
    for (int r = 0; r < 8; ++r) EXPECT_TRUE(w.ListView1->IsChecked(r)) << r;
    w.Panel2_ClearAll_Click();
    for (int r = 0; r < 8; ++r) EXPECT_FALSE(w.ListView1->IsChecked(r)) << r;
    EXPECT_FALSE(w.ProgressBar->isVisible());

    w.DelSelected_R_ButtonClick();  // nothing checked: nothing goes
    EXPECT_EQ(w.ListView1->rowCount(), 8);

    // The user's check boxes reach the list: q1 (with flags) and the two rows after it.
    CheckRow(2, true);
    CheckRow(3, true);
    CheckRow(4, true);
    w.DelSelected_R_ButtonClick();
    EXPECT_EQ(Captions(), (QStringList{"1t1", "1t2", "3tnv", "1w1", "1terr"}));
    EXPECT_EQ(w.UsedVariables(), 6u);
    EXPECT_EQ(Cell(2, 1), QStringLiteral("40005"));
    EXPECT_EQ(w.Edit2->text(), FromCp1251(usertext::Counters(62, 6, 56)));
    EXPECT_FALSE(w.ProgressBar->isVisible());

    w.Panel2_SetAll_Click();
    w.DelSelected_R_ButtonClick();
    EXPECT_EQ(w.ListView1->rowCount(), 0);
    EXPECT_EQ(w.UsedVariables(), 0u);
}

// Settings rows of plain variables v<first>, v<first+1>, ... as the gateway file holds them.
std::string PlainRows(int first, int count) {
    std::string rows;
    for (int i = first; i < first + count; ++i)
        rows += "F " + std::to_string(40001 + 2 * i) + " 105                    v" +
                std::to_string(i) + " C\r\n";
    return rows;
}

TEST_F(OpenConfigTest, DeletingManyScatteredRowsLeavesTheControlMirroringTheList) {
    // Every third row of 300 checked: a hundred separate runs of rows go at once.
    const QString folder = DemoCopy("vr7_12");
    WriteFile(folder + "/CONFIG/duxgate.cfg", PlainRows(0, 300));
    TVR7CfgUpdate& w = CreateWindow();
    w.show();
    shell.folder = folder;
    w.Open1Click();
    ASSERT_EQ(w.ListView1->rowCount(), 300);
    for (int r = 0; r < 300; r += 3) CheckRow(r, true);
    CheckRow(299, true);  // the last row too: the control's tail is cut
    w.DelSelected_R_ButtonClick();
    ASSERT_EQ(w.ListView1->rowCount(), static_cast<int>(w.List.RowCount()));
    ASSERT_EQ(w.ListView1->rowCount(), 199);
    for (int r = 0; r < w.ListView1->rowCount(); ++r) {
        const SnvtRow& row = w.List.Row(static_cast<size_t>(r));
        EXPECT_EQ(Cell(r, 0), FromCp1251(Cp1251String(row.caption))) << r;
        EXPECT_EQ(Cell(r, 1), QString::number(40001 + 2 * r)) << r;  // renumbered
        EXPECT_FALSE(w.ListView1->IsChecked(r)) << r;
    }
    EXPECT_EQ(Cell(0, 0), QStringLiteral("v1"));
    EXPECT_EQ(Cell(198, 0), QStringLiteral("v298"));
}

TEST_F(OpenConfigTest, ASettingsFileWithMoreRowsThanTheListHoldsIsSaid) {
    const QString folder = DemoCopy("vr7_12");
    WriteFile(folder + "/CONFIG/duxgate.cfg", PlainRows(0, 65536));
    TVR7CfgUpdate& w = CreateWindow();
    shell.folder = folder;
    w.Open1Click();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].contains(QStringLiteral("В файле 65536 строк")))
        << messages.messages[0].toStdString();
}

TEST_F(OpenConfigTest, SavesTheListByteForByte) {
    TVR7CfgUpdate& w = OpenDemo();
    shell.saveFile = Work() + "/saved/duxgate.cfg";
    QDir().mkpath(Work() + "/saved");
    w.Save1Click();
    ASSERT_EQ(shell.saveRequests.size(), 1u);
    const IShellServices::SaveRequest& request = shell.saveRequests[0];
    // Where Open reads the list back from: the opened folder's CONFIG folder.
    EXPECT_EQ(request.initialFolder, DemoFolder() + "/CONFIG");
    EXPECT_EQ(request.defaultName, QStringLiteral("duxgate"));
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("cfg"));
    EXPECT_EQ(request.filter, QStringLiteral("Настройка DUX шлюза (*.cfg)"));
    EXPECT_TRUE(messages.messages.isEmpty());
    // The demo file's references are those of its order, so it comes back unchanged.
    EXPECT_EQ(ReadFile(shell.saveFile), ReadFile(DemoFolder() + "/CONFIG/duxgate.cfg"));

    w.ListView1->SelectRow(7);
    ASSERT_TRUE(DragListSelectionTo(RowPoint(0)));
    for (int row : {1, 2, 4, 5, 7}) CheckRow(row, true);
    w.DelSelected_R_ButtonClick();
    w.Save1Click();
    EXPECT_EQ(ReadFile(shell.saveFile), W("F 40001 124                    1terr ч\r\n"
                                          "B 40003 83                     1terr\r\n"
                                          "F 40004 28                     1q1 кВт\r\n"
                                          "B 40006 83                     1q1f\r\n"
                                          "F 40007 105                    3tnv °C\r\n"));

    // A list that came from the device starts in the folder last saved to.
    ListReadFromTheDevice(w);
    w.Save1Click();
    ASSERT_EQ(shell.saveRequests.size(), 3u);
    EXPECT_EQ(shell.saveRequests[2].initialFolder, Work() + "/saved");
}

TEST_F(OpenConfigTest, ASaveThatFailsIsReportedWithThePath) {
    TVR7CfgUpdate& w = OpenDemo();
    shell.saveFile = Work() + "/missing/duxgate.cfg";
    w.Save1Click();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].contains(shell.saveFile))
        << messages.messages[0].toStdString();
    EXPECT_FALSE(QFile::exists(shell.saveFile));

    // A folder in the way of the file (refused whoever runs the test).
    QDir().mkpath(Work() + "/folder.cfg");
    shell.saveFile = Work() + "/folder.cfg";
    w.Save1Click();
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_TRUE(messages.messages[1].contains(shell.saveFile))
        << messages.messages[1].toStdString();
    EXPECT_TRUE(QFileInfo(shell.saveFile).isDir());
}

TEST_F(OpenConfigTest, ExportWritesTheListsCsvTableOrReportsThePath) {
    TVR7CfgUpdate& w = OpenDemo();
    EXPECT_TRUE(w.File1->actions().contains(w.ExportList1));
    shell.saveFile = Work() + "/lon/duxgate.csv";
    QDir().mkpath(Work() + "/lon");
    w.ExportList1->trigger();
    ASSERT_EQ(shell.saveRequests.size(), 1u);
    const IShellServices::SaveRequest& request = shell.saveRequests[0];
    EXPECT_EQ(request.initialFolder, QDir::currentPath());
    EXPECT_EQ(request.defaultName, QStringLiteral("duxgate"));
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("csv"));
    EXPECT_EQ(request.filter, FromCp1251(usertext::ExportListFilter()));
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join("\n").toStdString();
    EXPECT_EQ(ReadFile(shell.saveFile), ListCsvText(w.List));
    EXPECT_EQ(w.StatusPanel->text(), FromCp1251(usertext::SavedTo().before) +
                                         QDir::toNativeSeparators(shell.saveFile) +
                                         FromCp1251(usertext::SavedTo().after));

    shell.saveFile = Work() + "/missing/duxgate.csv";
    w.ExportList1->trigger();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].startsWith(
        FromCp1251(usertext::FileFailureBefore()) + shell.saveFile +
        FromCp1251(usertext::FileFailureAfter(usertext::FileStep::NotSaved))))
        << messages.messages[0].toStdString();
    EXPECT_FALSE(QFile::exists(shell.saveFile));
}

TEST_F(OpenConfigTest, AListFromTheDeviceIsSavedFromTheDialogsOwnFolder) {
    TVR7CfgUpdate& w = OpenDemo();
    ListReadFromTheDevice(w);  // as after a read from the device
    shell.saveFile.clear();    // and the user cancels
    w.Save1Click();
    ASSERT_EQ(shell.saveRequests.size(), 1u);
    EXPECT_TRUE(shell.saveRequests[0].initialFolder.isEmpty());
    EXPECT_TRUE(messages.messages.isEmpty());
}

}  // namespace
