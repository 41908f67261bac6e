#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "system/file_io.h"

namespace quarn {
namespace {

[[noreturn]] void Raise(std::string_view what, const std::filesystem::path& path, int error) {
    throw Error(std::string(what) + " \"" + PathText(path) + "\": " + std::strerror(error));
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }
    int Get() const { return fd_; }
    int Close() {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

}  // namespace

std::string ReadWholeFile(const std::filesystem::path& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        Raise("Cannot open file", path, errno);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        Raise("Cannot read file", path, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        Raise("Cannot read file", path, EISDIR);
    }
    if (static_cast<std::size_t>(info.st_size) > kMaxFileSize) {
        Raise("Cannot read file", path, EFBIG);
    }
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            Raise("Cannot read file", path, errno);
        }
        if (got == 0) {
            break;  // the file shrank meanwhile
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

void ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes) {
    std::string temporary = path.string() + ".XXXXXX";
    FileDescriptor file(::mkstemp(temporary.data()));
    if (file.Get() < 0) {
        Raise("Cannot create file", path, errno);
    }
    const auto fail = [&](int error) {
        file.Close();
        ::unlink(temporary.c_str());
        Raise("Cannot write file", path, error);
    };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(file.Get(), 0666 & ~mask) != 0) {
        fail(errno);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote < 0) {
            fail(errno);
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(file.Get()) != 0) {
        fail(errno);
    }
    if (file.Close() != 0) {
        fail(errno);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        Raise("Cannot write file", path, error);
    }
    // The rename itself reaches the disk with the folder.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0) {
        ::fsync(directory.Get());
    }
}

}  // namespace quarn
