// PropInfo: the definition record of one property — host descriptor and user-visible property
// information.
#ifndef ZELOBJSYS_PROP_INFO_H
#define ZELOBJSYS_PROP_INFO_H

#include <boost/shared_ptr.hpp>
#include <string>

#include "zelhost/objects/qx_prop_info.h"
#include "zelhost/values/hv_array.h"
#include "zelobjsys/custom_fcns.h"
#include "zelobjsys/kti_prop_info.h"
#include "zelobjsys/pi_identifiers.h"

class QxDataType;

namespace zelobjsys {

class PropertyFactory;
struct PropInfoFieldAccess;
class PropInfoTestPeer;

// One property of a class (or, as InstancePropInfo, of one object). It is the
// host's descriptor of the property (the host asks it for the data type, the
// access flags and the factory default, and calls its value get/set, which the
// product's subclass supplies) and the record of what users are told: PI
// type, constraint and constraint value, default, read-only rule, category,
// device specificity, identifier, help text, custom get/set functions.
//
// Ownership: the record owns its constraint and default arrays, its
// description and its references to the custom functions. Once added to a
// class or object, the host owns the record; it dies when the host releases
// its host object (getInterface). Host thread only.
class PropInfo : public QxPropInfoTemplate, public KTIPropInfo {
 public:
  ~PropInfo() override;

  // KTIPropInfo
  const char* getPropertyName() const override;
  void* getPropertyDefault() const override;
  int getPropertyStorageType() const override;
  int getPropertyIdentifier() const override;
  bool isPropertyDeviceSpecific() const override;
  bool isPropertyEnumerated() const override;

  int getPIIdentifier() const { return piIdentifier_; }
  bool getPIDeviceSpecific() const { return piDeviceSpecific_; }
  int getPIType() const { return piType_; }
  int getPIConstraint() const { return piConstraint_; }
  int getPIReadOnly() const { return piReadOnly_; }
  int getPICategory() const { return piCategory_; }
  // The stored arrays themselves (not copies); the default may be null.
  hvArray* getPIConstraintValue() const { return piConstraintValue_; }
  hvArray* getPIDefaultValue() const { return piDefaultValue_; }

  std::string getDescription() const override;
  std::string getPIDescription() const { return getDescription(); }
  void setDescription(const char* text) override;
  // Appends text formatted with an indent of four blanks followed by indent
  // (null: none); with wrap, long text is broken into lines.
  void addDescriptionLine(const char* text, const char* indent, bool wrap);

  // Both copy the value. Null stores the record's empty value: an empty
  // string for PI types callback and string, else an empty 0x0 double.
  // Setting the default also keeps the host's factory default in step.
  void setPIConstraintValue(const hvArray* value);
  void setPIDefaultValue(const hvArray* value);

  boost::shared_ptr<IGetFcn> getCustomGetFcn() const { return getFcn_; }
  boost::shared_ptr<ISetFcn> getCustomSetFcn() const { return setFcn_; }
  // Takes ownership of fcn (null clears).
  void setCustomGetFcn(IGetFcn* fcn);
  void setCustomSetFcn(ISetFcn* fcn);

  QxDataType* getQxDataType() const { return getDataType(nullptr); }
  bool isQxVisible() const { return isVisible(); }
  bool isInspectAccess() const override { return inspectAccess_; }
  virtual bool isInstanceProperty() const;
  bool canContainQxInterfaces(const QxInterface* object) const override;

 protected:
  PropInfo();

 private:
  friend class PropertyFactory;
  friend struct EntryDefinition;      // what an entry takes from its record
  friend struct PropInfoFieldAccess;  // the fields of the property-info class
  friend class PropInfoTestPeer;      // unit tests

  void setPIType(int v) { piType_ = v; }
  void setPIConstraint(int v) {
    piConstraint_ = v;
    noteDefinitionChange();
  }
  void setPIReadOnly(int v) { piReadOnly_ = v; }
  void setPICategory(int v) { piCategory_ = v; }
  void setPIIdentifier(int v) { piIdentifier_ = v; }
  void setPIDeviceSpecific(bool v) { piDeviceSpecific_ = v; }
  void setInspectAccess(bool v) { inspectAccess_ = v; }
  void setQxInitAccess(bool v) { setAccess(kAccessInit, v); }
  void setQxAbortSetAccess(bool v) { setAccess(kAccessAbortSet, v); }
  void setQxVisible(bool v) { setAccess(kAccessVisible, v); }
  // Completes the record just before it is added: the data type by name, the
  // factory default from the PI default, the access that the read-only rule
  // and the data type imply.
  void initQxValuesBeforeAdd(const char* typeName);

  // Replaces *slot by a copy of value, or by the record's empty value.
  void storeArray(hvArray** slot, const hvArray* value);
  void refreshFactoryDefault();
  void destroyFactoryDefault();

  int piType_ = kPITypeAny;
  int piConstraint_ = kPIConstraintNone;
  hvArray* piConstraintValue_ = nullptr;
  hvArray* piDefaultValue_ = nullptr;
  int piReadOnly_ = kPIReadOnlyNever;
  bool piDeviceSpecific_ = false;
  int piCategory_ = kPICategoryNone;
  int piIdentifier_ = 0;
  std::string description_;
  boost::shared_ptr<ISetFcn> setFcn_;
  boost::shared_ptr<IGetFcn> getFcn_;
  QxDataType* strictCallbackType_;
  QxDataType* callbackType_;
  bool inspectAccess_ = true;
  // The storage type depends only on the data type; it is asked on every
  // bounded set, so it is worked out once per data type.
  mutable const QxDataType* storageTypeOf_ = nullptr;
  mutable int storageType_ = kStorageTypeOther;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROP_INFO_H
