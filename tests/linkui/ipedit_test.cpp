#include "link/ui/ipedit.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "tests/linkui/support/qstringprint.h"

namespace {

TEST(IPToString, WritesMostSignificantByteFirst) {
    EXPECT_EQ(TIPEdit::IPToString(0xC0A80001u), "192.168.0.1");
    EXPECT_EQ(TIPEdit::IPToString(0), "0.0.0.0");
    EXPECT_EQ(TIPEdit::IPToString(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(TIPEdit::IPToString(0x0A000102u), "10.0.1.2");
}

TEST(StringToIP, ReadsEveryInetAddrForm) {
    EXPECT_EQ(TIPEdit::StringToIP("192.168.0.1"), 0xC0A80001u);
    EXPECT_EQ(TIPEdit::StringToIP("10"), 10u);            // one part: the whole address
    EXPECT_EQ(TIPEdit::StringToIP("10.1"), 0x0A000001u);  // last part fills three bytes
    EXPECT_EQ(TIPEdit::StringToIP("1.2.3"), 0x01020003u);
    EXPECT_EQ(TIPEdit::StringToIP("1.2.0x1234"), 0x01021234u);
    EXPECT_EQ(TIPEdit::StringToIP("010.0.0.1"), 0x08000001u);  // octal
    EXPECT_EQ(TIPEdit::StringToIP("0x7f.1"), 0x7F000001u);     // hexadecimal
    EXPECT_EQ(TIPEdit::StringToIP("0X7F.0.0.0XfF"), 0x7F0000FFu);
    EXPECT_EQ(TIPEdit::StringToIP("4294967294"), 0xFFFFFFFEu);
    EXPECT_EQ(TIPEdit::StringToIP("1.2.3.4 trailing words"), 0x01020304u);
}

TEST(StringToIP, NonAddressesGiveAllOnesLikeTheBroadcastAddress) {
    for (const char* text :
         {"",           " 1.2.3.4",       "abc",        "1.2.3.4.5",   "1.2.3.",
          ".1.2.3",     "1..2",           "256.1.1.1",  "1.256.1.1",   "1.2.3.256",
          "1.16777216", "1.2.65536",      "4294967296", "08",          "1.2.3.09",
          "0x",         "0x.1",           "1.2.3.4x",   "-1",          "+1",
          "1.-2",       "192.168.0.1/24", "имя",        "host.example"}) {
        EXPECT_EQ(TIPEdit::StringToIP(QString::fromUtf8(text)), 0xFFFFFFFFu) << text;
    }
    EXPECT_EQ(TIPEdit::StringToIP("255.255.255.255"), 0xFFFFFFFFu);
}

TEST(StringToIP, AgreesWithTheCLibrary) {
    for (const char* text : {"127.0.0.1",
                             "1",
                             "1.2",
                             "1.2.3",
                             "0x1.0x2.0x3.0x4",
                             "0377.0377.0377.0376",
                             "00000001",
                             "0xffffff.1",
                             "255.0xffffff",
                             "1.0xffff",
                             "9.8.7.6 x",
                             "1.2.3.4\t",
                             "1.2.3.4\n",
                             "1.2.3.4x",
                             "0x",
                             "0xg",
                             "099",
                             "4294967295",
                             "4294967296",
                             "1.2.3.4.5",
                             ""}) {
        EXPECT_EQ(TIPEdit::StringToIP(text), ntohl(inet_addr(text))) << text;
    }
}

class IPEditWidget : public testing::Test {
  protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        before = new QPushButton("before", &window);
        layout->addWidget(before);
        edit = new TIPEdit(&window);
        layout->addWidget(edit);
        after = new QPushButton("after", &window);
        layout->addWidget(after);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QLineEdit* field(int i) const { return edit->Field(i); }
    QWidget* focused() const { return QApplication::focusWidget(); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(focused(), key, modifiers);
    }
    // Each key goes to whichever field has the focus by then, as a user's typing does.
    void type(const char* text) {
        for (const char* c = text; *c != '\0'; ++c) QTest::keyClick(focused(), *c);
    }

    QWidget window;
    QPushButton* before = nullptr;
    TIPEdit* edit = nullptr;
    QPushButton* after = nullptr;
};

TEST_F(IPEditWidget, BlankFieldsReadAsZeroAndAllBlankIsEmpty) {
    EXPECT_TRUE(edit->GetIsEmpty());
    EXPECT_TRUE(edit->property("IsEmpty").toBool());
    EXPECT_EQ(edit->GetIP(), "0.0.0.0");

    field(1)->setText("7");
    EXPECT_FALSE(edit->GetIsEmpty());
    EXPECT_EQ(edit->GetIP(), "0.7.0.0");

    edit->Clear();
    EXPECT_TRUE(edit->GetIsEmpty());
}

TEST_F(IPEditWidget, SetIPShowsTheParsedAddressAndAllOnesForText) {
    edit->SetIP("10.1");
    EXPECT_EQ(field(0)->text(), "10");
    EXPECT_EQ(field(3)->text(), "1");
    EXPECT_EQ(edit->GetIP(), "10.0.0.1");

    edit->SetIP("device.local");
    EXPECT_EQ(edit->GetIP(), "255.255.255.255");
    EXPECT_FALSE(edit->GetIsEmpty());
}

TEST_F(IPEditWidget, TypingMovesOnAfterThreeDigitsOrADot) {
    edit->setFocus();
    ASSERT_EQ(focused(), field(0));
    type("192168.0.1");
    EXPECT_EQ(edit->GetIP(), "192.168.0.1");
    EXPECT_EQ(focused(), field(3));

    // A dot in an empty field, or a letter, types nothing.
    edit->Clear();
    field(0)->setFocus();
    type(".a5");
    EXPECT_EQ(focused(), field(0));
    EXPECT_EQ(field(0)->text(), "5");
}

TEST_F(IPEditWidget, FieldValuesAboveByteRangeAreLimitedTo255) {
    field(2)->setFocus();
    type("300");
    EXPECT_EQ(field(2)->text(), "255");
    EXPECT_EQ(edit->GetIP(), "0.0.255.0");
}

TEST_F(IPEditWidget, ArrowsMoveBetweenFieldsAndStayInside) {
    edit->SetIP("1.22.33.4");
    field(0)->setFocus();
    field(0)->setCursorPosition(0);

    press(Qt::Key_Left);  // at the very start: stays
    EXPECT_EQ(focused(), field(0));
    press(Qt::Key_Right);  // past "1" to the end of the field
    EXPECT_EQ(focused(), field(0));
    press(Qt::Key_Right);  // on to the start of the next field
    EXPECT_EQ(focused(), field(1));
    EXPECT_EQ(field(1)->cursorPosition(), 0);
    press(Qt::Key_Right);
    press(Qt::Key_Right);
    EXPECT_EQ(focused(), field(1));
    EXPECT_EQ(field(1)->cursorPosition(), 2);
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    press(Qt::Key_Left);  // back to the end of the first field
    EXPECT_EQ(focused(), field(0));
    EXPECT_EQ(field(0)->cursorPosition(), 1);

    field(3)->setFocus();
    field(3)->setCursorPosition(1);
    press(Qt::Key_Right);  // at the very end: stays
    press(Qt::Key_Down);
    press(Qt::Key_Up);
    EXPECT_EQ(focused(), field(3));
    EXPECT_EQ(edit->GetIP(), "1.22.33.4");
}

TEST_F(IPEditWidget, BackspaceInAnEmptyFieldGoesBack) {
    field(0)->setFocus();
    type("12.");
    ASSERT_EQ(focused(), field(1));
    press(Qt::Key_Backspace);
    EXPECT_EQ(focused(), field(0));
    EXPECT_EQ(field(0)->cursorPosition(), 2);
    press(Qt::Key_Backspace);
    EXPECT_EQ(field(0)->text(), "1");
}

TEST_F(IPEditWidget, IsOneTabStop) {
    before->setFocus();
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), field(0));
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), after);

    field(2)->setFocus();
    press(Qt::Key_Tab);
    EXPECT_EQ(focused(), after);
    field(2)->setFocus();
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), before);
}

}  // namespace
