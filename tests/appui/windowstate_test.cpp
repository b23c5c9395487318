// What the window keeps across runs in [WINDOW] of its ini file, how it fits the screen, and
// what it says when the catalogue or a configuration folder's main.xmc is missing.
#include <gtest/gtest.h>

#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTest>

#include "app/ui/snvtlistview.h"
#include "base/inifile.h"
#include "tests/appui/support/windowfixture.h"

namespace {

class WindowStateTest : public WindowTest {
  protected:
    TVR7CfgUpdate& Shown() {
        TVR7CfgUpdate& w = CreateWindow();
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        return w;
    }
    std::string Ini() const { return (Program() + "/Vr7LonCfgMaker.ini").toStdString(); }
};

TEST_F(WindowStateTest, SizeSplitterColumnsAndFoldersComeBackAfterARestart) {
    UseDemoCatalogue();
    TVR7CfgUpdate& first = Shown();
    const int treeBefore = first.Splitter1->sizes().value(0);
    first.resize(1000, 720);
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.Splitter1->sizes().value(0) > treeBefore; }));
    EXPECT_GT(first.Splitter1->sizes().value(0), treeBefore);  // the tree pane grows too
    first.Splitter1->setSizes({320, 679});
    first.ListView1->setColumnWidth(0, 150);
    shell.folder = DemoFolder();
    first.Open1Click();
    QDir().mkpath(Work() + "/saved");
    shell.saveFile = Work() + "/saved/duxgate.cfg";
    first.Save1Click();
    ASSERT_TRUE(first.close());
    EXPECT_EQ(ini::ReadString(Ini(), "WINDOW", "width", ""), "1000");

    TVR7CfgUpdate& second = Shown();
    EXPECT_EQ(second.size(), QSize(1000, 720));
    EXPECT_EQ(second.Splitter1->sizes().value(0), 320);
    EXPECT_EQ(second.ListView1->columnWidth(0), 150);
    // A list that did not come from a folder is saved where the last one went.
    second.List.AddVariable(-1, "x", 1);
    second.Save1Click();
    ASSERT_EQ(shell.saveRequests.size(), 2u);
    EXPECT_EQ(shell.saveRequests[1].initialFolder, Work() + "/saved");
    EXPECT_EQ(QString::fromStdString(ini::ReadString(Ini(), "WINDOW", "opened", "", 4096)),
              DemoFolder());
    messages.answer = true;
    ASSERT_TRUE(second.close());
}

TEST_F(WindowStateTest, AMaximizedWindowComesBackMaximized) {
    TVR7CfgUpdate& first = Shown();
    first.showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.isMaximized(); }));
    ASSERT_TRUE(first.isMaximized());
    ASSERT_TRUE(first.close());
    EXPECT_EQ(ini::ReadString(Ini(), "WINDOW", "maximized", ""), "1");

    TVR7CfgUpdate& second = Shown();
    EXPECT_TRUE(second.isMaximized());
    ASSERT_TRUE(second.close());
}

TEST_F(WindowStateTest, AWindowLargerThanTheScreenIsFittedIntoIt) {
    ini::WriteString(Ini(), "WINDOW", "width", "5000");
    ini::WriteString(Ini(), "WINDOW", "height", "4000");
    TVR7CfgUpdate& w = Shown();
    const QRect available = w.screen()->availableGeometry();
    EXPECT_TRUE(available.contains(w.frameGeometry()))
        << w.frameGeometry().width() << "x" << w.frameGeometry().height();
}

TEST_F(WindowStateTest, AMissingCatalogueSaysWhereItWasLookedForAndWhatFollows) {
    TVR7CfgUpdate& w = Shown();
    EXPECT_EQ(messages.errors,
              QStringList{
                  "Не найден каталог SNVT переменных calcbank.xml.\nФайл искали здесь: " + Work() +
                  "/calcbank.xml\nБез каталога переменные в список добавить "
                  "нельзя.\nПоложите calcbank.xml в рабочую папку (" +
                  QDir::toNativeSeparators(QDir::currentPath()) + ")."});
    EXPECT_EQ(w.MaxVariables(), 0u);
}

TEST_F(WindowStateTest, AFolderWithoutMainXmcSaysWhatAConfigurationFolderHolds) {
    UseDemoCatalogue();
    TVR7CfgUpdate& w = Shown();
    QDir().mkpath(Work() + "/vr7_3/CONFIG");
    shell.folder = Work() + "/vr7_3";
    w.Open1Click();
    ASSERT_EQ(messages.errors.size(), 1);
    const QStringList lines = messages.errors[0].split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << messages.errors[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("main.xmc")));  // the XML library's text
    EXPECT_EQ(lines[1], "В папке " + Work() +
                            "/vr7_3/CONFIG нет файла main.xmc: папка конфигурации VR-7 "
                            "(vr7_<номер прибора>) содержит папку CONFIG с файлом main.xmc и "
                            "файлами систем.");
}

}  // namespace
