#pragma once

#include <exception>
#include <string>

// The base of every failure the program raises. The message is the user-facing text, in the
// program's 8-bit ANSI text, shown exactly as carried by the one error report.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  // A handler may extend the message of a failure it passes on.
  void SetMessage(std::string message) { FMessage = std::move(message); }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// A text that could not be converted to a number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};
