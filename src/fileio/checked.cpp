// Checked file operations (see checked.h).
#include "fileio/checked.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

File chkopen(const std::string& path, const char* mode, RunFault& fault) {
    File f(fopen(path.c_str(), mode));
    if (f == nullptr) fault.file("open", path);
    return f;
}

bool chkclose(File& f, const std::string& path, RunFault& fault) {
    if (f == nullptr) return true;
    bool err = ferror(f) != 0;
    bool closefail = fclose(f.release()) != 0;
    if (err)
        fault.file("read or write", path);
    else if (closefail)
        fault.file("close", path);
    return !err && !closefail;
}

File openregular(const std::string& path, std::string& why) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = "cannot read " + path + ": " + strerror(errno);
        return File();
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? "cannot read " + path + ": " + strerror(EISDIR)
                                                          : path + " is not a regular file";
        close(fd);
        return File();
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    File f(fdopen(fd, "rb"));
    if (!f) {
        why = "cannot read " + path + ": " + strerror(errno);
        close(fd);
    }
    return f;
}

int lockfile(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    int err = errno;
    close(fd);
    errno = err;
    return err == EWOULDBLOCK ? -2 : -1;
}

bool lockedbyother(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);  // releases the shared lock when it was taken
    return held;
}

IoError writeatomic(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".new." + std::to_string((long)getpid());
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return IoError{"opening", errno};
    size_t done = 0;
    while (done < text.size()) {
        ssize_t w = write(fd, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += (size_t)w;
    }
    IoError e;
    if (done != text.size() || fsync(fd) != 0) e = IoError{"writing", errno};
    if (close(fd) != 0 && !e) e = IoError{"writing", errno};
    if (!e && rename(tmp.c_str(), path.c_str()) != 0) e = IoError{"writing", errno};
    if (e) unlink(tmp.c_str());
    return e;
}
