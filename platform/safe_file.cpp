#include "platform/safe_file.h"

#include "platform/file_read.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace qvtk {

namespace {

thread_local std::string t_lastFailure;

constexpr std::string_view kTempMark = ".tmp-";
constexpr size_t kTempRandom = 6; // mkstemp's XXXXXX

bool Fail(const std::string& why) {
    t_lastFailure = why;
    return false;
}

bool FailErrno(int error) {
    std::string why = std::strerror(error);
    if (!why.empty()) why[0] = char(std::tolower(static_cast<unsigned char>(why[0])));
    return Fail(why);
}

mode_t NewFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash ? slash : 1);
}

// The file a write of `path` replaces: a symbolic link is followed (to any depth) so that the
// link stays a link and its target takes the new content.
bool ResolveTarget(const std::string& path, std::string& target) {
    target = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::vector<char> link(PATH_MAX + 1);
        ssize_t n = ::readlink(target.c_str(), link.data(), PATH_MAX);
        if (n < 0) return FailErrno(errno);
        std::string next(link.data(), size_t(n));
        target = next.front() == '/' ? next : FolderOf(target) + "/" + next;
    }
    return FailErrno(ELOOP);
}

void SyncFolder(const std::string& folder) {
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

bool IsOurTempName(std::string_view name) {
    if (name.size() <= kTempMark.size() + kTempRandom) return false;
    return name.substr(name.size() - kTempRandom - kTempMark.size(), kTempMark.size()) == kTempMark;
}

} // namespace

const std::string& LastWriteFailure() {
    return t_lastFailure;
}

void NoteWriteFailure(const std::string& why) {
    t_lastFailure = why;
}

SafeFile::~SafeFile() {
    AbandonSafeFile(*this);
}

bool BeginSafeFile(SafeFile& f, const std::string& path) {
    AbandonSafeFile(f);
    f.target.clear();
    f.failure.clear();
    t_lastFailure.clear();
    f.failed = true;
    if (path.empty() || path.back() == '/') return Fail("no file name");
    if (!ResolveTarget(path, f.target)) return false;

    struct stat old {};
    const bool replacing = ::stat(f.target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) return Fail("not a regular file");
    // A file the user made read-only stays as it is, even where its folder would let a rename
    // replace it.
    // (The mode bits are read rather than asked with access(), which lets root write anything.)
    if (replacing && ((old.st_mode & S_IWUSR) == 0 || ::access(f.target.c_str(), W_OK) != 0))
        return FailErrno(EACCES);

    // Same folder, so the rename cannot cross file systems; the name stays within NAME_MAX.
    const std::string folder = FolderOf(f.target);
    size_t slash = f.target.rfind('/');
    std::string base = slash == std::string::npos ? f.target : f.target.substr(slash + 1);
    f.temp = f.target.substr(0, f.target.size() - base.size()) + base.substr(0, 200) +
             std::string(kTempMark) + std::string(kTempRandom, 'X');
    int fd = ::mkstemp(f.temp.data());
    if (fd < 0) {
        f.temp.clear();
        return FailErrno(errno);
    }
    // mkstemp makes the file private; the replaced file keeps its own permissions.
    ::fchmod(fd, replacing ? old.st_mode & 07777 : NewFileMode());
    f.file = ::fdopen(fd, "wb");
    if (!f.file) {
        int error = errno;
        ::close(fd);
        AbandonSafeFile(f);
        return FailErrno(error);
    }
    f.failed = false;
    return true;
}

bool WriteSafeFile(SafeFile& f, std::string_view bytes) {
    if (f.failed || !f.file) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.file) != bytes.size()) {
        f.failed = true;
        FailErrno(errno ? errno : EIO);
        f.failure = t_lastFailure;
    }
    return !f.failed;
}

bool CommitSafeFile(SafeFile& f) {
    if (!f.file) return Fail(f.failure.empty() ? "not open" : f.failure);
    int error = 0;
    if (f.failed) error = EIO;
    if (!error && std::fflush(f.file) != 0) error = errno;
    if (!error && ::fsync(::fileno(f.file)) != 0) error = errno;
    if (std::fclose(f.file) != 0 && !error) error = errno;
    f.file = nullptr;
    if (!error && std::rename(f.temp.c_str(), f.target.c_str()) != 0) error = errno;
    if (error) {
        std::string why = f.failed && !f.failure.empty() ? f.failure : std::strerror(error);
        AbandonSafeFile(f);
        if (!why.empty()) why[0] = char(std::tolower(static_cast<unsigned char>(why[0])));
        return Fail(why);
    }
    f.temp.clear();
    // Makes the rename itself durable; the new content is already complete either way.
    SyncFolder(FolderOf(f.target));
    t_lastFailure.clear();
    return true;
}

void AbandonSafeFile(SafeFile& f) {
    if (f.file) std::fclose(f.file);
    f.file = nullptr;
    if (!f.temp.empty()) ::unlink(f.temp.c_str());
    f.temp.clear();
    f.failed = true;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    SafeFile f;
    return BeginSafeFile(f, path) && WriteSafeFile(f, bytes) && CommitSafeFile(f);
}

bool ReplaceFileBytes(const std::string& path, uint64_t offset, std::string_view bytes) {
    t_lastFailure.clear();
    std::string content;
    ReadFailure why = ReadFailure::kNone;
    if (!ReadWholeTextFile(path, content, &why)) return Fail(ReadFailureText(why));
    if (offset > content.size() || bytes.size() > content.size() - offset)
        return Fail("the range lies outside the file");
    content.replace(size_t(offset), bytes.size(), bytes);
    if (!WriteWholeFile(path, content)) return false;

    // What is on disk is what counts: read the range back.
    std::FILE* back = std::fopen(path.c_str(), "rb");
    if (!back) return FailErrno(errno);
    std::string check(bytes.size(), '\0');
    const bool same = std::fseek(back, long(offset), SEEK_SET) == 0 &&
                      std::fread(check.data(), 1, check.size(), back) == check.size() &&
                      check == bytes;
    std::fclose(back);
    return same || Fail("the bytes read back differ");
}

int RemoveStaleTempFiles(const std::string& folder, int minAgeSeconds) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    const time_t now = std::time(nullptr);
    int removed = 0;
    while (dirent* e = ::readdir(dir)) {
        if (!IsOurTempName(e->d_name)) continue;
        const std::string path = (folder.empty() ? "." : folder) + "/" + e->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (now - st.st_mtime < minAgeSeconds) continue; // another write may be under way
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace qvtk
