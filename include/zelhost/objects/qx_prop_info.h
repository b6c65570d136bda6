// Host property descriptors: name, data type, access flags, factory default and the value
// operations.
#ifndef ZELHOST_QX_PROP_INFO_H
#define ZELHOST_QX_PROP_INFO_H

#include <cstdint>
#include <functional>
#include <string>

#include "zelhost/objects/qx_interface.h"

class Exception;
class QxDataType;

enum QxAccessFlag {
  kAccessExternalGet = 0,
  kAccessExternalSet,
  kAccessInternalGet,
  kAccessInternalSet,
  kAccessInit,
  kAccessDefault,
  kAccessReset,
  kAccessSerialize,
  kAccessCopy,
  kAccessListener,
  kAccessAbortSet,
  kAccessInspect,
  kAccessVisible,
  kAccessCount
};

// What getValueE/setValueE report instead of throwing.
struct QxErrorStatus {
  Exception* error = nullptr;  // owned by whoever reads it
};

// A property descriptor. Concrete descriptors supply getValue and setValue.
// A new descriptor has external get, internal get and internal set access on
// and every other flag off. It owns its factory default (destroyed with its
// data type). Every descriptor has a host object of its own (getInterface),
// whose own part is the descriptor and whose class is the host's "prop" class
// until setDatabaseClass gives it another; when that host object is
// destroyed, its class's releaseObjectPart deletes the descriptor. Deleting a
// descriptor directly also destroys its host object. Host thread only.
class QxPropInfoTemplate {
 public:
  QxPropInfoTemplate();
  virtual ~QxPropInfoTemplate();
  QxPropInfoTemplate(const QxPropInfoTemplate&) = delete;
  QxPropInfoTemplate& operator=(const QxPropInfoTemplate&) = delete;

  virtual const char* getDisplayName() const;
  virtual std::string getDescription() const;
  virtual void setDescription(const char* text);
  virtual void* getFactoryDefault() const;
  virtual QxClass* getClass() const;  // the class it was added to, or null
  virtual bool isRuntime() const;
  virtual QxInterface* getInterface() const;
  virtual void applyFactoryDefault(QxInterface* object, QxErrorStatus* status);
  virtual void applyFactoryDefault(QxInterface* object);
  virtual QxDataType* getDataType(const QxInterface* object = nullptr) const;
  virtual bool getAccess(QxAccessFlag flag) const;
  virtual void setAccess(QxAccessFlag flag, bool on);
  virtual bool isExternalGetAccess() const;
  virtual bool isExternalSetAccess() const;
  virtual bool isInternalGetAccess() const;
  virtual bool isInternalSetAccess() const;
  virtual bool isInitAccess() const;
  virtual bool isDefaultAccess() const;
  virtual bool isResetAccess() const;
  virtual bool isSerializeAccess() const;
  virtual bool isCopyAccess() const;
  virtual bool isListenerAccess() const;
  virtual bool isAbortSetAccess() const;
  virtual bool isInspectAccess() const;
  virtual bool isVisible() const;
  virtual bool isReadOnly() const;  // external set access off

  // Host-level get/set hooks, run around the value operations when set.
  using GetFunction = std::function<hvArray*(QxInterface*, hvArray*)>;
  using SetFunction = std::function<hvArray*(QxInterface*, const hvArray*)>;
  virtual const GetFunction& getGetFunction() const;
  virtual void setGetFunction(GetFunction fn);
  virtual const SetFunction& getSetFunction() const;
  virtual void setSetFunction(SetFunction fn);

  // The value of the property on that object, in the data type's storage. The
  // host hands the result to releaseValue when done with it.
  virtual void* getValue(QxDatabaseClient* client, QxInterface* object) = 0;
  virtual void* getValueE(QxDatabaseClient* client, QxInterface* object, QxErrorStatus* status);
  // Stores a value given in the data type's storage; the descriptor copies
  // what it keeps.
  virtual void setValue(QxDatabaseClient* client, QxInterface* object, const void* value) = 0;
  virtual void setValueE(QxDatabaseClient* client, QxInterface* object, const void* value,
                         QxErrorStatus* status);
  // Default: nothing (getValue's result is the descriptor's own).
  virtual void releaseValue(QxDatabaseClient* client, QxInterface* object, void* value);
  virtual bool canContainQxInterfaces(const QxInterface* object) const;

  const char* getName() const;
  void setName(const char* name);
  // Not owned; the factory default is not converted.
  void setDataType(QxDataType* type);
  // Takes the value (in the data type's storage). The previous one is not
  // freed here: callers destroy it first.
  void setFactoryDefault(void* value);

  // A count that grows whenever a class gains a descriptor, is made or
  // destroyed, or a descriptor changes its name, its data type or (through
  // noteDefinitionChange) what else a class's objects take from it. What is
  // worked out from a class's descriptors stays valid while it stands still.
  static std::uint64_t definitionRevision();
  static void noteDefinitionChange();

 private:
  friend class QxClass;
  friend class QxInterface;
  struct Impl;
  Impl* impl_;
};

#endif  // ZELHOST_QX_PROP_INFO_H
