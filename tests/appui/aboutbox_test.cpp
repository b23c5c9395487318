#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <cstring>

#include "app/ui/aboutbox.h"
#include "app/ui/versioninfo.h"
#include "base/cp1251.h"
#include "tests/appui/support/windowfixture.h"

namespace {

TEST(GetVersionString, AnswersTheProgramsVersionTable) {
    EXPECT_STREQ(GetVersionString("FileVersion"), "1.0.1.6");
    EXPECT_STREQ(GetVersionString("ProductVersion"), "1.0.0.0");
    EXPECT_STREQ(GetVersionString("InternalName"), "Vr7LonCfgMaker");
    EXPECT_STREQ(GetVersionString("OriginalFilename"), "Vr7LonCfgMaker");
    // Windows-1251, as every text of the system.
    EXPECT_EQ(std::string(GetVersionString("ProductName")),
              cp1251::FromUtf8("утилита формирования настроек VR-7 для работы в LON сети").bytes());
}

TEST(GetVersionString, OneStaticBufferThatAnUnknownKeyEmpties) {
    const char* first = GetVersionString("FileVersion");
    ASSERT_STREQ(first, "1.0.1.6");
    const char* unknown = GetVersionString("CompanyName");
    EXPECT_EQ(unknown, first);
    EXPECT_STREQ(unknown, "");
    // Letter case of the key matters, as in the version resource's string table.
    EXPECT_STREQ(GetVersionString("fileversion"), "");
    EXPECT_STREQ(GetVersionString(nullptr), "");
}

TEST(AboutBox, ShowsTheProgramAndItsFileVersion) {
    TestApplication();
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(box.size(), QSize(310, 218));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());  // a dialog border: fixed size
    EXPECT_EQ(box.Version->text(), QStringLiteral("Версия 1.0.1.6"));
    EXPECT_EQ(
        box.ProductName->text(),
        QStringLiteral("Утилита формирования файла настроек VR-7 для работы с адаптером Tervon."));
    EXPECT_EQ(box.Comments->text(),
              QStringLiteral("Программа предназначена для формирования файла настроек, "
                             "описывающего список переменных, передаваемых VR-7 в адаптер "
                             "Tervon."));
    EXPECT_TRUE(box.ProductName->wordWrap());
    EXPECT_TRUE(box.Comments->wordWrap());
    EXPECT_FALSE(box.Copyright->text().isEmpty());
    EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(box.OKButton->isDefault());
}

TEST(AboutBox, LaysOutThePanelAndCentresOkUnderIt) {
    TestApplication();
    TAboutBox box;
    box.show();
    EXPECT_EQ(box.Panel1->geometry().size(), QSize(294, 161));
    EXPECT_EQ(box.Panel1->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(box.ProgramIcon->size(), QSize(57, 49));
    EXPECT_EQ(box.Comments->width(), 277);
    EXPECT_GE(box.Comments->height(), 52);
    EXPECT_EQ(box.OKButton->size(), QSize(65, 33));
    const QRect ok = box.OKButton->geometry();
    EXPECT_EQ(ok.left(), (310 - 65) / 2);
    EXPECT_GT(ok.top(), box.Panel1->geometry().bottom());
    EXPECT_EQ(box.focusWidget(), box.OKButton);
    // Every text fits inside the panel: nothing is cut off at the bottom.
    for (QLabel* label : {box.ProductName, box.Version, box.Copyright, box.Comments}) {
        EXPECT_LE(label->geometry().bottom(), box.Panel1->height()) << label->text().toStdString();
        EXPECT_GE(label->height(), label->heightForWidth(label->width()) > 0
                                       ? label->heightForWidth(label->width())
                                       : label->sizeHint().height())
            << label->text().toStdString();
    }
    // The version line follows the product name without overlapping it.
    EXPECT_GT(box.Version->geometry().top(), box.ProductName->geometry().bottom());
    box.close();
}

}  // namespace
