// What the window keeps across runs in [WINDOW] of its ini file, how it fits the screen, and
// what it says when the catalogue or a configuration folder's main.xmc is missing.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>

#include "app/messages.h"
#include "app/ui/pathtext.h"
#include "app/ui/snvtlistview.h"
#include "app/ui/statuspanel.h"
#include "base/inifile.h"
#include "base/ui/qcp1251.h"
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

// A window kept larger than the screen (another scale factor) that opens maximized comes back
// from maximized within the screen; the tree's width it keeps is the one at the kept size.
TEST_F(WindowStateTest, RestoredFromMaximizedTheWindowFitsTheScreen) {
    ini::WriteString(Ini(), "WINDOW", "width", "5000");
    ini::WriteString(Ini(), "WINDOW", "height", "4000");
    ini::WriteString(Ini(), "WINDOW", "maximized", "1");
    ini::WriteString(Ini(), "WINDOW", "treeshare", "2500");
    TVR7CfgUpdate& w = Shown();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.isMaximized(); }));
    w.showNormal();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return w.screen()->availableGeometry().contains(w.frameGeometry()); }));
    ASSERT_TRUE(w.close());
    EXPECT_EQ(ini::ReadString(Ini(), "WINDOW", "width", ""), "5000");
    // The share comes back from whole pixels: within a few ten-thousandths.
    const int share = std::stoi(ini::ReadString(Ini(), "WINDOW", "treeshare", "0"));
    EXPECT_NEAR(std::stoi(ini::ReadString(Ini(), "WINDOW", "tree", "0")),
                share * (5000 - w.Splitter1->handleWidth()) / 10000.0, 1);
}

// A path too long for a status panel keeps the text's start, the file's name and its folder.
TEST(ElidePathText, KeepsTheStartTheFileAndItsFolder) {
    const QFontMetrics metrics(TestApplication().font());
    for (const QString& text :
         {QStringLiteral("Сохранено в /home/инженер/Объекты заказчика/Котельная №3/CONFIG/d.cfg"),
          QStringLiteral(
              "C:\\Объекты заказчика\\Котельная №3 на улице Заводской\\CONFIG\\d.cfg")}) {
        const int width = metrics.horizontalAdvance(text) * 2 / 3;
        const QString shown = ElidePathText(text, metrics, width);
        EXPECT_LE(metrics.horizontalAdvance(shown), width);
        EXPECT_EQ(shown.left(3), text.left(3));
        EXPECT_TRUE(shown.endsWith("…" + text.right(13))) << shown.toStdString();
    }
}

// What a restart reads back from [WINDOW]: the window's size and state, both panes and the
// list's columns.
struct Restored {
    QSize size;
    bool maximized;
    QList<int> panes;
    int firstColumn;
    bool operator==(const Restored&) const = default;
};

void PrintTo(const Restored& r, std::ostream* out) {
    *out << r.size.width() << "x" << r.size.height() << (r.maximized ? " maximized" : "")
         << " panes";
    for (int p : r.panes) *out << " " << p;
    *out << " column " << r.firstColumn;
}

TEST_F(WindowStateTest, TenRestartsLeaveSizeAndPanesAsTheyWere) {
    // A window smaller than the screen, so that maximizing it changes both panes' room.
    for (const bool maximized : {false, true}) {
        SCOPED_TRACE(maximized ? "maximized" : "normal");
        ini::WriteString(Ini(), "WINDOW", "width", "900");
        ini::WriteString(Ini(), "WINDOW", "height", "640");
        ini::WriteString(Ini(), "WINDOW", "maximized", "0");
        ini::WriteString(Ini(), "WINDOW", "tree", "300");
        ini::WriteString(Ini(), "WINDOW", "treeshare", "");
        TVR7CfgUpdate& first = Shown();
        if (maximized) {
            first.showMaximized();
            ASSERT_TRUE(QTest::qWaitFor([&] { return first.isMaximized(); }));
        }
        HandleQueuedEvents();
        ASSERT_TRUE(first.close());
        std::vector<Restored> runs;
        for (int run = 0; run < 10; ++run) {
            TVR7CfgUpdate& w = Shown();
            if (maximized) {
                EXPECT_TRUE(QTest::qWaitFor([&] { return w.isMaximized(); }));
            }
            HandleQueuedEvents();
            runs.push_back({w.isMaximized() ? w.normalGeometry().size() : w.size(), w.isMaximized(),
                            w.Splitter1->sizes(), w.ListView1->columnWidth(0)});
            ASSERT_TRUE(w.close());
        }
        for (size_t run = 1; run < runs.size(); ++run) EXPECT_EQ(runs[run], runs[0]) << run;
        EXPECT_EQ(runs[0].maximized, maximized);
        EXPECT_EQ(runs[0].size, QSize(900, 640));
    }
}

TEST_F(WindowStateTest, AStoredSizeIsClampedToScreenAndMinimumButKeptUnlessTheUserResizes) {
    // A screen smaller than the stored size (another scale factor, a projector) fits the window
    // into it for this run only; a size below the controls' least is raised to it.
    const struct {
        QSize stored;
        QSize userSize;  // invalid: the user leaves the window as it opened
        bool fitted;     // the window opened smaller than stored
        QSize saved;     // invalid: as it opened
    } cases[] = {
        {{900, 640}, {}, false, {900, 640}},
        {{4000, 3000}, {}, true, {4000, 3000}},
        {{4000, 3000}, {700, 500}, true, {700, 500}},
        {{60, 40}, {}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.width());
        ini::WriteString(Ini(), "WINDOW", "width", std::to_string(c.stored.width()));
        ini::WriteString(Ini(), "WINDOW", "height", std::to_string(c.stored.height()));
        TVR7CfgUpdate& w = Shown();
        const QRect available = w.screen()->availableGeometry();
        EXPECT_TRUE(available.contains(w.frameGeometry()));
        EXPECT_GT(w.minimumWidth(), c.stored.width() / 60);  // the layout's least, not nothing
        EXPECT_GE(w.width(), w.minimumWidth());
        EXPECT_GE(w.height(), w.minimumHeight());
        // Whole on 1280 x 900 at a scale factor of 2, frame and all.
        EXPECT_LE(w.minimumSizeHint().width(), 640 - 16);
        EXPECT_LE(w.minimumSizeHint().height(), 450 - 40);
        EXPECT_EQ(w.size() != c.stored, c.fitted || !c.saved.isValid()) << w.width();
        if (c.userSize.isValid()) {
            w.resize(c.userSize);
            ASSERT_TRUE(QTest::qWaitFor([&] { return w.size() == c.userSize; }));
        }
        const QSize opened = w.size();
        ASSERT_TRUE(w.close());
        const QSize saved(std::stoi(ini::ReadString(Ini(), "WINDOW", "width", "0")),
                          std::stoi(ini::ReadString(Ini(), "WINDOW", "height", "0")));
        EXPECT_EQ(saved, c.saved.isValid() ? c.saved : opened);
    }
}

TEST_F(WindowStateTest, TheStatusBarShowsTheCancelButtonAndEveryHintWhole) {
    // A large desktop font (or a scale factor) must not cut them.
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSizeF(14);
    QApplication::setFont(large);
    TVR7CfgUpdate& w = Shown();
    w.CancelButton->show();
    HandleQueuedEvents();
    const QRect bar = w.statusBar()->rect();
    const QRect cancel(w.CancelButton->mapTo(w.statusBar(), QPoint(0, 0)), w.CancelButton->size());
    EXPECT_TRUE(bar.contains(cancel))
        << cancel.top() << "+" << cancel.height() << " in " << bar.height();
    EXPECT_GE(w.CancelButton->height(), w.CancelButton->fontMetrics().height() + 4);
    EXPECT_TRUE(w.rect().contains(QRect(w.statusBar()->mapTo(&w, QPoint(0, 0)), bar.size())));
    for (QAction* action : {w.Open1, w.Save1, w.Load1, w.Store1, w.FileExit1, w.HelpAbout1}) {
        EXPECT_GE(w.HintPanel->contentsRect().width() - 4,
                  w.HintPanel->fontMetrics().horizontalAdvance(action->statusTip()))
            << action->statusTip().toStdString();
    }
    w.CancelButton->hide();
    QApplication::setFont(before);
}

TEST_F(WindowStateTest, AMissingCatalogueSaysWhereItWasLookedForAndWhatFollows) {
    TVR7CfgUpdate& w = Shown();
    const usertext::AroundPath text = usertext::CatalogueNotFound();
    EXPECT_EQ(messages.errors, QStringList{FromCp1251(text.before) + Work() + "/calcbank.xml" +
                                           FromCp1251(text.after) +
                                           FromCp1251(usertext::CatalogueWhereWork().before) +
                                           QDir::toNativeSeparators(QDir::currentPath()) +
                                           FromCp1251(usertext::CatalogueWhereEnd())});
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
    EXPECT_EQ(lines[1], FromCp1251(usertext::NoMainXmc().before) + Work() + "/vr7_3/CONFIG" +
                            FromCp1251(usertext::NoMainXmc().after));
}

}  // namespace
