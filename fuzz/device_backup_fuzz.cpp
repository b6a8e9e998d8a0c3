// The device-backup reader on arbitrary text, and its writer on what the reader found.
//
// Properties:
// - reading never fails in any other way than "no backup" with a reason;
// - a backup read from any text, written out and read again, keeps its settings and
//   identity numbers, and its checksum then matches.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "document/device_backup.h"
#include "fuzz/fuzz_check.h"

using qvx::document::deviceBackupText;
using qvx::document::parseDeviceBackup;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto read = parseDeviceBackup(text);
    if (!read.backup) {
        QVX_FUZZ_CHECK(!read.error.empty());
        return 0;
    }
    const auto again = parseDeviceBackup(deviceBackupText(*read.backup));
    QVX_FUZZ_CHECK(again.backup.has_value());
    QVX_FUZZ_CHECK(again.checksumMatches);
    QVX_FUZZ_CHECK(again.backup->settings == read.backup->settings);
    QVX_FUZZ_CHECK(again.backup->identity.serialNumber == read.backup->identity.serialNumber);
    QVX_FUZZ_CHECK(again.backup->identity.year == read.backup->identity.year);
    return 0;
}
