#pragma once
// The runtime's exception classes: a message and nothing else. Every exception the program
// raises derives from Exception, so a handler that shows or traces a failure needs only Message().

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}

  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// A stream could not deliver the bytes asked for ("Stream read error") or held invalid data.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

// A stream could not take the bytes given ("Stream write error").
class EWriteError : public Exception {
 public:
  using Exception::Exception;
};

// A file could not be opened or created; the message names the file and the system's reason.
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// A system resource (memory, handles) ran out.
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// A format string did not match its arguments, or a text was not a number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A list was indexed out of its bounds or refused a duplicate.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// A component was misused (a name clash, an assignment between unrelated classes).
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};
