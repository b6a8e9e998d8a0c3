#include "views/backup_table_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "resources/ui_text.h"
#include "views/view_texts.h"

namespace qvx::views {

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 420;

QTableWidget* tableOf(const QStringList& headers, const std::vector<QStringList>& rows) {
    auto* table = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(headers.size()));
    table->setObjectName(QStringLiteral("items"));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->verticalHeader()->hide();
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const QStringList& cells = rows[static_cast<std::size_t>(row)];
        for (int column = 0; column < cells.size() && column < headers.size(); ++column) {
            table->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

}  // namespace

BackupTableDialog::BackupTableDialog(Kind kind, const QString& caption, const QString& text,
                                     const QString& warning, const QStringList& headers,
                                     const std::vector<QStringList>& rows, QWidget* parent)
    : QDialog(parent) {
    setObjectName(kind == Kind::Question ? QStringLiteral("backupDifferences")
                                         : QStringLiteral("backupReport"));
    setWindowTitle(caption);
    resize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);
    if (!warning.isEmpty()) {
        auto* warningLabel = new QLabel(warning);
        warningLabel->setObjectName(QStringLiteral("warning"));
        warningLabel->setWordWrap(true);
        warningLabel->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
        layout->addWidget(warningLabel);
    }
    auto* textLabel = new QLabel(text);
    textLabel->setObjectName(QStringLiteral("text"));
    textLabel->setWordWrap(true);
    textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(textLabel);
    layout->addWidget(tableOf(headers, rows), 1);

    auto* buttons = new QDialogButtonBox;
    if (kind == Kind::Question) {
        QPushButton* restore =
            buttons->addButton(uiText(texts::kBackupRestoreButton), QDialogButtonBox::AcceptRole);
        restore->setObjectName(QStringLiteral("restore"));
        restore->setAutoDefault(false);
        QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
        cancel->setObjectName(QStringLiteral("cancel"));
        cancel->setDefault(true);
    } else {
        QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
        ok->setObjectName(QStringLiteral("ok"));
        ok->setDefault(true);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace qvx::views
