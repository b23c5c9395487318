#pragma once
// The report of a store or a check, shown as the page it is and handed on: printed, saved as PDF
// or saved as the HTML page itself.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

class QPushButton;
class QTextBrowser;
class IUserMessages;

class ReportDialog : public QDialog {
    Q_OBJECT
  public:
    // html: the whole page (UTF-8); folder: where the save dialogs start. Messages go to messages.
    ReportDialog(std::string html, QString folder, IUserMessages& messages,
                 QWidget* parent = nullptr);

    // The file a save asks for, given the dialog's caption, the suggested path and the filter;
    // empty when the user cancels. The file dialog by default; tests put their answer in place.
    std::function<QString(const QString& caption, const QString& suggested, const QString& filter)>
        ChooseFile;

    // Writes the page as a PDF document to path; false when it could not be written.
    bool SavePdf(const QString& path);
    // Writes the page itself to path, replacing a file there only when written whole; a failure
    // is said in a message.
    bool SaveHtml(const QString& path);
    const std::string& Html() const { return html_; }

    QTextBrowser* View = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* PdfButton = nullptr;
    QPushButton* HtmlButton = nullptr;
    QPushButton* CloseButton = nullptr;

  private:
    void PrintClick();
    void PdfClick();
    void HtmlClick();
    QString Suggested(const char* extension) const;

    std::string html_;
    QString folder_;
    IUserMessages& messages_;
};
