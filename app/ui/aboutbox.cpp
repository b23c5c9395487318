#include "app/ui/aboutbox.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/ui/imagelist.h"
#include "app/ui/versioninfo.h"
#include "base/ui/qcp1251.h"

namespace {

constexpr int kClientWidth = 310;
constexpr int kClientHeight = 218;
constexpr int kPanelLeft = 8;
constexpr int kPanelTop = 8;
constexpr int kPanelWidth = 294;
constexpr int kPanelHeight = 161;
constexpr int kIconWidth = 57;
constexpr int kIconHeight = 49;
constexpr int kTextLeft = 72;  // right of the icon
constexpr int kCommentsWidth = 277;
constexpr int kCommentsHeight = 52;
constexpr int kButtonWidth = 65;
constexpr int kButtonHeight = 33;

QLabel* MakeLabel(QWidget* parent, const QString& text, bool wrap) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(wrap);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("О программе"));
    // A dialog border: a title bar with a close button only, and a fixed size.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(kPanelLeft, kPanelTop, kPanelWidth, kPanelHeight);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setPixmap(::ProgramIcon().pixmap(48, 48));
    ProgramIcon->setAlignment(Qt::AlignCenter);

    ProductName = MakeLabel(
        Panel1,
        QStringLiteral("Утилита формирования файла настроек VR-7 для работы с адаптером Tervon."),
        true);
    Version = MakeLabel(Panel1, QStringLiteral("Версия "), false);
    Copyright = MakeLabel(Panel1, QStringLiteral("© 2026 Группа разработки VR-7"), false);
    Comments = MakeLabel(Panel1,
                         QStringLiteral("Программа предназначена для формирования файла настроек, "
                                        "описывающего список переменных, передаваемых VR-7 в "
                                        "адаптер Tervon."),
                         true);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
    PlaceControls();
    OKButton->setFocus();
}

void TAboutBox::FormCreate() {
    Version->setText(Version->text() + FromCp1251(Cp1251String(GetVersionString("FileVersion"))));
}

// The texts stack from the top of the panel; the word-wrapped ones take the height their text
// needs at the panel's width, so no line is cut whatever the font.
void TAboutBox::PlaceControls() {
    ProgramIcon->setGeometry(8, 8, kIconWidth, kIconHeight);
    const int textWidth = kPanelWidth - kTextLeft - 8;
    const int productHeight = ProductName->heightForWidth(textWidth);
    ProductName->setGeometry(kTextLeft, 8, textWidth, productHeight);
    const int versionTop = 8 + productHeight + 4;
    Version->setGeometry(kTextLeft, versionTop, textWidth, Version->sizeHint().height());
    const int copyrightTop = std::max(8 + kIconHeight, versionTop + Version->height()) + 6;
    Copyright->setGeometry(8, copyrightTop, kPanelWidth - 16, Copyright->sizeHint().height());
    const int commentsTop = copyrightTop + Copyright->height() + 6;
    const int commentsHeight = std::max(kCommentsHeight, Comments->heightForWidth(kCommentsWidth));
    Comments->setGeometry(8, commentsTop, kCommentsWidth, commentsHeight);
    OKButton->setGeometry(
        (kClientWidth - kButtonWidth) / 2,
        kPanelTop + kPanelHeight + (kClientHeight - kPanelTop - kPanelHeight - kButtonHeight) / 2,
        kButtonWidth, kButtonHeight);
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        if (const QScreen* screen = this->screen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
        centred_ = true;
    }
    OKButton->setFocus();
}
