#pragma once
// The root of every exception Corvane raises. The message is UTF-8 text meant for the user.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace corvane {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Framework-level failures that several subsystems share.
class EConvertError : public Exception {
  using Exception::Exception;
};
class EListError : public Exception {
  using Exception::Exception;
};
// A file operation failed. Path and Error (the system's errno, 0 when none applies) tell callers which file
// and why, so a flow can report a failure inside its private work folder against the user's folder.
class EFileError : public Exception {
 public:
  explicit EFileError(const std::string& message, std::filesystem::path path = {}, int error = 0)
      : Exception(message), fPath(std::move(path)), fError(error) {}
  const std::filesystem::path& Path() const { return fPath; }
  int Error() const { return fError; }

 private:
  std::filesystem::path fPath;
  int fError;
};

}  // namespace corvane
