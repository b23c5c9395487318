// Qt's standard dialogs and buttons speak Russian once the translations are installed.
#include "app/ui/qttranslations.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>

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

}  // namespace
