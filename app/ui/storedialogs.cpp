#include "app/ui/storedialogs.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/messages.h"
#include "base/cp1251.h"
#include "gateway/gatewayfile.h"
#include "gateway/snvtlist.h"
#include "optlist/xmldocument.h"

namespace {

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QTableWidgetItem* Cell(const QString& text, bool number = false) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

}  // namespace

StorePreviewDialog::StorePreviewDialog(const StorePreview& preview, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(storetext::PreviewTitle()));
    auto* layout = new QVBoxLayout(this);
    Headline = new QLabel(Text(preview.Headline()), this);
    Headline->setWordWrap(true);
    Headline->setTextFormat(Qt::PlainText);
    layout->addWidget(Headline);
    Changes = new QPlainTextEdit(this);
    Changes->setReadOnly(true);
    Changes->setLineWrapMode(QPlainTextEdit::NoWrap);
    QString lines;
    for (const std::string& line : preview.lines) lines += Text(line) + QLatin1Char('\n');
    Changes->setPlainText(lines);
    Changes->setVisible(!preview.lines.empty());
    layout->addWidget(Changes, 1);
    Backup = new QLabel(Text(preview.backupPath.empty()
                                 ? std::string(preview.deviceHadFile ? storetext::BackupOff()
                                                                     : storetext::NothingToBackUp())
                                 : storetext::BackupKept(preview.backupPath)),
                        this);
    Backup->setWordWrap(true);
    Backup->setTextFormat(Qt::PlainText);
    Backup->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Backup);
    auto* buttons = new QDialogButtonBox(this);
    YesButton =
        buttons->addButton(QString::fromUtf8(storetext::YesButton()), QDialogButtonBox::YesRole);
    NoButton =
        buttons->addButton(QString::fromUtf8(storetext::NoButton()), QDialogButtonBox::NoRole);
    YesButton->setAutoDefault(false);
    NoButton->setDefault(true);
    connect(YesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(NoButton, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(preview.lines.empty() ? 520 : 760, preview.lines.empty() ? 160 : 420);
}

RestoreDialog::RestoreDialog(std::vector<BackupSummary> backups, QWidget* parent)
    : QDialog(parent), backups_(std::move(backups)) {
    setWindowTitle(QString::fromUtf8(storetext::RestoreTitle()));
    auto* layout = new QVBoxLayout(this);
    Backups = new QTableWidget(static_cast<int>(backups_.size()), 4, this);
    Backups->setHorizontalHeaderLabels({QString::fromUtf8(storetext::DeviceColumn()),
                                        QString::fromUtf8(storetext::TakenColumn()),
                                        QString::fromUtf8(storetext::SizeColumn()),
                                        QString::fromUtf8(storetext::VariablesColumn())});
    Backups->setSelectionBehavior(QAbstractItemView::SelectRows);
    Backups->setSelectionMode(QAbstractItemView::SingleSelection);
    Backups->verticalHeader()->hide();
    Backups->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    for (int i = 0; i < static_cast<int>(backups_.size()); ++i) {
        const BackupSummary& b = backups_[static_cast<size_t>(i)];
        Backups->setItem(i, 0, Cell(QString::number(b.device.number), true));
        Backups->setItem(i, 1, Cell(Text(b.entry.taken)));
        Backups->setItem(i, 2, Cell(QString::number(b.entry.size), true));
        Backups->setItem(i, 3,
                         b.variables ? Cell(QString::number(*b.variables), true)
                                     : Cell(Text(storetext::Unreadable() + b.problem)));
        Backups->item(i, 1)->setToolTip(Text(b.entry.path));
    }
    Backups->resizeColumnsToContents();
    Backups->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Backups, 1);

    Rows = new QTableWidget(0, kSnvtColumnCount, this);
    QStringList captions;
    for (const char* caption : kSnvtColumnCaptions) captions << QString::fromLatin1(caption);
    Rows->setHorizontalHeaderLabels(captions);
    Rows->verticalHeader()->hide();
    Rows->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    Rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(Rows, 2);
    Problem = new QLabel(this);
    Problem->setWordWrap(true);
    Problem->setTextFormat(Qt::PlainText);
    layout->addWidget(Problem);

    auto* buttons = new QDialogButtonBox(this);
    RestoreButton = buttons->addButton(QString::fromUtf8(storetext::RestoreButton()),
                                       QDialogButtonBox::AcceptRole);
    CancelButton = buttons->addButton(QString::fromUtf8(storetext::CancelButton()),
                                      QDialogButtonBox::RejectRole);
    CancelButton->setDefault(true);
    connect(RestoreButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(Backups, &QTableWidget::itemSelectionChanged, this, &RestoreDialog::ShowChosen);
    resize(760, 520);
    Select(static_cast<int>(backups_.size()) - 1);
}

void RestoreDialog::Select(int index) {
    if (index < 0 || index >= Backups->rowCount()) {
        ShowChosen();
        return;
    }
    Backups->selectRow(index);
    ShowChosen();
}

std::optional<BackupSummary> RestoreDialog::Chosen() const {
    const QList<QTableWidgetItem*> selected = Backups->selectedItems();
    if (selected.isEmpty()) return std::nullopt;
    const BackupSummary& b = backups_[static_cast<size_t>(selected.front()->row())];
    if (!b.variables) return std::nullopt;
    return b;
}

void RestoreDialog::ShowChosen() {
    Rows->setRowCount(0);
    Problem->clear();
    const QList<QTableWidgetItem*> selected = Backups->selectedItems();
    RestoreButton->setEnabled(false);
    if (selected.isEmpty()) return;
    const BackupSummary& b = backups_[static_cast<size_t>(selected.front()->row())];
    XmlDocument noCatalogue;  // showing never looks variables up
    SnvtList list(noCatalogue);
    if (const Status loaded = LoadGatewayFileAt(list, b.entry.path); !loaded) {
        Problem->setText(Text(usertext::FailureLine(loaded.failure()).str()));
        return;
    }
    Rows->setRowCount(static_cast<int>(list.RowCount()));
    for (int i = 0; i < static_cast<int>(list.RowCount()); ++i) {
        const SnvtRow& row = list.Row(static_cast<size_t>(i));
        for (int column = 0; column < kSnvtColumnCount; ++column)
            Rows->setItem(i, column, Cell(Text(cp1251::ToUtf8(Cp1251String(row.Text(column))))));
    }
    Rows->resizeColumnsToContents();
    RestoreButton->setEnabled(b.variables.has_value());
}
