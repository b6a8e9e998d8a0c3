#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace qvx::views {

/// How a view tells the user something that needs an OK: caption and text. Views show modal
/// message boxes by default; tests put a recorder in their place.
using MessageSink = std::function<void(const QString& caption, const QString& text)>;

/// A sink that shows a modal warning box with an OK button over `parent`.
[[nodiscard]] MessageSink warningBoxes(QWidget* parent);

/// Asks for the path of a file to write: parent, caption, suggested name, filter. An empty
/// result means the user cancelled. Views use the desktop's save dialog by default.
using SaveFileDialog = std::function<QString(QWidget* parent, const QString& caption,
                                             const QString& suggestedName, const QString& filter)>;

/// The desktop's save dialog.
[[nodiscard]] SaveFileDialog desktopSaveDialog();

/// Asks for the path of a file to read: parent, caption, filter. Empty when cancelled.
using OpenFileDialog =
    std::function<QString(QWidget* parent, const QString& caption, const QString& filter)>;

/// The desktop's open dialog.
[[nodiscard]] OpenFileDialog desktopOpenDialog();

}  // namespace qvx::views
