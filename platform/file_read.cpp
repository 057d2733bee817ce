#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace qvtk {

namespace {

uint64_t g_availableForTesting = 0;

ReadFailure FailureOfErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return ReadFailure::kNotFound;
    case EACCES:
    case EPERM:
        return ReadFailure::kPermissionDenied;
    case ENOMEM:
        return ReadFailure::kTooLarge;
    default:
        return ReadFailure::kReadError;
    }
}

} // namespace

const char* ReadFailureText(ReadFailure failure) {
    switch (failure) {
    case ReadFailure::kNone:
        return "";
    case ReadFailure::kNotFound:
        return "not found";
    case ReadFailure::kNotRegular:
        return "not a regular file";
    case ReadFailure::kPermissionDenied:
        return "permission denied";
    case ReadFailure::kTooLarge:
        return "too large for memory";
    case ReadFailure::kReadError:
        return "read error";
    }
    return "read error";
}

uint64_t AvailableMemoryBytes() {
    if (g_availableForTesting) return g_availableForTesting;
    if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
        char line[128];
        unsigned long long kib = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
        std::fclose(f);
        if (found) return uint64_t(kib) * 1024;
    }
    const long pages = sysconf(_SC_AVPHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : UINT64_MAX;
}

void SetAvailableMemoryForTesting(uint64_t bytes) {
    g_availableForTesting = bytes;
}

int OpenRegularFile(const std::string& path, uint64_t& size, ReadFailure& failure) {
    size = 0;
    failure = ReadFailure::kNone;
    // Non-blocking, so that a FIFO without a writer cannot hold the program at the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        failure = FailureOfErrno(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        failure = ReadFailure::kNotRegular;
        ::close(fd);
        return -1;
    }
    if (uint64_t(st.st_size) > AvailableMemoryBytes()) {
        failure = ReadFailure::kTooLarge;
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = uint64_t(st.st_size);
    return fd;
}

bool ReadWholeTextFile(const std::string& path, std::string& out, ReadFailure* failure) {
    out.clear();
    ReadFailure why = ReadFailure::kNone;
    uint64_t size = 0;
    int fd = OpenRegularFile(path, size, why);
    if (fd >= 0) {
        try {
            out.reserve(size_t(size));
            char buffer[65536];
            for (;;) {
                ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) why = ReadFailure::kReadError;
                if (n <= 0) break;
                out.append(buffer, size_t(n));
            }
        } catch (const std::bad_alloc&) {
            why = ReadFailure::kTooLarge;
        }
        ::close(fd);
    }
    if (failure) *failure = why;
    if (why != ReadFailure::kNone) out.clear();
    return why == ReadFailure::kNone;
}

} // namespace qvtk
