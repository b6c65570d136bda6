// Host methods: method descriptors with signatures, and dispatch of a call by argument kinds.
#ifndef ZELHOST_QX_METHOD_INFO_H
#define ZELHOST_QX_METHOD_INFO_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zelhost/values/hv_array.h"

class QxClass;
class QxDataType;
class QxInterface;

// Argument and return types of one call form, by host data type name.
class QxMethodSignature {
 public:
  QxMethodSignature();
  // The type is looked up when the signature is used; the pointer is kept for
  // callers and unused.
  void addArgument(const char* typeName, const void* unused = nullptr);
  void addReturnType(const char* typeName);
  int getNumberOfArguments() const;
  int getNumberOfReturnTypes() const;
  const char* getArgumentTypeName(int i) const;
  const char* getReturnTypeName(int i) const;
  QxDataType* getArgumentType(int i) const;  // null when unknown
  QxDataType* getReturnType(int i) const;

 private:
  std::vector<std::string> args_;
  std::vector<std::string> returns_;
};

// A method descriptor. The class it is added to owns it. Host thread only.
class QxMethodInfo {
 public:
  explicit QxMethodInfo(bool flag = false);
  virtual ~QxMethodInfo();
  QxMethodInfo(const QxMethodInfo&) = delete;
  QxMethodInfo& operator=(const QxMethodInfo&) = delete;

  void setName(const char* name, bool notify = true);
  const char* getName() const;
  void addMethodSignature(QxMethodSignature* signature);  // takes it
  int getNumberOfSignatures() const;
  const QxMethodSignature* getMethodSignature(int i) const;

  virtual QxClass* getClass() const;
  virtual bool isReadOnly() const;
  // Called with the arguments in the storage of the signature's argument
  // types (a "handle" argument is the object's QxInterface*, a "string" a
  // const char*, a "PULVRA array" a const hvArray*). Sets *nReturned and
  // returned[i] to new values in the storage of the return types (the host
  // destroys them with those types after converting). Errors are thrown as
  // host exceptions.
  virtual void invokeMethod(const QxMethodSignature* signature, int* nReturned, void** returned,
                            int nArgs, void** args) = 0;

  // A one-byte attribute: the method may be called with the signature that
  // has no object argument.
  void setCallableWithoutObject(bool on);
  bool isCallableWithoutObject() const;
  // A 32-bit attribute that a property browser reads.
  void setBrowserAttribute(int32_t value);
  int32_t getBrowserAttribute() const;

 private:
  friend class QxClass;
  QxClass* class_ = nullptr;
  std::string name_;
  std::vector<std::unique_ptr<QxMethodSignature>> signatures_;
  bool flag_;
  bool callableWithoutObject_ = false;
  int32_t browserAttribute_ = 0;
};

// Calls the method NAME of a class with host values. The first signature (in
// order) whose arguments all accept the given values is chosen: "handle"
// accepts a 1x1 object handle, "string" a char array, "double" and "int" a
// numeric scalar, "bool" a logical or numeric scalar, "PULVRA array" anything.
// Arguments are converted to the signature's storage and freed afterwards.
// Returns the first returned value as a new host value (caller frees), or
// null when the method returned nothing. Throws ErrorIdException*
// ("PULVRA:method:undefined" / "PULVRA:method:noSignature") when there is no
// such method or no signature fits, and whatever the method throws.
hvArray* hoxInvokeMethod(QxClass* cls, const char* name, int nArgs, const hvArray* const* args);

#endif  // ZELHOST_QX_METHOD_INFO_H
