#pragma once
// The outcome of an operation that can fail in a way the user must hear of
// (a bad option, a file that cannot be read or written, a recording that
// cannot start): success, or the message for the user. Failures the program
// expects are returned this way, never thrown. The message is plain text or
// message markup, as the function that returns it says; Code carries an
// exit status where a program ends on the failure.

#include <string>
#include <utility>

namespace tapwise {

class [[nodiscard]] Result {
 public:
  static Result Success() { return Result(); }
  static Result Failure(std::string message, int code = 1) { return Result(std::move(message), code); }

  bool Ok() const { return m_code == 0; }
  explicit operator bool() const { return Ok(); }
  const std::string& Message() const { return m_message; }
  // 0 on success; the exit status for a program that ends on this failure.
  int Code() const { return m_code; }

 private:
  Result() = default;
  Result(std::string message, int code) : m_message(std::move(message)), m_code(code == 0 ? 1 : code) {}

  std::string m_message;
  int m_code = 0;
};

}  // namespace tapwise
