// Qt's standard dialogs and buttons speak Russian once the translations are installed.
#include "app/ui/qttranslations.h"

#include <QAbstractFileIconProvider>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/messages.h"
#include "app/ui/statuspanel.h"
#include "base/ui/qcp1251.h"

#include "tests/appui/support/windowfixture.h"

namespace {

TEST(QtTranslations, StandardButtonsAndDialogsSpeakRussian) {
    TestApplication();
    QTranslator translator;
    if (!InstallQtTranslations(translator))
        GTEST_SKIP() << "Qt's translations (qt6-translations-l10n) are not installed";
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No |
                             QDialogButtonBox::Cancel | QDialogButtonBox::Save);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Yes)->text().remove('&'), QStringLiteral("Да"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::No)->text().remove('&'), QStringLiteral("Нет"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().remove('&'),
              QStringLiteral("Отмена"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text().remove('&'),
              QStringLiteral("Сохранить"));
    // Qt's own file dialog (the widget one, as the window's folder and save dialogs are without a
    // desktop's portal) labels its controls in Russian.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    EXPECT_EQ(dialog.labelText(QFileDialog::Reject).remove('&'), QStringLiteral("Отмена"));
    QCoreApplication::removeTranslator(&translator);
}

// The file dialog's type column, which Qt's translations leave in English, speaks Russian too.
TEST(QtTranslations, TheFileDialogsTypeColumnIsRussian) {
    TestApplication();
    MissingQtTexts missing;
    QCoreApplication::installTranslator(&missing);
    EXPECT_EQ(QAbstractFileIconProvider().type(QFileInfo(QDir::tempPath())),
              QStringLiteral("Папка"));
    QCoreApplication::removeTranslator(&missing);
}

TEST(QtTranslations, AFolderWithoutThemIsReported) {
    TestApplication();
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    QTranslator translator;
    EXPECT_FALSE(InstallQtTranslations(translator, empty.path()));
}

class QtTranslationsWindow : public WindowTest {};

TEST_F(QtTranslationsWindow, TheStatusBarSaysWhenQtsTranslationsAreMissing) {
    TVR7CfgUpdate& w = CreateWindow();
    w.SayQtTranslationsMissing();
    EXPECT_EQ(w.StatusPanel->text(), FromCp1251(usertext::QtTranslationsMissing()));
}

TEST(QtTranslations, DialogsTakeTheRussianLocaleWhateverLangSays) {
    TestApplication();
    const QLocale before;
    UseRussianLocale();
    QFileDialog dialog;
    EXPECT_EQ(dialog.locale().language(), QLocale::Russian);
    QLocale::setDefault(before);

    // The dates of Qt's dialogs come from the time locale Qt sees while the application is made;
    // afterwards the environment is as it was.
    const struct {
        const char* lang;
        const char* lcTime;  // nullptr: unset
        const char* lcAll;
        const char* during;  // LC_TIME while the application is made
    } cases[] = {
        {"C.UTF-8", nullptr, nullptr, "ru_RU.UTF-8"},
        {"en_US.UTF-8", "en_GB.UTF-8", nullptr, "ru_RU.UTF-8"},
        {"ru_RU.UTF-8", nullptr, nullptr, nullptr},
        {"C.UTF-8", nullptr, "C.UTF-8", nullptr},
    };
    const QByteArray saved[] = {qgetenv("LANG"), qgetenv("LC_TIME"), qgetenv("LC_ALL")};
    const bool wasSet[] = {qEnvironmentVariableIsSet("LANG"), qEnvironmentVariableIsSet("LC_TIME"),
                           qEnvironmentVariableIsSet("LC_ALL")};
    auto set = [](const char* name, const char* value) {
        if (value == nullptr)
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        set("LANG", c.lang);
        set("LC_TIME", c.lcTime);
        set("LC_ALL", c.lcAll);
        RussianDialogDates dates;
        EXPECT_EQ(qEnvironmentVariableIsSet("LC_TIME"), c.during != nullptr || c.lcTime != nullptr);
        if (c.during != nullptr) {
            EXPECT_EQ(qgetenv("LC_TIME"), QByteArray(c.during));
        }
        dates.Finish();
        EXPECT_EQ(qEnvironmentVariableIsSet("LC_TIME"), c.lcTime != nullptr);
        if (c.lcTime != nullptr) {
            EXPECT_EQ(qgetenv("LC_TIME"), QByteArray(c.lcTime));
        }
    }
    const char* names[] = {"LANG", "LC_TIME", "LC_ALL"};
    for (int i = 0; i < 3; ++i) set(names[i], wasSet[i] ? saved[i].constData() : nullptr);
}

}  // namespace
