// The engine's failure classes. Every class derives directly from
// vsk::Exception and carries one fixed message; callers report failures by
// class name and message, so both are part of the interface.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace vsk {

class Exception : public std::exception {
 public:
  Exception(std::string class_name, std::string message);

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& ClassName() const noexcept { return class_name_; }
  const std::string& Message() const noexcept { return message_; }
  // A code address inside the module near where the failure was raised, for
  // error reports.
  const void* RaiseAddress() const noexcept { return raise_address_; }

 private:
  std::string class_name_;
  std::string message_;
  const void* raise_address_;
};

// --- Stream and file failures -------------------------------------------

class EReadError : public Exception {
 public:
  EReadError();
};

class EWriteError : public Exception {
 public:
  EWriteError();
};

class EFOpenError : public Exception {
 public:
  explicit EFOpenError(std::string_view path);
};

class EFCreateError : public Exception {
 public:
  explicit EFCreateError(std::string_view path);
};

// --- Engine failures ----------------------------------------------------

class ELZHBadDecodeTable : public Exception {
 public:
  ELZHBadDecodeTable();
};

class EUnableToCompress : public Exception {
 public:
  EUnableToCompress();
};

class EUnrecognizedCompressionMethod : public Exception {
 public:
  explicit EUnrecognizedCompressionMethod(std::string_view method_id);
};

class EInvalidHeaderArchiveType : public Exception {
 public:
  EInvalidHeaderArchiveType();
};

class EInvalidHeader : public Exception {
 public:
  EInvalidHeader();
};

class EBadChecksum : public Exception {
 public:
  EBadChecksum();
};

class EInvalidKey : public Exception {
 public:
  EInvalidKey();
};

}  // namespace vsk
