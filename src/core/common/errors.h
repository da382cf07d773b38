// The error classes that end an export or another command. Messages are the
// user-visible Japanese texts; the front end shows them as they stand.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace tarnwick {

// A failure whose message is shown to the user.
class TarnwickError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A registry read that failed or found the wrong data type.
class ERegistryException : public TarnwickError {
 public:
  using TarnwickError::TarnwickError;
};

// A REG output file could not be created, written, closed or deleted.
// Code is the Windows I/O result code (2, 3, 4, 5, 101) or, for anything
// else, the raw errno value.
class EInOutError : public TarnwickError {
 public:
  EInOutError(int code, const std::string& message) : TarnwickError(message), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// A REG file grew past its size cap.
class ERegFileTooLarge : public TarnwickError {
 public:
  using TarnwickError::TarnwickError;
};

// A registry source (a Wine prefix and its files) that cannot be used.
class ERegistrySourceError : public TarnwickError {
 public:
  using TarnwickError::TarnwickError;
};

// Silent abort: ends the work without a message.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

// The user cancelled an export.
class EProgressCanceled : public EAbort {};

// The code of an input file whose text the program cannot read.
inline constexpr int kErrorInvalidData = 13;

// The message for a failed file operation, from the POSIX errno of the
// failure. Maps to the Windows I/O result codes the messages are keyed by.
EInOutError MakeInOutError(int posixErrno);

}  // namespace tarnwick
