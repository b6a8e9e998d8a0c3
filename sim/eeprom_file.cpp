#include "sim/eeprom_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/file_descriptor.h"
#include "platform/system_error.h"

namespace qvx::sim {

using platform::FileDescriptor;
using platform::writeAll;

namespace {

std::string describe(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + platform::systemErrorText(error);
}

}  // namespace

LoadResult loadEepromImage(const std::string& path, std::size_t size,
                           std::vector<std::uint8_t>& image, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return LoadResult::Missing;
    }
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = path + " is not a regular file";
        return LoadResult::Failed;
    }
    const auto fileSize = std::filesystem::file_size(path, ec);
    if (ec) {
        error = describe("cannot read", path, ec.value());
        return LoadResult::Failed;
    }
    if (fileSize != size) {
        error = path + " holds " + std::to_string(fileSize) + " bytes, an EEPROM image has " +
                std::to_string(size);
        return LoadResult::Failed;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(size);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        error = "cannot read " + path;
        return LoadResult::Failed;
    }
    image = std::move(bytes);
    return LoadResult::Loaded;
}

bool saveEepromImage(const std::string& path, std::span<const std::uint8_t> image,
                     std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) {
            error = describe("cannot follow", path, ec.value());
            return false;
        }
        target = resolved;
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }

    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    FileDescriptor fd(::mkstemp(temporary.data()));
    if (fd.get() < 0) {
        error = describe("cannot create a temporary file beside", target.string(), errno);
        return false;
    }
    const auto fail = [&](const char* what) {
        error = describe(what, temporary, errno);
        ::unlink(temporary.c_str());
        return false;
    };
    if (::fchmod(fd.get(), mode) != 0) {
        return fail("cannot set the permissions of");
    }
    if (!writeAll(fd.get(), image)) {
        return fail("cannot write");
    }
    if (::fsync(fd.get()) != 0) {
        return fail("cannot sync");
    }
    if (!fd.close()) {
        return fail("cannot close");
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail("cannot rename");
    }
    // The rename itself is durable only once the folder is synced.
    const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        (void)::fsync(dir.get());
    }
    return true;
}

}  // namespace qvx::sim
