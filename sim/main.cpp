// qvx_sim: the simulated controller as a program. Everything it does lives in qvx_sim_core;
// this file parses the command line, waits for a stop signal and reports.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "link/message_table.h"
#include "sim/options.h"
#include "sim/sim_server.h"

namespace {

const char* outcomeText(qvx::sim::RequestOutcome outcome) {
    using qvx::sim::RequestOutcome;
    switch (outcome) {
        case RequestOutcome::Answered:
            return "answered";
        case RequestOutcome::Corrupted:
            return "answered, damaged";
        case RequestOutcome::Dropped:
            return "carried out, confirm dropped";
        case RequestOutcome::BeyondMemory:
            return "beyond memory, no confirm";
        case RequestOutcome::Ignored:
            return "ignored";
        case RequestOutcome::Silenced:
            return "silent";
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    qvx::sim::ProgramOptions options;
    std::string error;
    if (!qvx::sim::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "qvx_sim: " << error << "\n(qvx_sim --help lists the options)\n";
        return 2;
    }
    if (options.help) {
        std::cout << qvx::sim::usageText();
        return 0;
    }
    if (options.verbose) {
        options.server.trace = [](const qvx::link::LinkMessage& message,
                                  qvx::sim::RequestOutcome outcome) {
            const auto* info = qvx::link::findMessage(message.code);
            std::fprintf(stderr, "qvx_sim: %s address %u length %d: %s\n",
                         info != nullptr ? std::string(info->name).c_str() : "?",
                         static_cast<unsigned>(message.address), message.length,
                         outcomeText(outcome));
        };
    }
    options.server.errorLog = [](const std::string& text) {
        std::fprintf(stderr, "qvx_sim: %s\n", text.c_str());
    };

    // Block the stop signals before any thread exists, so only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    qvx::sim::SimServer server(options.server);
    if (!server.start(error)) {
        std::cerr << "qvx_sim: " << error << '\n';
        return 1;
    }
    if (options.server.transport == qvx::sim::Transport::Pty) {
        std::printf("qvx_sim ready on %s (pty)\n", server.endpoint().c_str());
    } else {
        std::printf("qvx_sim listening on %s\n", server.endpoint().c_str());
    }
    std::fflush(stdout);

    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    server.stop();
    return 0;
}
