#include "core/config/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace tapwise {

namespace {

namespace fs = std::filesystem;

std::string ErrorText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Closes and reports whether the close itself succeeded: on some file
// systems a deferred write error only shows here.
bool CloseChecked(int fd) {
  return ::close(fd) == 0 || errno == EINTR;
}

bool WriteAll(int fd, std::string_view bytes, int& error) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// A name of our own beside the target, so the rename stays within one file
// system and never crosses another instance's half-written file.
std::string TemporaryNameFor(const fs::path& target) {
  return target.string() + ".new-" + std::to_string(::getpid());
}

int CreateTemporary(const std::string& name, int& error) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
  int fd = OpenRetrying(name.c_str(), flags, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left behind by an earlier run of a process with our id that died
    // before renaming it: nobody else owns it.
    ::unlink(name.c_str());
    fd = OpenRetrying(name.c_str(), flags, 0666);
  }
  if (fd < 0) error = errno;
  return fd;
}

}  // namespace

WholeFileRead ReadWholeFile(const std::string& path, size_t maxSize) {
  WholeFileRead result;
  // Non-blocking so that a FIFO at this name cannot stop the program; a
  // regular file reads the same either way.
  const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      result.Missing = true;
    } else {
      result.Error = ErrorText(errno);
    }
    return result;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    result.Error = ErrorText(errno);
  } else if (!S_ISREG(info.st_mode)) {
    result.Error = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
  } else if (static_cast<uint64_t>(info.st_size) > maxSize) {
    result.Error = "it is larger than " + std::to_string(maxSize) + " bytes";
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        result.Error = ErrorText(errno);
        break;
      }
      if (got == 0) break;
      if (result.Bytes.size() + static_cast<size_t>(got) > maxSize) {
        result.Error = "it is larger than " + std::to_string(maxSize) + " bytes";
        break;
      }
      result.Bytes.append(buffer, static_cast<size_t>(got));
    }
  }
  ::close(fd);
  if (!result.Error.empty()) result.Bytes.clear();
  return result;
}

Result ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  fs::create_directories(folder, ec);
  if (ec) return Result::Failure("cannot create the folder " + folder.string() + ": " + ErrorText(ec.value()));

  // The replacement keeps the permissions the user gave the old file.
  struct stat old {};
  const bool keepMode = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

  const std::string temporary = TemporaryNameFor(target);
  int error = 0;
  const int fd = CreateTemporary(temporary, error);
  if (fd < 0) return Result::Failure("cannot create " + temporary + ": " + ErrorText(error));

  bool written = WriteAll(fd, bytes, error);
  // A mode that cannot be copied is not worth failing the save for.
  if (written && keepMode) static_cast<void>(::fchmod(fd, old.st_mode & 07777));
  if (written && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
    error = errno;
    written = false;
  }
  if (!CloseChecked(fd) && written) {
    error = errno;
    written = false;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    return Result::Failure("cannot write " + temporary + ": " + ErrorText(error));
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    return Result::Failure("cannot replace " + target.string() + ": " + ErrorText(error));
  }
  // Make the rename itself durable; a failure here loses nothing already
  // written, so it is not reported.
  const int folderFd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return Result::Success();
}

}  // namespace tapwise
