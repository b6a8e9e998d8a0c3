#include "launcher_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace qvx::setup::test {

QString makeLongFolder(const QString& base) {
    QString path = base;
    for (int i = 1; i <= 6; ++i) {
        path += QStringLiteral("/Installationsmedium für den Prüfstand, Ordner Nummer %1").arg(i);
    }
    return QDir().mkpath(path) ? path : QString();
}

bool writeStandInInstaller(const QString& folder, const QString& recordFile) {
    if (recordFile.contains(QLatin1Char('\'')) || !QDir().mkpath(folder)) {
        return false;
    }
    QFile script(QDir(folder).filePath(QStringLiteral("setup.exe")));
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QByteArray record = QFile::encodeName(recordFile);
    script.write(
        "#!/bin/sh\n"
        "printf '%s\\n%s\\n' \"$(pwd -P)\" \"$#\" > '" +
        record + ".tmp' && mv '" + record + ".tmp' '" + record + "'\n");
    script.close();
    return script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                 QFileDevice::ExeGroup);
}

std::optional<QStringList> waitForRecord(const QString& recordFile,
                                         std::chrono::milliseconds timeout) {
    if (!QTest::qWaitFor([&recordFile] { return QFileInfo::exists(recordFile); },
                         static_cast<int>(timeout.count()))) {
        return std::nullopt;
    }
    QFile file(recordFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

}  // namespace qvx::setup::test
