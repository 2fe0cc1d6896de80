#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/trace.h"

namespace qm {
namespace {

bool writeAll(int fd, std::string_view content) {
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool writeFileAtomic(const std::string& path, std::string_view content) {
    std::string temp = path + ".tmpXXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        tracef("file: cannot create a temporary file for %s (%s)", path.c_str(),
               std::strerror(errno));
        return false;
    }
    fchmod(fd, 0644);
    bool ok = writeAll(fd, content) && fsync(fd) == 0;
    int savedErrno = errno;
    if (::close(fd) != 0)
        ok = false;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        savedErrno = errno;
        ok = false;
    }
    if (!ok) {
        tracef("file: write of %s failed (%s)", path.c_str(), std::strerror(savedErrno));
        ::unlink(temp.c_str());
    }
    return ok;
}

bool readFile(const std::string& path, std::string& content) {
    content.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

std::string keepAside(const std::string& path) {
    std::string target = path + ".bad";
    struct stat st {};
    for (int n = 1; ::stat(target.c_str(), &st) == 0; ++n)
        target = path + ".bad." + std::to_string(n);
    if (std::rename(path.c_str(), target.c_str()) != 0) {
        tracef("file: cannot keep %s aside (%s)", path.c_str(), std::strerror(errno));
        return {};
    }
    trace("file: kept unreadable " + path + " as " + target);
    return target;
}

}  // namespace qm
