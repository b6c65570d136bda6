// KTIPropInfo: the small read-only view of a property definition that products see.
#ifndef ZELOBJSYS_KTI_PROP_INFO_H
#define ZELOBJSYS_KTI_PROP_INFO_H

namespace zelobjsys {

// Storage types of getPropertyStorageType: how a property's value is laid out.
enum PropStorageType {
  kStorageTypeDouble = 0,      // a double
  kStorageTypeInt32 = 1,       // a 32-bit integer; also every enumeration
  kStorageTypeString = 2,      // text ("string")
  kStorageTypeHvArray = 3,     // a host array ("PULVRA array")
  kStorageTypeRealVector = 4,  // a pair or vector of reals
  kStorageTypeIntVector = 5,   // a pair or vector of integers
  kStorageTypeOther = 6,
};

// Read-only view of a property definition record. Not owned by whoever holds
// it: the record belongs to its class or object.
class KTIPropInfo {
 public:
  KTIPropInfo() = default;
  KTIPropInfo(const KTIPropInfo&) = default;
  KTIPropInfo& operator=(const KTIPropInfo&) = default;

  virtual const char* getPropertyName() const = 0;
  // The default in the data type's storage, or null.
  virtual void* getPropertyDefault() const = 0;
  virtual int getPropertyStorageType() const = 0;
  virtual int getPropertyIdentifier() const = 0;
  virtual bool isPropertyDeviceSpecific() const = 0;
  virtual bool isPropertyEnumerated() const = 0;

 protected:
  virtual ~KTIPropInfo() = default;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_KTI_PROP_INFO_H
