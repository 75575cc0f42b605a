#include "atomic_output_file.h"

#include <atomic>
#include <cerrno>
#include <system_error>
#include <utility>

#include "platform_files.h"

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

// The folder part of a name, with its final separator ("" for a bare name).
std::string folder_of(const std::string& name) {
#ifdef _WIN32
    const std::size_t separator = name.find_last_of("/\\:");
#else
    const std::size_t separator = name.rfind('/');
#endif
    return separator == std::string::npos ? std::string() : name.substr(0, separator + 1);
}

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
    discard();
    error_.clear();
    error_number_ = 0;
    if (target_.empty()) {
        return fail("cannot create", ENOENT);
    }

    destination_ = target_;
    if (platform::is_symbolic_link(target_) && !platform::resolve_links(target_, destination_)) {
        return fail("cannot resolve", errno);
    }

    bool keep_mode = false;
    unsigned mode = 0;
    switch (platform::kind_of(destination_, &mode)) {
        case platform::FileKind::directory:
            return fail("cannot write", EISDIR);
        case platform::FileKind::other:
            fd_ = platform::open_for_writing(destination_);
            if (fd_ < 0) {
                return fail("cannot open", errno);
            }
            in_place_ = true;
            return true;
        case platform::FileKind::regular:
            keep_mode = true;
            break;
        case platform::FileKind::missing:
            break;
    }

    const std::string folder = folder_of(destination_);
    // A short name of fixed length, so that any target name that is itself
    // valid leaves room for it in the folder.
    const std::string stem = ".tmp-" + std::to_string(platform::process_id()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            folder + stem +
            std::to_string(temporary_serial.fetch_add(1, std::memory_order_relaxed));
        fd_ = platform::create_new_file(path);
        if (fd_ >= 0) {
            temporary_ = path;
            if (keep_mode) {
                platform::set_mode(fd_, mode);
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
        const long long written = platform::write_some(fd_, bytes, size);
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
        const long long written = platform::write_some_at(fd_, bytes, size, offset);
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
    if (!in_place_ && platform::sync_file(fd_) != 0) {
        const int error_number = errno;
        discard();
        return fail("cannot write", error_number);
    }
    const int fd = std::exchange(fd_, -1);
    if (platform::close_file(fd) != 0) {
        const int error_number = errno;
        discard();
        return fail("cannot write", error_number);
    }
    if (in_place_) {
        in_place_ = false;
        return true;
    }
    if (const int error_number = platform::replace_file(temporary_, destination_);
        error_number != 0) {
        discard();
        return fail("cannot replace", error_number);
    }
    temporary_.clear();
    return true;
}

void AtomicOutputFile::discard() {
    if (fd_ >= 0) {
        platform::close_file(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        platform::remove_file(temporary_);
        temporary_.clear();
    }
    in_place_ = false;
}

bool write_whole_file(const std::string& name, const void* data, std::size_t size,
                      std::string& error) {
    AtomicOutputFile file(name);
    if (file.open() && file.write(data, size) && file.commit()) return true;
    error = file.error();
    return false;
}

}  // namespace fileout
