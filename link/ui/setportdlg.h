#pragma once
// The port settings dialog: serial port and speed, or TCP/IP with an address and a TCP port, and
// the device number. It edits the fields of the connection it is shown with; the OK button
// writes them back, Cancel leaves them alone.
#include <QDialog>
#include <QString>
#include <functional>

#include "link/connection.h"

class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class TIPEdit;
class PortCombo;

class TSetPortDlg : public QDialog, public IPortDialog {
    Q_OBJECT

  public:
    // Where a value that is not a number is reported (the application's general error display);
    // tests replace it so that nothing blocks.
    using ErrorDisplay = std::function<void(const QString& text)>;

    explicit TSetPortDlg(QWidget* parent = nullptr);
    ~TSetPortDlg() override;

    // IPortDialog
    void SetDevNomEnabled(bool enabled) override;
    void Place(int left, int top) override;
    int ShowModal(connection& conn) override;
    std::string DevNomText() const override;

    void SetErrorDisplay(ErrorDisplay display) { errorDisplay_ = std::move(display); }

    // Takes the controls' values over into the remembered connection, stopping at the first value
    // that is not a number (the values before it are already taken over).
    void OKBtnClick();
    // Key filter of E_DevNom and E_TCPIP_Port: true when the key is to be discarded.
    bool E_DevNomKeyPress(const QKeyEvent* key) const;
    // Keeps E_TCPIP_Port within 16 bits.
    void E_TCPIP_PortKeyUp();
    // Enables the fields the chosen port uses: address and TCP port for TCP/IP, else the speed;
    // the line's echo is shown for a serial port only.
    void FollowPortKind();

    QFrame* Bevel1;
    QLabel* L_Port;
    PortCombo* CB_Port;
    QLabel* L_TCPIP_Port;
    QLineEdit* E_TCPIP_Port;
    QLabel* L_IP;
    TIPEdit* IPEdit;
    QLabel* L_Speed;
    QComboBox* CB_Speed;
    QLabel* L_Echo;
    QComboBox* CB_Echo;  // "авто", "есть", "нет": LineEcho's order
    QLabel* L_DevNom;
    QLineEdit* E_DevNom;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void LayOut();
    void ReportInvalidNumber(const QString& text);

    connection* conn_ = nullptr;
    ErrorDisplay errorDisplay_;
};
