// The window's layout, start-up and shutdown, and the commands that need no configuration.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/messages.h"
#include "app/ui/configtreeview.h"
#include "app/ui/statuspanel.h"
#include "base/inifile.h"
#include "base/ui/qcp1251.h"
#include "link/ui/setportdlg.h"
#include "tests/appui/support/windowfixture.h"

namespace {

const std::string kCatalogue =
    "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<calcbank>\r\n"
    " <LonCfg size=\"12\"/>\r\n"
    " <var name=\"t$\" note=\"C\"><LonVar VSNVTid=\"105\"/></var>\r\n"
    "</calcbank>\r\n";

std::string CatalogueOfSize(const std::string& size) {
    return "<?xml version=\"1.0\"?><calcbank><LonCfg size=\"" + size + "\"/></calcbank>";
}

QStringList MenuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) texts << action->text();
    }
    return texts;
}

class MainWindowTest : public WindowTest {};

TEST_F(MainWindowTest, LaysOutTheWindowAsItsUsersKnowIt) {
    WriteFile("calcbank.xml", kCatalogue);
    TVR7CfgUpdate& w = CreateWindow();
    w.show();
    EXPECT_EQ(w.windowTitle(),
              QStringLiteral("Утилита формирования настроек VR-7 для работы в LON сети"));
    // Client area below the menu bar.
    EXPECT_EQ(w.width(), 808);
    EXPECT_EQ(w.height() - w.menuBar()->height(), 616);
    EXPECT_EQ(w.Splitter1->handleWidth(), 1);
    EXPECT_EQ(w.Splitter1->sizes().constFirst(), 273);
    EXPECT_EQ(w.LeftToolBar->height(), 30);
    for (QAction* action : {w.Open1, w.Save1, w.Load1, w.Store1}) {
        EXPECT_EQ(w.LeftToolBar->widgetForAction(action)->size(), QSize(31, 30));
    }
    EXPECT_EQ(w.Edit1->height(), 24);
    EXPECT_TRUE(w.Edit1->isReadOnly());
    EXPECT_TRUE(w.Edit2->isReadOnly());
    EXPECT_EQ(w.TreeView1->indentation(), 19);
    // At least the design's sizes; the desktop's font may need more (the Cancel button, the
    // longest hint).
    EXPECT_GE(w.statusBar()->height(), 19);
    EXPECT_GE(w.HintPanel->parentWidget()->width(), 230);
    EXPECT_EQ(w.ProgressBar->parentWidget(), w.HintPanel->parentWidget());
    EXPECT_FALSE(w.ProgressBar->isVisible());
    EXPECT_EQ(w.focusWidget(), w.TreeView1);
}

TEST_F(MainWindowTest, AStatusTextCutShortIsWholeInItsToolTip) {
    TVR7CfgUpdate& w = CreateWindow();
    const QString cause =
        QStringLiteral("прибор № 12 отказал в записи: включена защита (снимите EN_PR)");
    w.StatusPanel->setText(cause);
    w.StatusPanel->resize(w.StatusPanel->fontMetrics().horizontalAdvance(cause) / 2, 20);
    w.StatusPanel->grab();
    EXPECT_EQ(w.StatusPanel->toolTip(), cause);
    w.StatusPanel->resize(w.StatusPanel->fontMetrics().horizontalAdvance(cause) + 40, 20);
    w.StatusPanel->grab();
    EXPECT_EQ(w.StatusPanel->toolTip(), QString());
}

TEST_F(MainWindowTest, ListIsAReadOnlyReportWithoutSorting) {
    TVR7CfgUpdate& w = CreateWindow();
    ASSERT_EQ(w.ListView1->columnCount(), 9);
    EXPECT_EQ(w.ListView1->model()->headerData(4, Qt::Horizontal).toString(),
              QStringLiteral("Dimention"));
    EXPECT_EQ(w.ListView1->columnWidth(0), 80);
    EXPECT_EQ(w.ListView1->columnWidth(6), 60);
    // The name column never narrows below 50.
    w.ListView1->setColumnWidth(0, 20);
    EXPECT_EQ(w.ListView1->columnWidth(0), 50);
    EXPECT_TRUE(w.ListView1->showGrid());
    EXPECT_FALSE(w.ListView1->isSortingEnabled());
    EXPECT_FALSE(w.ListView1->horizontalHeader()->sectionsClickable());
    EXPECT_EQ(w.ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(MainWindowTest, MenusAndToolButtonsShareOneCommandWithItsHintsAndImage) {
    TVR7CfgUpdate& w = CreateWindow();
    EXPECT_EQ(MenuTexts(w.File1), (QStringList{"&Открыть", "&Прочитать из VR-7",
                                               "Со&хранить в VR-7", "Проверить настройки в VR-7",
                                               "Отчёт…", "Восстановить из резервной копии…",
                                               "&Сохранить на диск", "Экспорт списка…", "&Выход"}));
    EXPECT_EQ(MenuTexts(w.Settings1), (QStringList{"Порт", "Резервная копия перед сохранением",
                                                   "Показывать изменения перед сохранением"}));
    EXPECT_EQ(MenuTexts(w.Help1), (QStringList{"&О программе...", "&Справка"}));

    // "short|long": the short hint is the tool tip, the long one goes to the status bar; a hint
    // without "|" is both.
    EXPECT_EQ(w.FileExit1->toolTip(), QStringLiteral("Exit"));
    EXPECT_EQ(w.FileExit1->statusTip(), QStringLiteral("Exit application"));
    EXPECT_EQ(w.Help2->toolTip(), QStringLiteral("Help"));
    EXPECT_EQ(w.Help2->statusTip(), QStringLiteral("Руководство по работе с программой"));
    EXPECT_EQ(w.Open1->toolTip(), QStringLiteral("Открыть каталог с конфигурацией VR-7"));
    EXPECT_EQ(w.Open1->statusTip(), w.Open1->toolTip());

    // The left tool bar's buttons are the menu's commands, with the images the menu shows.
    EXPECT_EQ(w.LeftToolBar->actions(), (QList<QAction*>{w.Open1, w.Save1, w.Load1, w.Store1}));
    for (QAction* action : w.LeftToolBar->actions()) {
        EXPECT_TRUE(w.File1->actions().contains(action)) << action->text().toStdString();
    }
    for (QAction* action :
         {w.Open1, w.Save1, w.Load1, w.Store1, w.ClearAll1, w.SetAll1, w.DelSelected1}) {
        EXPECT_FALSE(action->icon().pixmap(24, 24).isNull()) << action->text().toStdString();
    }
    const QList<QAction*> right = w.RightToolBar->actions();
    ASSERT_EQ(right.size(), 4);
    EXPECT_EQ(right[0], w.ClearAll1);
    EXPECT_EQ(right[1], w.SetAll1);
    EXPECT_EQ(w.RightToolBar->widgetForAction(right[2])->width(), 8);
    EXPECT_EQ(right[3], w.DelSelected1);
}

TEST_F(MainWindowTest, HintsGoToTheFirstPanelAndStatusTextsToTheLast) {
    TVR7CfgUpdate& w = CreateWindow();
    QStatusTipEvent tip(QStringLiteral("Exit application"));
    QApplication::sendEvent(&w, &tip);
    EXPECT_EQ(w.HintPanel->text(), QStringLiteral("Exit application"));
    w.ShowProgress(W("Удаляю 1t1"), 0.5f);
    EXPECT_EQ(w.StatusPanel->text(), QStringLiteral("Удаляю 1t1"));
    EXPECT_EQ(w.HintPanel->text(), QStringLiteral("Exit application"));
}

TEST_F(MainWindowTest, ProgressShowsTheFractionAndHidesAtZero) {
    TVR7CfgUpdate& w = CreateWindow();
    w.show();
    w.ShowProgress("", 0.25f);
    EXPECT_TRUE(w.ProgressBar->isVisible());
    EXPECT_EQ(w.ProgressBar->value(), 25);
    w.ShowProgress("", 7.0f);  // capped at the end of the bar
    EXPECT_EQ(w.ProgressBar->value(), 100);
    w.ShowProgress(W("готово"), 0.0f);
    EXPECT_FALSE(w.ProgressBar->isVisible());
    EXPECT_EQ(w.StatusPanel->text(), QStringLiteral("готово"));
    w.ShowProgress("", -1.0f);
    EXPECT_FALSE(w.ProgressBar->isVisible());
    EXPECT_TRUE(w.StatusPanel->text().isEmpty());
}

TEST_F(MainWindowTest, StartUpTakesTheCapacityFromTheCatalogue) {
    WriteFile("calcbank.xml", kCatalogue);
    TVR7CfgUpdate& w = CreateWindow();
    EXPECT_TRUE(messages.errors.isEmpty());
    EXPECT_EQ(w.MaxVariables(), 12u);
    EXPECT_EQ(w.UsedVariables(), 0u);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 0);
}

TEST_F(MainWindowTest, AMissingOrBrokenCatalogueIsReportedAndNothingCanBeAdded) {
    CreateWindow();  // no calcbank.xml in the working folder
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors[0].contains(QStringLiteral("calcbank.xml")))
        << messages.errors[0].toStdString();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(window->MaxVariables(), 0u);

    messages.errors.clear();
    WriteFile("calcbank.xml", "<calcbank><LonCfg size=\"10\"></calcbank>");
    CreateWindow();
    EXPECT_EQ(messages.errors.size(), 1);
    EXPECT_EQ(window->MaxVariables(), 0u);
}

TEST_F(MainWindowTest, ASizeThatIsNotAWholeNumberIsReportedAndGivesNoCapacity) {
    for (const char* size : {"12abc", "", " ", "1.5", "0x10"}) {
        messages.errors.clear();
        WriteFile("calcbank.xml", CatalogueOfSize(size));
        CreateWindow();
        EXPECT_EQ(messages.errors.size(), 1) << size;
        EXPECT_EQ(window->MaxVariables(), 0u) << size;
    }
    messages.errors.clear();
    WriteFile("calcbank.xml", CatalogueOfSize("255"));
    CreateWindow();
    EXPECT_TRUE(messages.errors.isEmpty());
    EXPECT_EQ(window->MaxVariables(), 255u);
}

TEST_F(MainWindowTest, DeviceNumberComesFromTheIniFileAndIsWrittenBackAtClose) {
    const std::string ini = (Program() + "/Vr7LonCfgMaker.ini").toStdString();
    CreateWindow();
    EXPECT_EQ(window->Controller.DeviceNumber(), 1u);  // no ini file yet

    WriteFile(Program() + "/Vr7LonCfgMaker.ini",
              "[Other]\r\nkey=1\r\n[connection]\r\nDEV_NOM = 42 \r\nport=COM2\r\n");
    CreateWindow();
    EXPECT_EQ(window->Controller.DeviceNumber(), 42u);
    window->Controller.SetDeviceNumber(
        4000000000u);  // beyond the signed range, written as unsigned
    window->close();
    EXPECT_EQ(ini::ReadString(ini, "CONNECTION", "dev_nom", ""), "4000000000");
    // Closed before it was ever activated: the port settings are kept, not replaced by the
    // connection's defaults.
    EXPECT_EQ(ini::ReadString(ini, "CONNECTION", "port", ""), "COM2");
    EXPECT_EQ(ini::ReadString(ini, "Other", "key", ""), "1");
    CreateWindow();
    EXPECT_EQ(window->Controller.DeviceNumber(), 4000000000u);
}

TEST_F(MainWindowTest, FirstActivationSetsTheCaptionsOnlyOnce) {
    TVR7CfgUpdate& w = CreateWindow();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    EXPECT_EQ(w.Edit1->text(), QStringLiteral("Конфигурация VR-7"));
    EXPECT_EQ(w.Edit2->text(), QStringLiteral("Список SNVT переменных"));
    w.Edit1->setText(QStringLiteral("/data/vr7_3"));
    QApplication::sendEvent(&w, &activate);  // e.g. back from a dialog
    EXPECT_EQ(w.Edit1->text(), QStringLiteral("/data/vr7_3"));
}

TEST_F(MainWindowTest, OpenWithoutVr7InThePathChangesNothing) {
    WriteFile("calcbank.xml", kCatalogue);
    TVR7CfgUpdate& w = CreateWindow();
    w.FormActivate();
    shell.folder = Work() + "/Data";
    w.Open1Click();
    EXPECT_EQ(shell.folderTitles, QStringList{"Открыть конфигурацию VR-7"});
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::NoConfiguration() + '\n' +
                                                        usertext::NoVr7InPath())});
    EXPECT_EQ(w.Controller.DeviceNumber(), 1u);
    EXPECT_EQ(static_cast<int>(w.Controller.ListSource()), 0);
    EXPECT_EQ(w.Edit1->text(), QStringLiteral("Конфигурация VR-7"));

    // Cancelling the dialog does nothing at all.
    messages.messages.clear();
    shell.folder.clear();
    w.Open1Click();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(w.Edit1->text(), QStringLiteral("Конфигурация VR-7"));
}

TEST_F(MainWindowTest, SavingAnEmptyListOnlySaysSo) {
    TVR7CfgUpdate& w = CreateWindow();
    shell.saveFile = Work() + "/out.cfg";
    w.Save1Click();
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::EmptyList())});
    EXPECT_TRUE(shell.saveRequests.empty());
    EXPECT_TRUE(ReadFile("out.cfg").empty());

    // Exporting it says the same and asks for no file either.
    messages.messages.clear();
    shell.saveFile = Work() + "/out.csv";
    w.ExportList1Click();
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::EmptyList())});
    EXPECT_TRUE(shell.saveRequests.empty());
    EXPECT_FALSE(QFile::exists(shell.saveFile));
}

TEST_F(MainWindowTest, HelpOpensTheDocumentOfTheWorkingFolderOrSaysWhyNot) {
    TVR7CfgUpdate& w = CreateWindow();
    const QString help = Work() + "/Help.chm";
    w.Help2Click();  // no Help.chm: nothing is started, the message names the file
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::HelpNotFound().before) + help +
                                             FromCp1251(usertext::HelpNotFound().after)});
    messages.messages.clear();

    WriteFile("Help.chm", "help");
    w.Help2Click();
    EXPECT_EQ(shell.opened, QStringList{help});
    EXPECT_TRUE(messages.messages.isEmpty());

    shell.canOpen = false;  // no program can show it
    w.Help2Click();
    EXPECT_EQ(messages.messages, QStringList{FromCp1251(usertext::HelpNotShown().before) + help +
                                             FromCp1251(usertext::HelpNotShown().after)});
}

}  // namespace

namespace {

TEST_F(MainWindowTest, ThePortDialogReportsThroughTheGeneralErrorDisplay) {
    WriteFile("calcbank.xml", kCatalogue);
    TVR7CfgUpdate& w = CreateWindow();
    connection conn;
    QTimer::singleShot(0, &w.PortDialog(), [&w] {
        w.PortDialog().CB_Speed->setEditText(QStringLiteral("fast"));
        w.PortDialog().OKBtn->click();
    });
    QTimer::singleShot(5000, &w.PortDialog(), &QDialog::reject);  // never hang the run
    w.PortDialog().ShowModal(conn);
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors[0].contains(QStringLiteral("fast")));
    EXPECT_TRUE(messages.messages.isEmpty());
}

}  // namespace
