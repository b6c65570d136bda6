// Host data types: storage, conversion to and from host values, checks, enumerations, the type
// repository.
#ifndef ZELHOST_DATA_TYPE_H
#define ZELHOST_DATA_TYPE_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zelhost/values/hv_array.h"

class Exception;
class QxInterface;

// Storage categories that QxDataType::getStorageCategory reports. The value
// pointer of a type points to data in that category's layout:
//   0 none          (no storage)
//   1 bool          one byte (bool)
//   3 int32         int32_t; every enumeration stores its value this way
//   4 uint32        uint32_t (reserved; no built-in type uses it)
//   5 real          double compared as a number (reserved)
//   6 double        double
//   7 composite     anything reached through a pointer: "string" (a
//                   NUL-terminated char array), "NReals"/"Nints" (a
//                   VectorRecord), "PULVRA array" (an hvArray), "handle" (the
//                   object's canonical QxInterface*, the value pointer itself),
//                   "handle vector" (a Vector* of QxInterface*), "PULVRA
//                   callback" (an HCallback)
enum QxStorageCategory {
  kStorageNone = 0,
  kStorageBool = 1,
  kStorageInt32 = 3,
  kStorageUInt32 = 4,
  kStorageReal = 5,
  kStorageDouble = 6,
  kStorageComposite = 7,
};

// Storage of "NReals" (double elements) and "Nints" (int32_t elements): an
// element count followed by a pointer to the elements.
struct VectorRecord {
  int32_t count;
  void* elements;
};

// A resizable list of untyped pointers (the storage of "handle vector").
class Vector {
 public:
  Vector();
  explicit Vector(std::size_t n);
  void setSize(std::size_t n);
  std::size_t size() const;
  void* elementAt(std::size_t i) const;
  void setElementAt(std::size_t i, void* p);

 private:
  std::vector<void*> items_;
};

// Converts between host values and a type's storage. fromPulvra returns a new
// stored value that the caller frees with the type's destroy; it throws an
// ErrorIdException* ("PULVRA:class:...") or InvalidEnumValueException* or
// GenericException* for a value of the wrong kind. toPulvra returns a new
// host value (caller frees).
class PulvraConversion {
 public:
  virtual ~PulvraConversion();
  virtual hvArray* toPulvra(const void* value) const = 0;
  virtual void* fromPulvra(const hvArray* value) const = 0;
  // fromPulvra into the caller's buffer of `size` bytes, for values that need
  // no freeing (plain scalars): true when converted, false (nothing done)
  // when the conversion has no such form or the buffer is too small. Refuses
  // a value as fromPulvra does. Default: false.
  virtual bool fromPulvraInto(const hvArray* value, void* buffer, std::size_t size) const;
};

// Walks the permitted values of an enumeration; each element is a pointer to
// one stored value (an int32_t). Caller deletes the enumeration.
class Enumeration {
 public:
  virtual ~Enumeration();
  virtual bool hasMoreElements() = 0;
  virtual void* nextElement() = 0;
};

// The enumeration side of a type: names to values and back.
class EnumerationType {
 public:
  virtual ~EnumerationType();
  // Pointer to the value of that text (compared ignoring case), or null.
  virtual const void* getEnumValue(const char* text) const = 0;
  // Text of the value pointed to, or null when no value has it.
  virtual const char* getEnumString(const void* value) const = 0;
};

class QxDataType {
 public:
  QxDataType();
  virtual ~QxDataType();
  QxDataType(const QxDataType&) = delete;
  QxDataType& operator=(const QxDataType&) = delete;

  // Null to accept; a new exception (caller owns) to refuse.
  virtual Exception* checkValue(const void* value) const;
  virtual const PulvraConversion* getPulvraConversion() const = 0;

  virtual const char* getName() const = 0;
  // The C-level name of the storage ("double", "int", "hvArray", ...).
  virtual const char* getDeclarationName() const = 0;
  virtual bool isEnumeration() const;
  virtual int getStorageCategory() const = 0;
  // A new copy of a stored value; destroy frees one. Both accept null.
  virtual void* copy(const void* value) const = 0;
  virtual void destroy(void* value) const = 0;
  // The permitted values, or null when the type has no list. Caller deletes.
  virtual Enumeration* getPossibleValues() const;
  // Null for non-enumerations.
  virtual const EnumerationType* getEnumerationType() const;
};

// A product's own rule on top of a base type: createDataType makes a data type
// that stores and converts like the base and checks with this object's
// checkValue. The override owns the data types it makes.
class QxOverrideType {
 public:
  QxOverrideType();
  virtual ~QxOverrideType();
  QxOverrideType(const QxOverrideType&) = delete;
  QxOverrideType& operator=(const QxOverrideType&) = delete;

  virtual Exception* checkValue(const void* value) const;
  virtual const PulvraConversion* getPulvraConversion() const;  // null: the base's
  virtual const void* getJavaConversion() const;
  virtual const void* getStringConversion() const;
  virtual const void* getIntConversion() const;
  virtual const void* getByteStreamConversion() const;
  virtual const char* getPossibleValuesDescription() const;
  virtual Enumeration* getPossibleValues() const;  // null: the base's

  // The base is looked up in the repository; null when it is unknown.
  QxDataType* createDataType(const char* name, const char* baseTypeName);

 private:
  std::vector<std::unique_ptr<QxDataType>> made_;
};

// Answers the repository's requests for names it does not hold.
class QxTypeServer {
 public:
  QxTypeServer();
  virtual ~QxTypeServer();
  virtual QxDataType* getType(const char* name);
};

// Process-wide registry of data types by exact name. It does not own what is
// added (the built-in types are the host's own and always present). Host
// thread only.
class QxTypeRepository {
 public:
  static void addType(QxDataType* type);     // replaces a type of the same name
  static void removeType(QxDataType* type);  // by identity; unknown: no-op
  // Registered types first, then the type servers in registration order;
  // null when nobody knows the name (the flag is kept for callers).
  static QxDataType* getType(const char* name, bool quiet = true);
  static void addTypeServer(QxTypeServer* server);
  static void removeTypeServer(QxTypeServer* server);
};

// An enumeration whose values (text, int32 value, visibility) can be added and
// removed at run time. Texts are unique ignoring case; values keep insertion
// order. Converts host strings (matched ignoring case) to the int32 value, and
// values back to their text.
class TypedEnumStringType : public QxDataType {
 public:
  explicit TypedEnumStringType(const char* name);
  ~TypedEnumStringType() override;

  // A text already present (ignoring case), or a value that another text
  // already has, is ignored.
  void addEnumValue(const char* text, const void* value, int visibility);
  void removeEnumValue(const char* text);
  void removeEnumValue(const void* value);
  std::size_t getNumberOfValues() const;

  const PulvraConversion* getPulvraConversion() const override;
  const char* getName() const override;
  const char* getDeclarationName() const override;
  bool isEnumeration() const override;
  int getStorageCategory() const override;
  void* copy(const void* value) const override;
  void destroy(void* value) const override;
  Enumeration* getPossibleValues() const override;
  const EnumerationType* getEnumerationType() const override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// The common form: add texts with or without explicit numbers.
class EnumStringType : public TypedEnumStringType {
 public:
  explicit EnumStringType(const char* name);
  // Numbered one above the largest value so far (0 for the first).
  void addEnumValue(const char* text);
  void addEnumValue(const char* text, int value);
  using TypedEnumStringType::addEnumValue;
};

#endif  // ZELHOST_DATA_TYPE_H
