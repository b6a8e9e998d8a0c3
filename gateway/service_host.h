#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/command_line.h"

namespace qvx::gateway {

/// A program that runs either as a system service or in the foreground (console mode): reads
/// the command line, runs the chosen operation and turns console signals into Stop. The
/// derived class supplies Run and Stop.
///
/// Console mode: -d announces itself on standard output and stops on SIGINT (Ctrl+C) or
/// SIGQUIT (Ctrl+Break); -f shows nothing and stops on SIGTERM or SIGHUP (end of the
/// session). Signals are read on a watcher thread; the process keeps its default handling of
/// all others.
class CServiceHost {
public:
    /// `serviceName` names the service and its settings file, `displayName` appears in the
    /// console texts.
    CServiceHost(std::string serviceName, std::string displayName);
    virtual ~CServiceHost() = default;
    CServiceHost(const CServiceHost&) = delete;
    CServiceHost& operator=(const CServiceHost&) = delete;

    /// The service's work: runs until Stop is called. `arguments` are the program's own, the
    /// program path first.
    virtual void Run(std::span<const std::string> arguments) = 0;
    /// Asks Run to end; called from another thread (signal watcher, service manager).
    virtual void Stop() = 0;
    /// Requests a running service may get; nothing to do for this program.
    virtual void Pause() {}
    virtual void Continue() {}
    virtual void Shutdown() {}

    /// Runs the operation the command line chooses and returns the process exit code: 1 for
    /// success, 0 for failure. `arguments` are the program's own, the program path first.
    [[nodiscard]] int HandleCommandLine(std::vector<std::string> arguments);

    /// Runs Run in the foreground until a console signal stops it; returns 1. Must be called
    /// before any other thread of the process exists (see SignalWatcher).
    [[nodiscard]] int RunInConsole(bool faceless);

    [[nodiscard]] const std::string& serviceName() const { return m_serviceName; }
    [[nodiscard]] const std::string& displayName() const { return m_displayName; }
    /// True in console mode (-d or -f): settings from the file, no service manager.
    [[nodiscard]] bool consoleMode() const { return m_consoleMode; }
    /// True in the faceless console mode (-f): no console output at all.
    [[nodiscard]] bool faceless() const { return m_faceless; }
    /// The parsed command line.
    [[nodiscard]] const CommandLine& commandLine() const { return m_commandLine; }

protected:
    /// Writes console text (standard output, flushed); nothing in the faceless mode.
    void printConsole(std::string_view text) const;

private:
    const std::string m_serviceName;
    const std::string m_displayName;
    std::vector<std::string> m_arguments;  // the program's own, for Run
    CommandLine m_commandLine;
    bool m_consoleMode = false;
    bool m_faceless = false;
};

}  // namespace qvx::gateway
