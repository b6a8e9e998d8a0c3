#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace qvx::document {
class CQvx_controllerDoc;
struct DeviceBackup;
}  // namespace qvx::document

namespace qvx::views {

/// Reads the controller whole and saves it as a safety copy in the user's data folder
/// (`folder`, or the XDG one when empty). The copy's path, or nullopt with the reason.
[[nodiscard]] std::optional<std::filesystem::path> takeSafetyCopy(
    document::CQvx_controllerDoc& document, const std::filesystem::path& folder, QString& failure);

/// The device backup commands of the "Datei" menu: "Gerätesicherung speichern..." writes the
/// whole controller to a file; "Gerätesicherung wiederherstellen..." reads the controller,
/// shows every difference to the file, and only after the user confirms saves a safety copy,
/// writes the differences and reads everything back, reporting item by item whether the
/// controller now holds the file's value.
class DeviceBackupCommands : public QObject {
    Q_OBJECT

public:
    /// Asks for a file name; empty when cancelled.
    using FileNameQuestion = std::function<QString(QWidget* parent)>;

    DeviceBackupCommands(document::CQvx_controllerDoc& document, QWidget* parent);

    /// Replaces the file dialogs (tests answer them without a window).
    void setFileDialogs(FileNameQuestion saveName, FileNameQuestion openName);
    /// Puts the safety copies into `folder` instead of the user's data folder.
    void setSafetyCopyFolder(std::filesystem::path folder) { m_safetyFolder = std::move(folder); }

    void save();
    void restore();

signals:
    /// A restore wrote to the controller; the views showing its values read them again.
    void controllerChanged();

private:
    [[nodiscard]] std::optional<document::DeviceBackup> readFile(const QString& name);
    /// Reads the controller whole while the user interface stays alive.
    [[nodiscard]] bool readController(document::DeviceBackup& backup, std::string& failedPart);
    void warn(const QString& text);
    void inform(const QString& text);
    [[nodiscard]] bool ask(const QString& caption, const QString& text);

    document::CQvx_controllerDoc& m_document;
    QWidget* m_parent;
    FileNameQuestion m_saveName;
    FileNameQuestion m_openName;
    std::filesystem::path m_safetyFolder;  // empty: the XDG data folder
};

}  // namespace qvx::views
