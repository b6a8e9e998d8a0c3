#pragma once

// An X display for tests that run a Qt program as a user would, and xdotool to type into it.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace qvx::test {

/// An Xvfb server on the first free display; ended when the object goes.
class VirtualDisplay {
public:
    static constexpr int kDeadlineMs = 20000;

    VirtualDisplay() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            return;
        }
        // -displayfd 1: the server picks a free display and writes its number to stdout.
        m_server.start(
            xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp")});
        if (!m_server.waitForStarted(kDeadlineMs)) {
            return;
        }
        QByteArray output;
        while (!output.contains('\n') && m_server.waitForReadyRead(kDeadlineMs)) {
            output += m_server.readAllStandardOutput();
        }
        if (output.contains('\n')) {
            m_name = QStringLiteral(":") + QString::fromLatin1(output.trimmed());
        }
    }
    ~VirtualDisplay() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000)) {
                m_server.kill();
                m_server.waitForFinished(5000);
            }
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    /// Display name such as ":1", empty when the server did not start.
    [[nodiscard]] QString name() const { return m_name; }

    /// Runs xdotool on this display; its standard output, empty when it failed. (The release
    /// of a key that closed a window fails harmlessly, so the exit code is not used.)
    [[nodiscard]] QString xdotool(const QStringList& arguments) const {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_name);
        tool.setProcessEnvironment(env);
        tool.start(QStandardPaths::findExecutable(QStringLiteral("xdotool")), arguments);
        if (!tool.waitForFinished(kDeadlineMs)) {
            tool.kill();
            tool.waitForFinished(5000);
            return {};
        }
        return QString::fromLatin1(tool.readAllStandardOutput()).trimmed();
    }

private:
    QProcess m_server;
    QString m_name;
};

}  // namespace qvx::test
