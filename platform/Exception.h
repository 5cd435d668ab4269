#pragma once

// The one exception base of the program. Everything the program raises on
// purpose derives from it, so that the general error handler can show its
// message.

#include <exception>
#include <string>

namespace varnholt {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

}  // namespace varnholt
