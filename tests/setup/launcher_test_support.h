#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace qvx::setup::test {

/// Creates, inside `base`, a folder whose path is well over 200 characters long and holds
/// blanks and an umlaut, as an installation medium copied deep into a file tree might; returns
/// its path (empty on failure).
QString makeLongFolder(const QString& base);

/// Writes an executable stand-in `setup.exe` into `folder`. When run it writes its physical
/// working directory and its number of arguments, one per line, to `recordFile` (by renaming
/// a finished temporary file, so a reader never sees half a record).
[[nodiscard]] bool writeStandInInstaller(const QString& folder, const QString& recordFile);

/// Waits until `recordFile` exists, at most `timeout`, and returns its lines.
std::optional<QStringList> waitForRecord(const QString& recordFile,
                                         std::chrono::milliseconds timeout);

/// The canonical form of an existing path, for comparing with what the stand-in records.
QString canonical(const QString& path);

}  // namespace qvx::setup::test
