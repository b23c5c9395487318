// What the window does for an installed copy and its user: the manual when no help viewer is
// there, the folder dialog beside the folder opened last, and settings that cannot be saved.
#include <QDialog>
#include <QDir>
#include <QTextBrowser>

#include "app/messages.h"
#include "base/ui/qcp1251.h"
#include "tests/appui/support/windowfixture.h"

namespace {

class InstalledCopyTest : public WindowTest {};

TEST_F(InstalledCopyTest, HelpFallsBackToTheManualInTheBrowserThenInAWindowOfItsOwn) {
    ASSERT_TRUE(QDir(Work()).mkpath("manual"));
    WriteFile("manual/index.html", "<html><body><h1>Руководство</h1></body></html>");
    const QString manual = QDir(Work()).canonicalPath() + "/manual/index.html";
    TVR7CfgUpdate& w = CreateWindow();

    w.Help2Click();  // no Help.chm: the browser gets the manual
    EXPECT_EQ(shell.opened, QStringList{manual});
    EXPECT_EQ(w.ManualWindow, nullptr);

    shell.canOpen = false;  // no browser either: the program's own help window shows it
    w.Help2Click();
    ASSERT_NE(w.ManualWindow, nullptr);
    EXPECT_TRUE(w.ManualWindow->isVisible());
    const auto* browser = w.ManualWindow->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Руководство")));
    EXPECT_TRUE(messages.messages.isEmpty())
        << messages.messages.join(QStringLiteral("; ")).toStdString();
}

TEST_F(InstalledCopyTest, TheFolderDialogStartsBesideTheFolderOpenedLast) {
    UseDemoCatalogue();
    shell.folder = Work() + "/site/vr7_12";
    CopyTree(DemoFolder(), shell.folder);
    TVR7CfgUpdate& w = CreateWindow();
    w.Open1Click();
    w.Open1Click();
    ASSERT_EQ(shell.folderStarts.size(), 2);
    EXPECT_EQ(shell.folderStarts[0], QString());  // nothing opened yet: the dialog's own place
    EXPECT_EQ(shell.folderStarts[1], Work() + "/site");
}

TEST_F(InstalledCopyTest, SettingsThatCannotBeWrittenAreSaidAtClose) {
    // A folder where the settings file should be: no one can write the file.
    ASSERT_TRUE(QDir(Program()).mkpath("Vr7LonCfgMaker.ini"));
    TVR7CfgUpdate& w = CreateWindow();
    w.close();
    ASSERT_EQ(messages.messages.size(), 1)
        << messages.messages.join(QStringLiteral("; ")).toStdString();
    const usertext::AroundPath text = usertext::SettingsNotSaved();
    EXPECT_TRUE(messages.messages[0].startsWith(FromCp1251(text.before)));
    EXPECT_TRUE(messages.messages[0].contains(QStringLiteral("Vr7LonCfgMaker.ini")));
}

}  // namespace
