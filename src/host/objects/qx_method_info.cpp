// Host methods: signatures, method descriptors and the dispatch of a call by argument kinds.
#include "zelhost/objects/qx_method_info.h"

#include <cstring>
#include <string>

#include "zelhost/objects/qx_class.h"
#include "zelhost/services/exceptions.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/types/data_type.h"

QxMethodSignature::QxMethodSignature() = default;

void QxMethodSignature::addArgument(const char* typeName, const void*) {
  args_.emplace_back(typeName ? typeName : "");
}

void QxMethodSignature::addReturnType(const char* typeName) {
  returns_.emplace_back(typeName ? typeName : "");
}

int QxMethodSignature::getNumberOfArguments() const { return static_cast<int>(args_.size()); }

int QxMethodSignature::getNumberOfReturnTypes() const { return static_cast<int>(returns_.size()); }

const char* QxMethodSignature::getArgumentTypeName(int i) const {
  return i >= 0 && i < getNumberOfArguments() ? args_[static_cast<std::size_t>(i)].c_str()
                                              : nullptr;
}

const char* QxMethodSignature::getReturnTypeName(int i) const {
  return i >= 0 && i < getNumberOfReturnTypes() ? returns_[static_cast<std::size_t>(i)].c_str()
                                                : nullptr;
}

QxDataType* QxMethodSignature::getArgumentType(int i) const {
  const char* name = getArgumentTypeName(i);
  return name ? QxTypeRepository::getType(name, true) : nullptr;
}

QxDataType* QxMethodSignature::getReturnType(int i) const {
  const char* name = getReturnTypeName(i);
  return name ? QxTypeRepository::getType(name, true) : nullptr;
}

QxMethodInfo::QxMethodInfo(bool flag) : flag_(flag) {}

QxMethodInfo::~QxMethodInfo() = default;

void QxMethodInfo::setName(const char* name, bool) { name_ = name ? name : ""; }

const char* QxMethodInfo::getName() const { return name_.c_str(); }

void QxMethodInfo::addMethodSignature(QxMethodSignature* signature) {
  if (signature) signatures_.emplace_back(signature);
}

int QxMethodInfo::getNumberOfSignatures() const { return static_cast<int>(signatures_.size()); }

const QxMethodSignature* QxMethodInfo::getMethodSignature(int i) const {
  return i >= 0 && i < getNumberOfSignatures() ? signatures_[static_cast<std::size_t>(i)].get()
                                               : nullptr;
}

QxClass* QxMethodInfo::getClass() const { return class_; }

bool QxMethodInfo::isReadOnly() const { return flag_; }

void QxMethodInfo::setCallableWithoutObject(bool on) { callableWithoutObject_ = on; }

bool QxMethodInfo::isCallableWithoutObject() const { return callableWithoutObject_; }

void QxMethodInfo::setBrowserAttribute(int32_t value) { browserAttribute_ = value; }

int32_t QxMethodInfo::getBrowserAttribute() const { return browserAttribute_; }

namespace {

bool isNumericScalar(const hvArray* v) { return hvIsNumeric(v) && hvIsScalar(v); }

// Whether an argument of that type accepts the value. Types other than the
// five named ones accept what their conversion accepts.
bool accepts(const std::string& typeName, QxDataType* type, const hvArray* value) {
  if (!type) return false;
  if (typeName == "PULVRA array") return true;
  if (typeName == "handle") return hvGetObjectHandle(value) != nullptr;
  if (typeName == "string") return hvIsChar(value);
  if (typeName == "double" || typeName == "int") return isNumericScalar(value);
  if (typeName == "bool")
    return isNumericScalar(value) || (hvIsLogical(value) && hvIsScalar(value));
  const PulvraConversion* conv = type->getPulvraConversion();
  if (!conv) return false;
  try {
    type->destroy(conv->fromPulvra(value));
    return true;
  } catch (Exception* e) {
    delete e;
  }
  return false;
}

bool fits(const QxMethodSignature* sig, int nArgs, const hvArray* const* args) {
  if (!sig || sig->getNumberOfArguments() != nArgs) return false;
  for (int i = 0; i < nArgs; ++i) {
    if (!accepts(sig->getArgumentTypeName(i), sig->getArgumentType(i), args[i])) return false;
  }
  return true;
}

// Values in the storage of a signature's types, each destroyed with its type.
class StoredList {
 public:
  explicit StoredList(std::size_t n) : types_(n, nullptr), values_(n, nullptr) {}
  ~StoredList() {
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (values_[i] && types_[i]) types_[i]->destroy(values_[i]);
    }
  }
  StoredList(const StoredList&) = delete;
  StoredList& operator=(const StoredList&) = delete;
  void set(std::size_t i, QxDataType* type, void* value) {
    types_[i] = type;
    values_[i] = value;
  }
  void** data() { return values_.data(); }

 private:
  std::vector<QxDataType*> types_;
  std::vector<void*> values_;
};

hvArray* call(QxMethodInfo* method, const QxMethodSignature* sig, int nArgs,
              const hvArray* const* args) {
  StoredList in(static_cast<std::size_t>(nArgs));
  for (int i = 0; i < nArgs; ++i) {
    QxDataType* type = sig->getArgumentType(i);
    in.set(static_cast<std::size_t>(i), type, type->getPulvraConversion()->fromPulvra(args[i]));
  }
  const int nReturnTypes = sig->getNumberOfReturnTypes();
  StoredList out(static_cast<std::size_t>(nReturnTypes > 0 ? nReturnTypes : 1));
  int nReturned = 0;
  method->invokeMethod(sig, &nReturned, out.data(), nArgs, in.data());
  if (nReturned > nReturnTypes) nReturned = nReturnTypes;
  for (int i = 0; i < nReturned; ++i) {
    // Hand each returned value to the guard before converting, so that a
    // failing conversion leaks nothing.
    out.set(static_cast<std::size_t>(i), sig->getReturnType(i), out.data()[i]);
  }
  if (nReturned < 1 || !out.data()[0]) return nullptr;
  QxDataType* type = sig->getReturnType(0);
  if (!type || !type->getPulvraConversion()) return nullptr;
  return type->getPulvraConversion()->toPulvra(out.data()[0]);
}

}  // namespace

hvArray* hoxInvokeMethod(QxClass* cls, const char* name, int nArgs, const hvArray* const* args) {
  const std::string method = name ? name : "";
  if (nArgs < 0 || (nArgs > 0 && !args)) nArgs = 0;
  bool named = false;
  for (QxClass* c = cls; c; c = c->getSuperClass()) {
    for (int m = 0; m < c->getNumberOfMethods(); ++m) {
      QxMethodInfo* info = c->getMethodAt(m);
      if (method != info->getName()) continue;
      named = true;
      for (int s = 0; s < info->getNumberOfSignatures(); ++s) {
        const QxMethodSignature* sig = info->getMethodSignature(s);
        if (fits(sig, nArgs, args)) return call(info, sig, nArgs, args);
      }
    }
  }
  if (named)
    throw new ErrorIdException("PULVRA:method:noSignature", "No form of the method '" + method +
                                                                "' accepts the given arguments.");
  throw new ErrorIdException("PULVRA:method:undefined", "There is no method named '" + method +
                                                            "' for the class '" +
                                                            (cls ? cls->getName() : "") + "'.");
}
