#include "encoder/conversion/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "encoder/frontend/paths.h"

namespace brenvik {

namespace {

bool report(const std::string& name, int error, std::FILE* err) {
    std::fprintf(err, "%s: %s\n", name.c_str(), std::strerror(error));
    return false;
}

bool write_all(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

mode_t creation_mode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

}  // namespace

bool write_file_atomically(const std::string& name, const std::vector<std::uint8_t>& bytes,
                           std::FILE* err) {
    struct stat existing {};
    if (::stat(name.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISDIR(existing.st_mode)) {
        const int fd = ::open(name.c_str(), O_WRONLY | O_TRUNC);
        if (fd < 0) return report(name, errno, err);
        const bool ok = write_all(fd, bytes);
        const int saved = errno;
        if (::close(fd) != 0 && ok) return report(name, errno, err);
        return ok ? true : report(name, saved, err);
    }

    std::string temp = name.substr(0, last_component_start(name)) + ".brenvik-XXXXXX";
    std::vector<char> path(temp.begin(), temp.end());
    path.push_back('\0');
    const int fd = ::mkstemp(path.data());
    if (fd < 0) return report(name, errno, err);
    temp.assign(path.data());
    auto fail = [&](int error) {
        ::unlink(temp.c_str());
        return report(name, error, err);
    };
    if (!write_all(fd, bytes)) {
        const int saved = errno;
        ::close(fd);
        return fail(saved);
    }
    if (::fchmod(fd, creation_mode()) != 0 || ::fsync(fd) != 0) {
        const int saved = errno;
        ::close(fd);
        return fail(saved);
    }
    if (::close(fd) != 0) return fail(errno);
    if (::rename(temp.c_str(), name.c_str()) != 0) return fail(errno);
    return true;
}

}  // namespace brenvik
