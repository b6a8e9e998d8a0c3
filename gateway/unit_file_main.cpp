// Build tool: writes the systemd unit the qvx-gateway package installs, from the same text
// qvx_gateway -i writes, for the program path the installation gives it.
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "gateway/gateway_texts.h"
#include "gateway/systemd_control.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PROGRAM_PATH OUTPUT.service\n", argv[0]);
        return 2;
    }
    const std::optional<std::string> execWord = qvx::gateway::unitExecWord(argv[1]);
    if (!execWord) {
        std::fprintf(stderr, "qvx_gateway_unit: %s cannot stand in ExecStart=\n", argv[1]);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << qvx::gateway::packagedUnitFileText(qvx::gateway::texts::kDisplayName, *execWord);
    out.close();
    if (!out) {
        std::fprintf(stderr, "qvx_gateway_unit: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
