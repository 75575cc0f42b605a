#include "atomic_output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace fileout {
namespace {

std::string in_quotes(const std::string& name) {
    return "'" + name + "'";
}

std::string reason(int error_number) {
    return std::generic_category().message(error_number);
}

// Number that makes temporary names of one process distinct.
std::atomic<unsigned> temporary_serial{0};

}  // namespace

AtomicOutputFile::AtomicOutputFile(std::string target) : target_(std::move(target)) {}

AtomicOutputFile::~AtomicOutputFile() {
    discard();
}

bool AtomicOutputFile::fail(const std::string& what, int error_number) {
    error_ = what + " " + in_quotes(target_) + ": " + reason(error_number);
    error_number_ = error_number;
    return false;
}

bool AtomicOutputFile::open() {
    namespace fs = std::filesystem;
    discard();
    error_.clear();
    error_number_ = 0;
    if (target_.empty()) {
        return fail("cannot create", ENOENT);
    }

    destination_ = target_;
    struct stat link_status {};
    if (::lstat(target_.c_str(), &link_status) == 0 && S_ISLNK(link_status.st_mode)) {
        std::error_code ec;
        const fs::path resolved = fs::weakly_canonical(fs::path(target_), ec);
        if (ec) {
            return fail("cannot resolve", ec.value());
        }
        destination_ = resolved.string();
    }

    bool keep_mode = false;
    mode_t mode = 0;
    struct stat status {};
    if (::stat(destination_.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            return fail("cannot write", EISDIR);
        }
        if (!S_ISREG(status.st_mode)) {
            fd_ = ::open(destination_.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ < 0) {
                return fail("cannot open", errno);
            }
            in_place_ = true;
            return true;
        }
        keep_mode = true;
        mode = status.st_mode & 07777;
    }

    const fs::path destination(destination_);
    const fs::path folder = destination.parent_path();
    // A short name of fixed length, so that any target name that is itself
    // valid leaves room for it in the folder.
    const std::string stem = ".tmp-" + std::to_string(static_cast<long>(::getpid())) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            stem + std::to_string(temporary_serial.fetch_add(1, std::memory_order_relaxed));
        const std::string path = folder.empty() ? name : (folder / name).string();
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = path;
            if (keep_mode && ::fchmod(fd_, mode) != 0) {
                // The replacement then simply gets the default permissions.
            }
            return true;
        }
        if (errno != EEXIST) {
            return fail("cannot create", errno);
        }
    }
    return fail("cannot create", EEXIST);
}

bool AtomicOutputFile::write(const void* data, std::size_t size) {
    if (fd_ < 0) {
        return fail("cannot write", EBADF);
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd_, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("cannot write", errno);
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AtomicOutputFile::write_at(std::uint64_t offset, const void* data, std::size_t size) {
    if (fd_ < 0) {
        return fail("cannot write", EBADF);
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("cannot write", errno);
        }
        bytes += written;
        offset += static_cast<std::uint64_t>(written);
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AtomicOutputFile::commit() {
    if (fd_ < 0) {
        return fail("cannot write", EBADF);
    }
    if (!in_place_ && ::fsync(fd_) != 0) {
        const int error_number = errno;
        discard();
        return fail("cannot write", error_number);
    }
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) {
        const int error_number = errno;
        discard();
        return fail("cannot write", error_number);
    }
    if (in_place_) {
        in_place_ = false;
        return true;
    }
    if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
        const int error_number = errno;
        discard();
        return fail("cannot replace", error_number);
    }
    temporary_.clear();
    return true;
}

void AtomicOutputFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    in_place_ = false;
}

}  // namespace fileout
