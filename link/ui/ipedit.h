#pragma once
// The IP address entry: four decimal fields of 0..255 with dots between them. Addresses pass
// through it as 32-bit host-order values, the first number of the dotted form in the most
// significant byte. The whole control is one tab stop; the arrow keys, '.', Backspace and
// typing move between its fields and never leave it.
#include <QFrame>
#include <QString>
#include <array>
#include <cstdint>

class QKeyEvent;
class QLineEdit;

class TIPEdit : public QFrame {
    Q_OBJECT
    Q_PROPERTY(bool IsEmpty READ GetIsEmpty)

  public:
    static constexpr int kFieldCount = 4;

    explicit TIPEdit(QWidget* parent = nullptr);

    // "a.b.c.d", most significant byte first (0xC0A80001 gives "192.168.0.1").
    static QString IPToString(uint32_t value);
    // The address in a text, read by the rules of the C library's inet_addr: one to four parts,
    // each decimal, octal (leading 0) or hexadecimal (0x); the last part fills the remaining
    // bytes ("10.1" is 10.0.0.1); trailing text after white space is ignored. A text that is not
    // an address gives 0xFFFFFFFF, as does "255.255.255.255" itself.
    static uint32_t StringToIP(const QString& text);

    // The address as dotted text; blank fields count as 0.
    QString GetIP() const;
    // Shows StringToIP(text), so a text that is not an address shows 255.255.255.255.
    void SetIP(const QString& text);

    uint32_t Address() const;
    void SetAddress(uint32_t value);
    // Blanks all four fields.
    void Clear();
    // True when all four fields are blank.
    bool GetIsEmpty() const;

    // The field widgets, left to right (for layout and tests).
    QLineEdit* Field(int index) const { return fields_[index]; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    enum class Caret { Start, End, SelectAll };

    int IndexOf(QObject* watched) const;
    bool FieldKeyPress(int index, QKeyEvent* key);
    void FieldEdited(int index);
    void EnterField(int index, Caret caret);
    void UpdateFieldWidths();

    std::array<QLineEdit*, kFieldCount> fields_{};
};
