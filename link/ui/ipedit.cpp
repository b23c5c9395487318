#include "link/ui/ipedit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <string_view>

namespace {

constexpr uint64_t kMaxPart = 0xFFFFFFFFu;
constexpr uint32_t kNone = 0xFFFFFFFFu;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One part of a dotted address, C style: 0x... hexadecimal, 0... octal, otherwise decimal.
// Advances pos past the digits; false when the part has no digits or exceeds 32 bits. A digit
// that does not belong to the base is left for the caller, which then rejects the text.
bool ParsePart(std::string_view text, size_t& pos, uint64_t& value) {
    if (pos >= text.size() || !IsDigit(text[pos])) return false;
    int base = 10;
    if (text[pos] == '0') {
        base = 8;
        if (pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
            pos + 2 < text.size() && HexValue(text[pos + 2]) >= 0) {
            base = 16;
            pos += 2;
        }
    }
    value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = HexValue(text[pos]);
        if (digit < 0 || digit >= base) break;
        value = value * base + digit;
        if (value > kMaxPart) return false;
    }
    return true;
}

// inet_addr: one to four parts; the last fills all the bytes not given by the others.
bool ParseInetAddr(std::string_view text, uint32_t& address) {
    uint64_t parts[4] = {};
    int count = 0;
    size_t pos = 0;
    for (;;) {
        if (!ParsePart(text, pos, parts[count])) return false;
        ++count;
        if (pos < text.size() && text[pos] == '.') {
            if (count == 4) return false;
            ++pos;
            continue;
        }
        break;
    }
    if (pos < text.size() && !IsSpace(text[pos])) return false;

    const uint64_t last = parts[count - 1];
    const uint64_t lastLimit = kMaxPart >> (8 * (count - 1));
    if (last > lastLimit) return false;
    uint32_t value = static_cast<uint32_t>(last);
    for (int i = 0; i < count - 1; ++i) {
        if (parts[i] > 0xFF) return false;
        value |= static_cast<uint32_t>(parts[i]) << (24 - 8 * i);
    }
    address = value;
    return true;
}

}  // namespace

TIPEdit::TIPEdit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 0, 1, 0);
    layout->setSpacing(0);
    const QRegularExpression digits(QStringLiteral("[0-9]{0,3}"));
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("IPField%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new QRegularExpressionValidator(digits, field));
        // One tab stop for the whole control: Tab enters at the first field and leaves from any.
        field->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { FieldEdited(i); });
        layout->addWidget(field);
        fields_[i] = field;
    }
    setFocusProxy(fields_[0]);
    UpdateFieldWidths();
}

QString TIPEdit::IPToString(uint32_t value) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(value >> 24)
        .arg((value >> 16) & 0xFF)
        .arg((value >> 8) & 0xFF)
        .arg(value & 0xFF);
}

uint32_t TIPEdit::StringToIP(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    uint32_t address = kNone;
    if (!ParseInetAddr(std::string_view(bytes.constData(), bytes.size()), address)) return kNone;
    return address;
}

QString TIPEdit::GetIP() const {
    return IPToString(Address());
}

void TIPEdit::SetIP(const QString& text) {
    SetAddress(StringToIP(text));
}

uint32_t TIPEdit::Address() const {
    uint32_t value = 0;
    for (QLineEdit* field : fields_) {
        const uint32_t part = field->text().isEmpty() ? 0 : field->text().toUInt();
        value = (value << 8) | std::min<uint32_t>(part, 255);
    }
    return value;
}

void TIPEdit::SetAddress(uint32_t value) {
    for (int i = 0; i < kFieldCount; ++i)
        fields_[i]->setText(QString::number((value >> (24 - 8 * i)) & 0xFF));
}

void TIPEdit::Clear() {
    for (QLineEdit* field : fields_) field->clear();
}

bool TIPEdit::GetIsEmpty() const {
    for (QLineEdit* field : fields_)
        if (!field->text().isEmpty()) return false;
    return true;
}

bool TIPEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int index = IndexOf(watched);
        if (index >= 0 && FieldKeyPress(index, static_cast<QKeyEvent*>(event))) return true;
    }
    return QFrame::eventFilter(watched, event);
}

int TIPEdit::IndexOf(QObject* watched) const {
    for (int i = 0; i < kFieldCount; ++i)
        if (fields_[i] == watched) return i;
    return -1;
}

bool TIPEdit::FieldKeyPress(int index, QKeyEvent* key) {
    QLineEdit* field = fields_[index];
    const bool plain = !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                             Qt::AltModifier | Qt::MetaModifier));
    const bool caretOnly = !field->hasSelectedText();
    switch (key->key()) {
        case Qt::Key_Left:
            if (!plain || !caretOnly || field->cursorPosition() > 0) return false;
            if (index > 0) EnterField(index - 1, Caret::End);
            return true;
        case Qt::Key_Right:
            if (!plain || !caretOnly || field->cursorPosition() < field->text().size())
                return false;
            if (index < kFieldCount - 1) EnterField(index + 1, Caret::Start);
            return true;
        case Qt::Key_Backspace:
            if (!caretOnly || field->cursorPosition() > 0) return false;
            if (index > 0) EnterField(index - 1, Caret::End);
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            return true;
        default:
            break;
    }
    if (key->text() == QLatin1String(".")) {
        if (!field->text().isEmpty() && index < kFieldCount - 1)
            EnterField(index + 1, Caret::SelectAll);
        return true;
    }
    return false;
}

void TIPEdit::FieldEdited(int index) {
    QLineEdit* field = fields_[index];
    if (field->text().toUInt() > 255) field->setText(QStringLiteral("255"));
    if (field->text().size() == field->maxLength() &&
        field->cursorPosition() == field->maxLength() && index < kFieldCount - 1)
        EnterField(index + 1, Caret::SelectAll);
}

void TIPEdit::EnterField(int index, Caret caret) {
    QLineEdit* field = fields_[index];
    field->setFocus(Qt::OtherFocusReason);
    switch (caret) {
        case Caret::Start:
            field->setCursorPosition(0);
            break;
        case Caret::End:
            field->setCursorPosition(field->text().size());
            break;
        case Caret::SelectAll:
            field->selectAll();
            break;
    }
}

bool TIPEdit::focusNextPrevChild(bool next) {
    // The later fields are not tab stops, so a forward walk from any field leaves the control;
    // a backward walk must start at the first field or it would stop there.
    if (!next) {
        for (int i = 1; i < kFieldCount; ++i)
            if (fields_[i]->hasFocus()) fields_[0]->setFocus(Qt::OtherFocusReason);
    }
    return QFrame::focusNextPrevChild(next);
}

void TIPEdit::keyPressEvent(QKeyEvent* event) {
    // Arrow keys a field did not use stop here instead of moving focus elsewhere in the dialog.
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            event->accept();
            return;
        default:
            QFrame::keyPressEvent(event);
    }
}

void TIPEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) UpdateFieldWidths();
    QFrame::changeEvent(event);
}

void TIPEdit::UpdateFieldWidths() {
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("000")) + 4;
    for (QLineEdit* field : fields_) field->setFixedWidth(width);
}
