#include "link/ui/setportdlg.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "link/connection.h"
#include "link/ui/ipedit.h"
#include "link/ui/portcombo.h"
#include "tests/linkui/support/qstringprint.h"

namespace {

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

class SetPortDialog : public testing::Test {
  protected:
    void SetUp() override {
        dlg.SetErrorDisplay([this](const QString& text) { errors << text; });
    }

    // Runs the dialog through the connection as the window does; `act` runs once it is shown
    // and must close it. A second timer closes it anyway so that a failing test cannot hang.
    void RunDialog(uint32_t* deviceNumber, const std::function<void()>& act,
                   bool deviceNumberEditable = true) {
        QTimer::singleShot(0, &dlg, [this, act] {
            lockedWhileShown = conn.Locked();
            act();
        });
        QTimer::singleShot(10000, &dlg, &QDialog::reject);
        conn.ShowPortDialog(dlg, 20, 30, deviceNumber, deviceNumberEditable);
    }

    // Keys go to whichever widget has the focus, one at a time.
    void Type(QWidget* widget, const QString& text) {
        for (QChar c : text) QTest::keyClick(widget, c.toLatin1());
    }

    void ShowAndFocus(QWidget* widget) {
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        widget->setFocus();
    }

    connection conn;
    TSetPortDlg dlg;
    QStringList errors;
    bool lockedWhileShown = false;
};

TEST_F(SetPortDialog, HasItsCaptionSizeBorderAndControls) {
    EXPECT_EQ(dlg.windowTitle(), "Настройки порта");
    // At least its design's size, and wide enough for a title bar to show the whole title.
    EXPECT_GE(dlg.width(), 160);
    EXPECT_GE(dlg.height(), 173);
    QFont titleFont = dlg.font();
    titleFont.setBold(true);
    EXPECT_GE(dlg.width(), QFontMetrics(titleFont).horizontalAdvance(dlg.windowTitle()) + 96);
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_TRUE(dlg.windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowContextHelpButtonHint);
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowMinMaxButtonsHint);

    EXPECT_EQ(dlg.L_Port->text(), "Порт:");
    EXPECT_EQ(dlg.L_TCPIP_Port->text(), "TCP/IP порт:");
    EXPECT_EQ(dlg.L_IP->text(), "IP:");
    EXPECT_EQ(dlg.L_Speed->text(), "Скорость:");
    EXPECT_EQ(dlg.L_DevNom->text(), "№ Прибора");
    EXPECT_EQ(dlg.OKBtn->text(), "OK");
    EXPECT_EQ(dlg.CancelBtn->text(), "Cancel");
    EXPECT_TRUE(dlg.OKBtn->isDefault());

    EXPECT_TRUE(dlg.CB_Port->isEditable());
    EXPECT_EQ(Items(dlg.CB_Port), QStringList({"TCP/IP", "COM1", "COM2", "COM3", "COM4", "COM5",
                                               "COM6", "COM7", "COM8", "COM9"}));
    EXPECT_EQ(dlg.CB_Port->currentText(), "COM1");
    EXPECT_TRUE(dlg.CB_Speed->isEditable());
    EXPECT_EQ(Items(dlg.CB_Speed), QStringList({"9600", "19200", "38400", "57600", "115200"}));
    EXPECT_EQ(dlg.CB_Speed->currentText(), "115200");
    EXPECT_EQ(dlg.IPEdit->GetIP(), "0.0.0.0");
    EXPECT_FALSE(dlg.IPEdit->GetIsEmpty());
}

TEST_F(SetPortDialog, LaysOutRowsInsideTheFrameAndButtonsBelowIt) {
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const QRect client = dlg.rect();
    const QRect frame = dlg.Bevel1->geometry();
    EXPECT_TRUE(client.contains(frame));

    // Every control is whole and visible, the rows in this order top to bottom.
    const QList<QWidget*> rows = {dlg.CB_Port, dlg.E_TCPIP_Port, dlg.IPEdit, dlg.CB_Speed,
                                  dlg.E_DevNom};
    const QList<QLabel*> labels = {dlg.L_Port, dlg.L_TCPIP_Port, dlg.L_IP, dlg.L_Speed,
                                   dlg.L_DevNom};
    int previousBottom = frame.top();
    for (int i = 0; i < rows.size(); ++i) {
        const QRect control(rows[i]->mapTo(&dlg, QPoint(0, 0)), rows[i]->size());
        const QRect label(labels[i]->mapTo(&dlg, QPoint(0, 0)), labels[i]->size());
        EXPECT_TRUE(frame.contains(control)) << i;
        EXPECT_TRUE(frame.contains(label)) << i;
        EXPECT_GE(labels[i]->width(), labels[i]->fontMetrics().horizontalAdvance(labels[i]->text()))
            << i;
        EXPECT_LT(label.right(), control.left()) << i;
        EXPECT_GE(control.top(), previousBottom) << i;
        previousBottom = control.bottom();
    }
    // The longest texts the controls must show are not cut.
    for (QComboBox* combo : {static_cast<QComboBox*>(dlg.CB_Port), dlg.CB_Speed}) {
        EXPECT_GE(combo->lineEdit()->width(),
                  combo->fontMetrics().horizontalAdvance(QStringLiteral("115200")) + 4);
    }
    EXPECT_GE(dlg.CB_Port->lineEdit()->width(),
              dlg.CB_Port->fontMetrics().horizontalAdvance(QStringLiteral("/dev/ttyUSB10")) + 4);
    for (int i = 0; i < TIPEdit::kFieldCount; ++i) {
        QLineEdit* field = dlg.IPEdit->Field(i);
        EXPECT_GE(field->width(),
                  field->fontMetrics().horizontalAdvance(QStringLiteral("255")) + 4);
    }
    EXPECT_GT(dlg.OKBtn->geometry().top(), frame.bottom());
    EXPECT_LT(dlg.OKBtn->geometry().right(), dlg.CancelBtn->geometry().left());
    EXPECT_TRUE(client.contains(dlg.OKBtn->geometry()));
    EXPECT_TRUE(client.contains(dlg.CancelBtn->geometry()));
}

TEST_F(SetPortDialog, TabVisitsTheControlsInOrder) {
    // The fields the chosen port does not use are disabled, and Tab passes them by.
    const struct {
        const char* port;
        QList<QWidget*> order;
    } cases[] = {
        {"TCP/IP",
         {dlg.CB_Port, dlg.E_TCPIP_Port, dlg.E_DevNom, dlg.CancelBtn, dlg.OKBtn, dlg.IPEdit,
          dlg.CB_Port}},
        {"COM1",
         {dlg.CB_Port, dlg.CB_Speed, dlg.CB_Echo, dlg.E_DevNom, dlg.CancelBtn, dlg.OKBtn,
          dlg.CB_Port}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        dlg.CB_Port->setEditText(QString::fromLatin1(c.port));
        ShowAndFocus(dlg.CB_Port);
        for (int i = 0; i < c.order.size(); ++i) {
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            EXPECT_TRUE(focus == c.order[i] || c.order[i]->isAncestorOf(focus))
                << "step " << i << ": " << focus->objectName().toStdString();
            QTest::keyClick(focus, Qt::Key_Tab);
        }
    }
}

TEST_F(SetPortDialog, TheChosenPortEnablesTheFieldsItUses) {
    const struct {
        const char* port;
        bool tcp;
    } cases[] = {{"TCP/IP", true}, {"COM1", false}, {"/dev/pts/0", false}, {"tcp/ip", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        dlg.CB_Port->setEditText(QString::fromLatin1(c.port));
        for (QWidget* w : QList<QWidget*>{dlg.L_IP, dlg.IPEdit, dlg.L_TCPIP_Port, dlg.E_TCPIP_Port})
            EXPECT_EQ(w->isEnabled(), c.tcp) << w->objectName().toStdString();
        EXPECT_EQ(dlg.CB_Speed->isEnabled(), !c.tcp);
        EXPECT_EQ(dlg.L_Speed->isEnabled(), !c.tcp);
        // The line's echo is a serial line's only.
        EXPECT_EQ(dlg.CB_Echo->isVisibleTo(&dlg), !c.tcp);
        EXPECT_EQ(dlg.L_Echo->isVisibleTo(&dlg), !c.tcp);
        EXPECT_TRUE(dlg.E_DevNom->isEnabled());
    }
}

TEST(SetPortDialogFont, SpeaksInTheDesktopsFontHoweverLarge) {
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSizeF(14);
    QApplication::setFont(large);
    {
        TSetPortDlg dlg;
        for (QWidget* w : QList<QWidget*>{dlg.CB_Speed, dlg.CB_Speed->view(), dlg.L_DevNom})
            EXPECT_EQ(w->font().pointSizeF(), 14) << w->objectName().toStdString();
        EXPECT_GE(dlg.width(), dlg.minimumSizeHint().width());
        EXPECT_GE(dlg.height(), dlg.minimumSizeHint().height());
    }
    QApplication::setFont(before);
}

TEST_F(SetPortDialog, DigitFieldsTakeOnlyDigitsAndBackspace) {
    dlg.CB_Port->setEditText(QStringLiteral("TCP/IP"));  // the TCP port field is in use
    for (QLineEdit* edit : {dlg.E_DevNom, dlg.E_TCPIP_Port}) {
        edit->clear();
        ShowAndFocus(edit);
        Type(edit, "1a-2 .+3");
        EXPECT_EQ(edit->text(), "123") << edit->objectName().toStdString();
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), "12");

        // The clipboard shortcuts are discarded whatever the clipboard holds; the context
        // menu's paste is allowed, but only for digits.
        QGuiApplication::clipboard()->setText("9");
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        EXPECT_EQ(edit->text(), "12");
        QGuiApplication::clipboard()->setText("9x");
        edit->paste();
        EXPECT_EQ(edit->text(), "12");
        QGuiApplication::clipboard()->setText("4");
        edit->paste();
        EXPECT_EQ(edit->text(), "124");
    }
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SetPortDialog, KeyFilterPassesDigitsAndEditingKeysOnly) {
    auto discarded = [this](Qt::Key key, const QString& text,
                            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        return dlg.E_DevNomKeyPress(&event);
    };
    EXPECT_FALSE(discarded(Qt::Key_0, "0"));
    EXPECT_FALSE(discarded(Qt::Key_9, "9"));
    EXPECT_FALSE(discarded(Qt::Key_5, "5", Qt::KeypadModifier));
    EXPECT_FALSE(discarded(Qt::Key_Backspace, "\b"));
    EXPECT_FALSE(discarded(Qt::Key_Delete, "\x7f"));
    EXPECT_FALSE(discarded(Qt::Key_Left, ""));
    EXPECT_FALSE(discarded(Qt::Key_Return, "\r"));  // the dialog's default button
    EXPECT_FALSE(discarded(Qt::Key_Escape, "\x1b"));

    EXPECT_TRUE(discarded(Qt::Key_A, "a"));
    EXPECT_TRUE(discarded(Qt::Key_Minus, "-"));
    EXPECT_TRUE(discarded(Qt::Key_Space, " "));
    EXPECT_TRUE(discarded(Qt::Key_C, "\x03", Qt::ControlModifier));
    EXPECT_TRUE(discarded(Qt::Key_V, "v", Qt::ControlModifier));
    EXPECT_TRUE(discarded(Qt::Key_Z, "\x1a", Qt::ControlModifier));
    EXPECT_TRUE(discarded(Qt::Key_Insert, "", Qt::ShiftModifier));
    EXPECT_TRUE(discarded(Qt::Key_unknown, "٣"));  // a digit, but not an ASCII one
}

TEST_F(SetPortDialog, TcpPortIsLimitedTo65535WhenTheKeyIsReleased) {
    dlg.CB_Port->setEditText(QStringLiteral("TCP/IP"));
    ShowAndFocus(dlg.E_TCPIP_Port);
    Type(dlg.E_TCPIP_Port, "7000");
    QTest::keyPress(dlg.E_TCPIP_Port, '0');
    EXPECT_EQ(dlg.E_TCPIP_Port->text(), "70000");
    QTest::keyRelease(dlg.E_TCPIP_Port, '0');
    EXPECT_EQ(dlg.E_TCPIP_Port->text(), "65535");

    const QList<std::pair<QString, QString>> cases = {
        {"65535", "65535"},
        {"65536", "65535"},
        {"0065535", "0065535"},
        {"00065536", "65535"},
        {"123456789012345678901234567890", "65535"},
        {"1", "1"},
    };
    for (const auto& [text, expected] : cases) {
        dlg.E_TCPIP_Port->setText(text);
        QTest::keyClick(dlg.E_TCPIP_Port, Qt::Key_End);
        EXPECT_EQ(dlg.E_TCPIP_Port->text(), expected) << text.toStdString();
    }

    // A number pasted with the mouse is limited when the field is left.
    dlg.E_TCPIP_Port->clear();
    QGuiApplication::clipboard()->setText("99999");
    dlg.E_TCPIP_Port->paste();
    EXPECT_EQ(dlg.E_TCPIP_Port->text(), "99999");
    dlg.E_DevNom->setFocus();
    EXPECT_EQ(dlg.E_TCPIP_Port->text(), "65535");

    dlg.E_TCPIP_Port->setFocus();
    dlg.E_TCPIP_Port->setText("12");
    QTest::keyClick(dlg.E_TCPIP_Port, Qt::Key_Backspace);
    QTest::keyClick(dlg.E_TCPIP_Port, Qt::Key_Backspace);
    EXPECT_EQ(dlg.E_TCPIP_Port->text(), "");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SetPortDialog, OkTakesEveryValueOverAndHandsTheDeviceNumberBack) {
    conn.PortName = "TCP/IP";
    conn.Speed = 57600;
    conn.IpAddress = "10.1";
    conn.TcpIpPort = "4001";
    conn.Echo = LineEcho::Off;
    uint32_t deviceNumber = 4000000000u;
    QStringList shown;
    RunDialog(&deviceNumber, [&] {
        shown << dlg.CB_Port->currentText() << dlg.CB_Speed->currentText() << dlg.IPEdit->GetIP()
              << dlg.E_TCPIP_Port->text() << dlg.E_DevNom->text() << dlg.CB_Echo->currentText();
        dlg.CB_Port->setEditText("/dev/pts/7");
        dlg.CB_Speed->setEditText("19200");
        dlg.CB_Echo->setCurrentText("есть");
        dlg.IPEdit->SetIP("127.0.0.1");
        dlg.E_TCPIP_Port->setText("10002");
        dlg.E_DevNom->setText("4294967295");
        dlg.OKBtn->click();
    });
    EXPECT_TRUE(lockedWhileShown);
    EXPECT_FALSE(conn.Locked());
    EXPECT_EQ(shown, QStringList({"TCP/IP", "57600", "10.0.0.1", "4001", "4000000000", "нет"}));
    EXPECT_EQ(conn.PortName, "/dev/pts/7");
    EXPECT_EQ(conn.Speed, 19200u);
    EXPECT_EQ(conn.Echo, LineEcho::On);
    EXPECT_EQ(conn.IpAddress, "127.0.0.1");
    EXPECT_EQ(conn.TcpIpPort, "10002");
    EXPECT_EQ(conn.DeviceNumber, 4294967295u);
    EXPECT_EQ(deviceNumber, 4294967295u);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SetPortDialog, CancelKeepsTheSettingsButHandsTheEditedDeviceNumberBack) {
    uint32_t deviceNumber = 5;
    RunDialog(&deviceNumber, [&] {
        dlg.CB_Port->setEditText("COM4");
        dlg.CB_Speed->setEditText("9600");
        dlg.E_DevNom->setText("77");
        QTest::keyClick(dlg.CB_Speed, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(conn.PortName, "COM1");
    EXPECT_EQ(conn.Speed, 9600u);
    EXPECT_EQ(conn.DeviceNumber, 5u);
    EXPECT_EQ(deviceNumber, 77u);

    // A field that was disabled hands nothing back.
    RunDialog(
        &deviceNumber,
        [&] {
            EXPECT_FALSE(dlg.E_DevNom->isEnabled());
            dlg.E_DevNom->setText("12");
            dlg.CancelBtn->click();
        },
        false);
    EXPECT_EQ(deviceNumber, 77u);
}

TEST_F(SetPortDialog, EnterInAFieldPressesOk) {
    uint32_t deviceNumber = 0;
    RunDialog(&deviceNumber, [&] {
        dlg.CB_Speed->setEditText("38400");
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        dlg.CB_Speed->setFocus();
        QTest::keyClick(dlg.CB_Speed->lineEdit(), Qt::Key_Return);
    });
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(conn.Speed, 38400u);
    EXPECT_EQ(dlg.CB_Speed->count(), 5);  // the typed speed is not added to the list
}

TEST_F(SetPortDialog, InvalidSpeedStopsAfterThePortNameAndStillCloses) {
    conn.DeviceNumber = 3;
    uint32_t deviceNumber = 3;
    RunDialog(&deviceNumber, [&] {
        dlg.CB_Port->setEditText("COM2");
        dlg.CB_Speed->setEditText("abc");
        dlg.IPEdit->SetIP("127.0.0.2");
        dlg.E_TCPIP_Port->setText("1");
        dlg.E_DevNom->setText("8");
        dlg.OKBtn->click();
    });
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(errors, QStringList({"'abc' is not a valid integer value"}));
    EXPECT_EQ(conn.PortName, "COM2");
    EXPECT_EQ(conn.Speed, 9600u);
    EXPECT_EQ(conn.IpAddress, "192.168.0.1");
    EXPECT_EQ(conn.TcpIpPort, "10001");
    EXPECT_EQ(conn.DeviceNumber, 3u);
    EXPECT_EQ(deviceNumber, 8u);
}

TEST_F(SetPortDialog, ASpeedNoSerialLineCanRunAtIsRefusedLikeAnInvalidNumber) {
    for (const char* speed : {"0", "4294967295"}) {
        errors.clear();
        conn.Speed = 9600;
        conn.TcpIpPort = "10001";
        RunDialog(nullptr, [&] {
            dlg.CB_Port->setEditText("COM2");
            dlg.CB_Speed->setEditText(speed);
            dlg.E_TCPIP_Port->setText("1");
            dlg.OKBtn->click();
        });
        EXPECT_EQ(errors,
                  QStringList({QStringLiteral("Недопустимая скорость: %1 бод").arg(speed)}));
        EXPECT_EQ(conn.Speed, 9600u) << speed;
        EXPECT_EQ(conn.TcpIpPort, "10001") << speed;  // the later fields keep their values
    }
    // Over TCP/IP the serial speed is not used and not checked.
    errors.clear();
    RunDialog(nullptr, [&] {
        dlg.CB_Port->setEditText("TCP/IP");
        dlg.CB_Speed->setEditText("0");
        dlg.OKBtn->click();
    });
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(conn.Speed, 0u);
}

TEST_F(SetPortDialog, DeviceNumberIsEmptyAsZeroAndRefusedBeyond32Bits) {
    uint32_t deviceNumber = 9;
    RunDialog(&deviceNumber, [&] {
        dlg.E_DevNom->clear();
        dlg.OKBtn->click();
    });
    EXPECT_EQ(conn.DeviceNumber, 0u);
    EXPECT_EQ(deviceNumber, 0u);

    conn.DeviceNumber = 6;
    deviceNumber = 6;
    RunDialog(&deviceNumber, [&] {
        dlg.IPEdit->SetIP("127.0.0.3");
        dlg.E_DevNom->setText("4294967296");
        dlg.OKBtn->click();
    });
    EXPECT_EQ(errors, QStringList({"'4294967296' is not a valid integer value"}));
    EXPECT_EQ(conn.IpAddress, "127.0.0.3");  // taken over before the failing step
    EXPECT_EQ(conn.DeviceNumber, 6u);
    EXPECT_EQ(deviceNumber, 0u);
}

TEST_F(SetPortDialog, UnparsableAddressShowsAndSavesAllOnes) {
    conn.IpAddress = "device.local";
    RunDialog(nullptr, [&] { dlg.OKBtn->click(); });
    EXPECT_EQ(conn.IpAddress, "255.255.255.255");
}

TEST_F(SetPortDialog, PortListAddsThePresentPortsEachTimeItOpens) {
    QStringList present = {"/dev/ttyUSB0", "COM3"};
    dlg.CB_Port->SetPortLister([&] { return present; });
    dlg.CB_Port->setEditText("/dev/pts/3");

    dlg.CB_Port->RefreshPorts();
    EXPECT_EQ(dlg.CB_Port->count(), 11);
    EXPECT_EQ(dlg.CB_Port->itemText(10), "/dev/ttyUSB0");
    EXPECT_EQ(dlg.CB_Port->currentText(), "/dev/pts/3");

    present = {"/dev/ttyACM0", "/dev/ttyACM1"};
    ShowAndFocus(dlg.CB_Port);
    dlg.CB_Port->showPopup();
    dlg.CB_Port->hidePopup();
    EXPECT_EQ(Items(dlg.CB_Port).mid(10), QStringList({"/dev/ttyACM0", "/dev/ttyACM1"}));
    EXPECT_EQ(dlg.CB_Port->currentText(), "/dev/pts/3");
}

TEST_F(SetPortDialog, EachPresentPortHasItsToolTip) {
    dlg.CB_Port->SetDescribedPortLister([] {
        return QList<PortCombo::Port>{{"/dev/ttyUSB0", "FT232R USB UART"},
                                      {"/dev/serial/by-id/usb-FTDI-if00-port0", "stable"},
                                      {"/dev/ttyS0", ""}};
    });
    dlg.CB_Port->RefreshPorts();
    ASSERT_EQ(Items(dlg.CB_Port).mid(10),
              QStringList({"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00-port0", "/dev/ttyS0"}));
    EXPECT_EQ(dlg.CB_Port->itemData(10, Qt::ToolTipRole).toString(), "FT232R USB UART");
    EXPECT_EQ(dlg.CB_Port->itemData(11, Qt::ToolTipRole).toString(), "stable");
    EXPECT_FALSE(dlg.CB_Port->itemData(12, Qt::ToolTipRole).isValid());
    EXPECT_FALSE(dlg.CB_Port->itemData(1, Qt::ToolTipRole).isValid());  // COM1
}

TEST_F(SetPortDialog, PlaceKeepsTheDialogOnTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    dlg.Place(area.left() + 10, area.top() + 20);
    EXPECT_EQ(dlg.pos(), QPoint(area.left() + 10, area.top() + 20));
    dlg.Place(area.right() - 5, area.bottom() - 5);
    EXPECT_EQ(dlg.pos(), QPoint(area.right() + 1 - dlg.width(), area.bottom() + 1 - dlg.height()));
}

}  // namespace
