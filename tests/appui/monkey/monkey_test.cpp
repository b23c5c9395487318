// The randomized user of the window, and the checks it makes after every action.
//
// VR7_MONKEY_SEED=N reproduces a run (the seed is printed with every failure), VR7_MONKEY_STEPS=N
// sets its length, VR7_MONKEY_STRICT=1 turns on the checks of faults still being mended (the
// progress bar gone when idle, no status text of a failure after a success, no repeated leaves),
// VR7_MONKEY_ECHO=1 prints every action as it happens.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidgetItem>
#include <cstdlib>
#include <functional>
#include <iostream>

#include "app/ui/configtreeview.h"
#include "app/ui/snvtlistview.h"
#include "tests/appui/monkey/windowchecks.h"
#include "tests/appui/monkey/windowmonkey.h"
#include "tests/appui/support/windowfixture.h"

// Fontconfig keeps what Qt's font database asks of it for the life of the process; the leak
// checker of the sanitizer build would report it at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

// The checks of the bar when idle, a status that outlives its failure and repeated leaves fail
// the run; VR7_MONKEY_STRICT=0 only counts them.
constexpr bool kCheckMendedFaults = true;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return end != nullptr && *end == '\0' ? value : fallback;
}

class MonkeyTest : public WindowTest {
  protected:
    // A window with the demo folder open and every row checked, for the checks' own tests.
    TVR7CfgUpdate& DemoWindow() {
        if (!QFile::exists(Work() + "/calcbank.xml")) UseDemoCatalogue();
        TVR7CfgUpdate& w = CreateWindow();
        w.show();
        shell.folder = DemoFolder();
        w.Open1Click();
        EXPECT_GT(w.ListView1->rowCount(), 2);
        return w;
    }
};

// Each check finds the fault it is there for: a window broken in one way, and what must be said.
struct Breakage {
    const char* name;
    std::function<void(TVR7CfgUpdate&)> breakIt;
    const char* expected;  // a part of one fault's text
};

const std::vector<Breakage>& Breakages() {
    static const std::vector<Breakage> table = {
        {"row missing", [](TVR7CfgUpdate& w) { w.ListView1->RemoveRows({1}); }, "rows, the model"},
        {"caption changed",
         [](TVR7CfgUpdate& w) {
             SnvtRow row = w.ListView1->ShownRow(2);
             row.caption = "x";
             w.ListView1->UpdateRow(2, row);
         },
         "row 2 column 0"},
        {"check box only on screen",
         [](TVR7CfgUpdate& w) {
             SnvtRow row = w.ListView1->ShownRow(0);
             row.checked = true;
             w.ListView1->UpdateRow(0, row);
         },
         "row 0 is checked on the screen"},
        {"stale counters",
         [](TVR7CfgUpdate& w) {
             w.Edit2->setText("SNVT переменных 40, задействовано: 1, доступно: 39");
         },
         "the counters line"},
        {"tree item gone", [](TVR7CfgUpdate& w) { delete w.TreeView1->topLevelItem(0)->child(0); },
         "children"},
        {"tree caption changed",
         [](TVR7CfgUpdate& w) { w.TreeView1->topLevelItem(0)->setText(0, "other"); },
         "its node is"},
        {"command enabled while idle is disabled",
         [](TVR7CfgUpdate& w) { w.Store1->setEnabled(false); }, "Сохранить в VR-7 is disabled"},
        {"Cancel left on show", [](TVR7CfgUpdate& w) { w.CancelButton->show(); }, "Cancel shows"},
        {"tree disabled", [](TVR7CfgUpdate& w) { w.TreeView1->setEnabled(false); },
         "the tree is disabled"},
    };
    return table;
}

TEST_F(MonkeyTest, EachCheckFindsTheFaultItIsThereFor) {
    for (const Breakage& breakage : Breakages()) {
        SCOPED_TRACE(breakage.name);
        TVR7CfgUpdate& w = DemoWindow();
        ASSERT_EQ(CheckWindow(w, WindowCheckSwitches{true, true}), QStringList());
        breakage.breakIt(w);
        const QStringList faults = CheckWindow(w, WindowCheckSwitches{});
        EXPECT_TRUE(faults.join('\n').contains(QString::fromUtf8(breakage.expected)))
            << faults.join(QLatin1Char(10)).toStdString();
        window.reset();
    }
}

TEST_F(MonkeyTest, SwitchedOffChecksAreCountedApartAndSwitchedOnOnesFail) {
    TVR7CfgUpdate& w = DemoWindow();
    w.ProgressBar->show();
    auto* system = w.TreeView1->topLevelItem(0)->child(0);
    system->addChild(system->child(0)->clone());
    const QStringList off = CheckWindow(w, WindowCheckSwitches{});
    EXPECT_FALSE(off.join('\n').contains("progress bar"))
        << off.join(QLatin1Char(10)).toStdString();
    EXPECT_FALSE(off.join('\n').contains("twice")) << off.join(QLatin1Char(10)).toStdString();
    const QStringList known = CheckKnownFaults(w, WindowCheckSwitches{});
    EXPECT_TRUE(known.join('\n').contains("progress bar"))
        << known.join(QLatin1Char(10)).toStdString();
    EXPECT_TRUE(known.join('\n').contains("twice")) << known.join(QLatin1Char(10)).toStdString();
    const QStringList on = CheckWindow(w, WindowCheckSwitches{true, true});
    EXPECT_TRUE(on.join('\n').contains("progress bar")) << on.join(QLatin1Char(10)).toStdString();
    EXPECT_TRUE(on.join('\n').contains("twice")) << on.join(QLatin1Char(10)).toStdString();
    EXPECT_TRUE(CheckKnownFaults(w, WindowCheckSwitches{true, true}).isEmpty());
}

TEST_F(MonkeyTest, RandomUserActionsKeepTheWindowSound) {
    TestApplication();
    const bool strict = EnvNumber("VR7_MONKEY_STRICT", kCheckMendedFaults ? 1 : 0) != 0;
    MonkeyOptions options;
    options.seed = EnvNumber("VR7_MONKEY_SEED", 20240611);
    options.steps = static_cast<int>(EnvNumber("VR7_MONKEY_STEPS", 2000));
    options.transport = options.seed % 4 == 3 ? Transport::Pty : Transport::Tcp;
    options.checks.barHiddenWhenIdle = strict;
    options.checks.noRepeatedLeaves = strict;
    options.statusClearedBySuccess = strict;
    options.work = Work();
    options.program = Program();
    options.echo = EnvNumber("VR7_MONKEY_ECHO", 0) != 0;

    WindowMonkey monkey(options);
    const MonkeyReport report = monkey.Run();

    std::cout << "monkey: seed " << options.seed << ", " << report.steps << " actions, "
              << report.deviceCommands << " device commands, " << report.cancels << " cancels, "
              << report.restarts << " restarts (" << TransportName(options.transport) << ")\n";
    for (const auto& [fault, seen] : report.known) {
        std::cout << "known fault (switched off), seen " << seen.count << " times, first at step "
                  << seen.firstStep << ": " << fault.toStdString() << "\n";
    }
    EXPECT_TRUE(report.failure.isEmpty())
        << "seed " << options.seed << " (VR7_MONKEY_SEED=" << options.seed
        << " VR7_MONKEY_STEPS=" << options.steps << " reproduces the run)\n"
        << report.failure.toStdString() << "\nlast actions:\n"
        << report.lastActions.join('\n').toStdString();
    // A run that went its whole length reached the device often enough to mean something.
    if (report.failure.isEmpty()) {
        EXPECT_GE(report.deviceCommands, options.steps / 100);
        // Tab, Shift+Tab and F6 took the focus to the tree, the list and the log.
        EXPECT_EQ(report.panesReached, 7u);
    }
}

}  // namespace
