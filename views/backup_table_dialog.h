#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <vector>

namespace qvx::views {

/// A dialog of the device backup: a text, an optional warning above it, and a table of items.
/// As a question it offers "Wiederherstellen" and "Abbrechen" (Abbrechen preselected); as a
/// report it offers OK.
class BackupTableDialog : public QDialog {
    Q_OBJECT

public:
    enum class Kind { Question, Report };

    BackupTableDialog(Kind kind, const QString& caption, const QString& text,
                      const QString& warning, const QStringList& headers,
                      const std::vector<QStringList>& rows, QWidget* parent = nullptr);
};

}  // namespace qvx::views
