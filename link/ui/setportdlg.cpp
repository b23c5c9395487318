#include "link/ui/setportdlg.h"

#include <algorithm>

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

#include "base/apptitle.h"
#include "base/parseuint.h"
#include "base/ui/qcp1251.h"
#include "link/connectionkeys.h"
#include "link/serialports.h"
#include "link/ui/ipedit.h"
#include "link/ui/portcombo.h"

namespace {

const QString kErrorTitle = QString::fromUtf8(kApplicationTitle);
constexpr int kClientWidth = 160;
constexpr int kClientHeight = 173;
constexpr int kButtonWidth = 70;
constexpr int kComboMinWidth = 60;
// What a window manager's title bar takes beside the title: the icon, its buttons (some show
// all three on a fixed-size dialog too), margins, and a title font a little wider than ours.
constexpr int kTitleBarExtra = 160;
// The port field shows a path as long as "/dev/ttyUSB10" whole.
constexpr int kPortChars = 13;

// A decimal number of 0..4294967295, white space around it allowed.
bool ParseUnsigned32(const QString& text, uint32_t& value) {
    return ParseUint32(ToCp1251(text.trimmed()).bytes(), value);
}

// True when text is all digits and its value is 65536 or more; any length of digits is compared
// without converting, so an overlong text cannot overflow.
bool ExceedsTcpPort(const QString& text) {
    if (text.isEmpty()) return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9') return false;
    qsizetype first = 0;
    while (first < text.size() - 1 && text[first] == u'0') ++first;
    const QStringView significant = QStringView(text).mid(first);
    if (significant.size() != 5) return significant.size() > 5;
    return significant.compare(u"65535") > 0;
}

void SetComboText(QComboBox* combo, const QString& text) {
    combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    combo->setEditText(text);
}

}  // namespace

TSetPortDlg::TSetPortDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Настройки порта"));
    // The dialog speaks in the desktop's font, as the window does, and grows to what its
    // controls and its title need rather than clip them.
    CreateControls();
    LayOut();
    connect(CB_Port, &QComboBox::currentTextChanged, this, &TSetPortDlg::FollowPortKind);
    FollowPortKind();
    const QSize needed = layout()->minimumSize();
    QFont titleFont = font();
    titleFont.setBold(true);
    const int title = QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + kTitleBarExtra;
    setFixedSize(std::max({kClientWidth, needed.width(), title}),
                 std::max(kClientHeight, needed.height()));
    errorDisplay_ = [this](const QString& text) {
        QMessageBox box(QMessageBox::Critical, kErrorTitle, text, QMessageBox::Ok, this);
        box.exec();
    };
}

TSetPortDlg::~TSetPortDlg() {
    // The fields outlive this part of the object: destroying them takes their focus away, and
    // the resulting editingFinished must not reach a dialog that is already half gone.
    for (QLineEdit* edit : {E_TCPIP_Port, E_DevNom}) {
        edit->removeEventFilter(this);
        disconnect(edit, nullptr, this, nullptr);
    }
}

void TSetPortDlg::CreateControls() {
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    CB_Port = new PortCombo({QStringLiteral("TCP/IP"), QStringLiteral("COM1"),
                             QStringLiteral("COM2"), QStringLiteral("COM3"), QStringLiteral("COM4"),
                             QStringLiteral("COM5"), QStringLiteral("COM6"), QStringLiteral("COM7"),
                             QStringLiteral("COM8"), QStringLiteral("COM9")},
                            Bevel1);
    CB_Port->setObjectName(QStringLiteral("CB_Port"));
    // Each port, followed by its stable name when it has one (the window adds what each is).
    CB_Port->SetPortLister([] {
        QStringList ports;
        for (const SerialPortInfo& port : DescribeSerialPorts()) {
            ports << QString::fromStdString(port.path);
            if (!port.byIdPath.empty()) ports << QString::fromStdString(port.byIdPath);
        }
        return ports;
    });
    SetComboText(CB_Port, QStringLiteral("COM1"));

    const QRegularExpression digits(QStringLiteral("[0-9]*"));
    E_TCPIP_Port = new QLineEdit(Bevel1);
    E_TCPIP_Port->setObjectName(QStringLiteral("E_TCPIP_Port"));
    E_TCPIP_Port->setValidator(new QRegularExpressionValidator(digits, E_TCPIP_Port));

    IPEdit = new TIPEdit(Bevel1);
    IPEdit->setObjectName(QStringLiteral("IPEdit"));
    IPEdit->SetAddress(0);

    CB_Speed = new QComboBox(Bevel1);
    CB_Speed->setObjectName(QStringLiteral("CB_Speed"));
    CB_Speed->setEditable(true);
    CB_Speed->setInsertPolicy(QComboBox::NoInsert);
    CB_Speed->addItems({QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                        QStringLiteral("57600"), QStringLiteral("115200")});
    SetComboText(CB_Speed, QStringLiteral("115200"));

    CB_Echo = new QComboBox(Bevel1);
    CB_Echo->setObjectName(QStringLiteral("CB_Echo"));
    CB_Echo->addItems({QStringLiteral("авто"), QStringLiteral("есть"), QStringLiteral("нет")});
    CB_Echo->setToolTip(QStringLiteral(
        "Возвращает ли линия каждый запрос перед ответом прибора, как многие двухпроводные "
        "преобразователи RS-485. «авто» узнаёт это по первому ответу."));

    E_DevNom = new QLineEdit(Bevel1);
    E_DevNom->setObjectName(QStringLiteral("E_DevNom"));
    E_DevNom->setValidator(new QRegularExpressionValidator(digits, E_DevNom));

    // The key filters let only digits through; the validators also stop letters arriving by
    // the context menu's paste or by drag and drop, which bypass the keyboard.
    for (QLineEdit* edit : {E_TCPIP_Port, E_DevNom}) edit->installEventFilter(this);
    // A pasted port number is limited as well once the field is left.
    connect(E_TCPIP_Port, &QLineEdit::editingFinished, this, &TSetPortDlg::E_TCPIP_PortKeyUp);

    auto label = [this](const QString& text, QWidget* buddy, const char* name) {
        auto* l = new QLabel(text, Bevel1);
        l->setObjectName(QLatin1String(name));
        l->setBuddy(buddy);
        return l;
    };
    L_Port = label(QStringLiteral("Порт:"), CB_Port, "L_Port");
    L_TCPIP_Port = label(QStringLiteral("TCP/IP порт:"), E_TCPIP_Port, "L_TCPIP_Port");
    L_IP = label(QStringLiteral("IP:"), IPEdit, "L_IP");
    L_Speed = label(QStringLiteral("Скорость:"), CB_Speed, "L_Speed");
    L_Echo = label(QStringLiteral("Эхо линии:"), CB_Echo, "L_Echo");
    L_DevNom = label(QStringLiteral("№ Прибора"), E_DevNom, "L_DevNom");

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        OKBtnClick();
        accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(CB_Port, E_TCPIP_Port);
    setTabOrder(E_TCPIP_Port, CB_Speed);
    setTabOrder(CB_Speed, CB_Echo);
    setTabOrder(CB_Echo, E_DevNom);
    setTabOrder(E_DevNom, CancelBtn);
    setTabOrder(CancelBtn, OKBtn);
    setTabOrder(OKBtn, IPEdit);
}

void TSetPortDlg::LayOut() {
    // The combo boxes ask for a few pixels of room to spare around "115200"; the labels'
    // column leaves them what is needed to show it.
    for (QComboBox* combo : {static_cast<QComboBox*>(CB_Port), CB_Speed})
        combo->setMinimumWidth(kComboMinWidth);
    CB_Port->setMinimumContentsLength(kPortChars);
    CB_Port->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* grid = new QGridLayout(Bevel1);
    grid->setContentsMargins(3, 4, 3, 4);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(3);
    grid->addWidget(L_Port, 0, 0);
    grid->addWidget(CB_Port, 0, 1);
    grid->addWidget(L_TCPIP_Port, 1, 0);
    grid->addWidget(E_TCPIP_Port, 1, 1);
    // The address needs more room than the label column leaves, so its row is laid out alone.
    auto* ipRow = new QHBoxLayout;
    ipRow->addWidget(L_IP);
    ipRow->addStretch();
    ipRow->addWidget(IPEdit);
    grid->addLayout(ipRow, 2, 0, 1, 2);
    grid->addWidget(L_Speed, 3, 0);
    grid->addWidget(CB_Speed, 3, 1);
    grid->addWidget(L_Echo, 4, 0);
    grid->addWidget(CB_Echo, 4, 1);
    grid->addWidget(L_DevNom, 5, 0);
    grid->addWidget(E_DevNom, 5, 1);
    grid->setColumnStretch(1, 1);

    // The style's minimum button width would not leave room for two buttons side by side.
    for (QPushButton* button : {OKBtn, CancelBtn}) button->setFixedWidth(kButtonWidth);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(OKBtn);
    buttons->addStretch();
    buttons->addWidget(CancelBtn);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);
    outer->addWidget(Bevel1);
    outer->addLayout(buttons);
}

void TSetPortDlg::FollowPortKind() {
    // The address and the TCP port belong to TCP/IP, the speed to a serial port.
    const bool tcp = CB_Port->currentText() == QString::fromLatin1(connkeys::kTcpIpPortName);
    for (QWidget* widget :
         {static_cast<QWidget*>(L_IP), static_cast<QWidget*>(IPEdit),
          static_cast<QWidget*>(L_TCPIP_Port), static_cast<QWidget*>(E_TCPIP_Port)})
        widget->setEnabled(tcp);
    L_Speed->setEnabled(!tcp);
    CB_Speed->setEnabled(!tcp);
    L_Echo->setVisible(!tcp);
    CB_Echo->setVisible(!tcp);
}

void TSetPortDlg::SetDevNomEnabled(bool enabled) {
    E_DevNom->setEnabled(enabled);
}

void TSetPortDlg::Place(int left, int top) {
    QPoint position(left, top);
    // Keep the whole dialog on the screen the point is on (the caller passes the mouse position,
    // which may be near the screen's edge).
    if (const QScreen* screen = QGuiApplication::screenAt(position)) {
        const QRect area = screen->availableGeometry();
        position.setX(std::max(area.left(), std::min(left, area.right() + 1 - width())));
        position.setY(std::max(area.top(), std::min(top, area.bottom() + 1 - height())));
    }
    move(position);
}

int TSetPortDlg::ShowModal(connection& conn) {
    conn_ = &conn;
    SetComboText(CB_Port, FromCp1251(Cp1251String(conn.PortName)));
    SetComboText(CB_Speed, QString::number(conn.Speed));
    CB_Echo->setCurrentIndex(static_cast<int>(conn.Echo));
    IPEdit->SetIP(FromCp1251(Cp1251String(conn.IpAddress)));
    E_TCPIP_Port->setText(FromCp1251(Cp1251String(conn.TcpIpPort)));
    E_DevNom->setText(QString::number(conn.DeviceNumber));
    CB_Port->setFocus(Qt::OtherFocusReason);
    return exec();
}

std::string TSetPortDlg::DevNomText() const {
    return ToCp1251(E_DevNom->text()).bytes();
}

void TSetPortDlg::OKBtnClick() {
    if (conn_ == nullptr) return;
    // The values are taken in the controls' order; the first one refused stops there, and what
    // was taken before it is kept.
    ConnectionSettings edited = conn_->Settings();
    edited.SetPortName(ToCp1251(CB_Port->currentText()).bytes());
    conn_->Apply(edited);

    const QString speedText = CB_Speed->currentText();
    uint32_t speed = 0;
    if (!ParseUnsigned32(speedText, speed)) {
        ReportInvalidNumber(speedText);
        return;
    }
    // A serial line cannot run at 0 Bd (on a terminal that means "hang up") or beyond what the
    // system can set: such a speed is refused here as a number that is no speed.
    if (!edited.Tcp() && !ParseSpeed(ToCp1251(speedText.trimmed()).bytes(), speed)) {
        if (errorDisplay_)
            errorDisplay_(QStringLiteral("Недопустимая скорость: %1 бод").arg(speed));
        return;
    }
    edited.speed = speed;
    edited.echo = static_cast<LineEcho>(CB_Echo->currentIndex());
    edited.host = ToCp1251(IPEdit->GetIP()).bytes();
    edited.SetTcpPortText(ToCp1251(E_TCPIP_Port->text()).bytes());
    conn_->Apply(edited);

    const QString devNom = E_DevNom->text();
    edited.deviceNumber = 0;  // an empty field
    if (!devNom.trimmed().isEmpty() &&
        !ParseDeviceNumber(ToCp1251(devNom.trimmed()).bytes(), edited.deviceNumber)) {
        ReportInvalidNumber(devNom);
        return;
    }
    conn_->Apply(edited);
}

void TSetPortDlg::ReportInvalidNumber(const QString& text) {
    if (errorDisplay_) errorDisplay_(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

bool TSetPortDlg::E_DevNomKeyPress(const QKeyEvent* key) const {
    // The clipboard and undo shortcuts would bring in or restore text the filter never saw.
    for (QKeySequence::StandardKey shortcut :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Undo,
          QKeySequence::Redo}) {
        if (key->matches(shortcut)) return true;
    }
    switch (key->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;  // editing and dialog keys, not characters typed into the field
        default:
            break;
    }
    const QString text = key->text();
    if (text.isEmpty()) return false;  // cursor movement and other keys that type nothing
    const bool command =
        key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return command || text.size() != 1 || text[0] < u'0' || text[0] > u'9';
}

void TSetPortDlg::E_TCPIP_PortKeyUp() {
    if (ExceedsTcpPort(E_TCPIP_Port->text())) E_TCPIP_Port->setText(QStringLiteral("65535"));
}

bool TSetPortDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == E_TCPIP_Port || watched == E_DevNom) {
        if (event->type() == QEvent::KeyPress && E_DevNomKeyPress(static_cast<QKeyEvent*>(event)))
            return true;
        if (event->type() == QEvent::KeyRelease && watched == E_TCPIP_Port) E_TCPIP_PortKeyUp();
    }
    return QDialog::eventFilter(watched, event);
}
