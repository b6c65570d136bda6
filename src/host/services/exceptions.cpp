// Host exceptions: the messages, identifiers and clones of the host's exception classes.
#include "zelhost/services/exceptions.h"

#include <utility>

Exception::Exception(std::string message) : message_(std::move(message)) {}
Exception::~Exception() = default;
const char* Exception::getMessage() const { return message_.c_str(); }
const char* Exception::getTempStaticMessage() const { return message_.c_str(); }
Exception* Exception::clone() const { return new Exception(*this); }

ErrorIdException::ErrorIdException(std::string id, std::string message)
    : Exception(std::move(message)), id_(std::move(id)) {}
const char* ErrorIdException::getId() const { return id_.c_str(); }
Exception* ErrorIdException::clone() const { return new ErrorIdException(*this); }

Exception* InvalidPropertyException::clone() const { return new InvalidPropertyException(*this); }
Exception* SetDeniedException::clone() const { return new SetDeniedException(*this); }
Exception* AmbiguousPropertyException::clone() const {
  return new AmbiguousPropertyException(*this);
}
Exception* GenericException::clone() const { return new GenericException(*this); }
Exception* InvalidEnumValueException::clone() const { return new InvalidEnumValueException(*this); }
Exception* ClassRedefinedException::clone() const { return new ClassRedefinedException(*this); }

IUserException::IUserException(std::string id, std::string message)
    : id_(std::move(id)), message_(std::move(message)) {}
IUserException::~IUserException() = default;
const char* IUserException::getId() const { return id_.c_str(); }
const char* IUserException::getMessage() const { return message_.c_str(); }

InterruptException::~InterruptException() = default;
const char* InterruptException::getMessage() const { return "Operation interrupted by the user."; }
