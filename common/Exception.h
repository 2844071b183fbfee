#pragma once
// The root of every exception Corvane raises. The message is UTF-8 text meant for the user.

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
class EFileError : public Exception {
  using Exception::Exception;
};

}  // namespace corvane
