#include "app/ui/reportdialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/messages.h"
#include "app/ui/usermessages.h"
#include "base/atomicfilewriter.h"
#include "base/ui/qcp1251.h"

ReportDialog::ReportDialog(std::string html, QString folder, IUserMessages& messages,
                           QWidget* parent)
    : QDialog(parent), html_(std::move(html)), folder_(std::move(folder)), messages_(messages) {
    setWindowTitle(QString::fromUtf8(htmltext::ReportDialogTitle()));
    View = new QTextBrowser(this);
    View->setOpenLinks(false);
    View->setHtml(QString::fromUtf8(html_.data(), static_cast<qsizetype>(html_.size())));

    auto* buttons = new QDialogButtonBox(this);
    auto add = [buttons](const char* text, QDialogButtonBox::ButtonRole role) {
        return buttons->addButton(QString::fromUtf8(text), role);
    };
    PrintButton = add(htmltext::PrintButton(), QDialogButtonBox::ActionRole);
    PdfButton = add(htmltext::SavePdfButton(), QDialogButtonBox::ActionRole);
    HtmlButton = add(htmltext::SaveHtmlButton(), QDialogButtonBox::ActionRole);
    CloseButton = add(htmltext::CloseButton(), QDialogButtonBox::RejectRole);
    connect(PrintButton, &QPushButton::clicked, this, &ReportDialog::PrintClick);
    connect(PdfButton, &QPushButton::clicked, this, &ReportDialog::PdfClick);
    connect(HtmlButton, &QPushButton::clicked, this, &ReportDialog::HtmlClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Enter closes the report; printing or saving is asked for by name.
    for (QPushButton* button : {PrintButton, PdfButton, HtmlButton}) button->setAutoDefault(false);
    CloseButton->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(View);
    layout->addWidget(buttons);
    resize(860, 640);

    ChooseFile = [this](const QString& caption, const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(this, caption, suggested, filter);
    };
}

QString ReportDialog::Suggested(const char* extension) const {
    const QString name = QStringLiteral("vr7-report.") + QLatin1String(extension);
    return folder_.isEmpty() ? name : QDir(folder_).filePath(name);
}

bool ReportDialog::SavePdf(const QString& path) {
    // Laid out at the screen's resolution, as the report window shows it: the table cells' padding
    // and borders, given in pixels, keep their size on the page (the text stays vector text).
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    View->document()->print(&printer);
    const QFileInfo written(path);
    return written.exists() && written.size() > 0;
}

bool ReportDialog::SaveHtml(const QString& path) {
    AtomicFileWriter writer;
    Status saved = writer.Open(QFile::encodeName(path).toStdString());
    if (saved) saved = writer.Write(html_);
    if (saved) saved = writer.Commit();
    if (!saved) {
        messages_.Message(QString::fromUtf8(htmltext::HtmlSaveFailed()) +
                          FromUtf8String(usertext::FailureLine(saved.failure())));
    }
    return static_cast<bool>(saved);
}

void ReportDialog::PrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) View->document()->print(&printer);
}

void ReportDialog::PdfClick() {
    const QString path =
        ChooseFile(PdfButton->text(), Suggested("pdf"), QString::fromUtf8(htmltext::PdfFilter()));
    if (!path.isEmpty() && !SavePdf(path))
        messages_.Message(QString::fromUtf8(htmltext::HtmlSaveFailed()) + path);
}

void ReportDialog::HtmlClick() {
    const QString path = ChooseFile(HtmlButton->text(), Suggested("html"),
                                    QString::fromUtf8(htmltext::HtmlFilter()));
    if (!path.isEmpty()) SaveHtml(path);
}
