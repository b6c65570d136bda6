// Host exceptions: thrown by pointer, told apart by dynamic type, deleted by the catcher.
#ifndef ZELHOST_EXCEPTIONS_H
#define ZELHOST_EXCEPTIONS_H

#include <string>

// Base of every host exception. Host code throws `new SomeException(...)`;
// whoever catches the pointer owns it and deletes it.
class Exception {
 public:
  explicit Exception(std::string message = std::string());
  virtual ~Exception();
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;

  // The message a user sees.
  virtual const char* getMessage() const;
  // The host's own text of the exception (the same text unless a subclass
  // says otherwise); valid while the exception lives.
  const char* getTempStaticMessage() const;
  // A heap copy of the same dynamic type; caller deletes.
  virtual Exception* clone() const;

 protected:
  std::string message_;
};

// An error with an identifier ("area:reason" or "area:sub:reason").
class ErrorIdException : public Exception {
 public:
  ErrorIdException(std::string id, std::string message);
  const char* getId() const;
  Exception* clone() const override;

 private:
  std::string id_;
};

// No property of that name (after case folding and abbreviation).
class InvalidPropertyException : public Exception {
 public:
  using Exception::Exception;
  Exception* clone() const override;
};

// The property's external set access is off.
class SetDeniedException : public Exception {
 public:
  using Exception::Exception;
  Exception* clone() const override;
};

// The name is an abbreviation of several properties.
class AmbiguousPropertyException : public Exception {
 public:
  using Exception::Exception;
  Exception* clone() const override;
};

// A host error without an identifier of its own.
class GenericException : public Exception {
 public:
  using Exception::Exception;
  Exception* clone() const override;
};

// A text that the enumeration does not list; the text ends with "." and names
// the value.
class InvalidEnumValueException : public Exception {
 public:
  using Exception::Exception;
  Exception* clone() const override;
};

// QxApplication::addLocalClass of a name that is taken.
class ClassRedefinedException : public Exception {
 public:
  using Exception::Exception;
  Exception* clone() const override;
};

// Failures of inHoxCallPULVRA, thrown by value (a std::exception), caught by
// reference.
class IUserException {
 public:
  IUserException(std::string id, std::string message);
  virtual ~IUserException();
  const char* getId() const;
  const char* getMessage() const;

 private:
  std::string id_;
  std::string message_;
};

class InterruptException {
 public:
  virtual ~InterruptException();
  const char* getMessage() const;
};

#endif  // ZELHOST_EXCEPTIONS_H
