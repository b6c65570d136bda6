// PropInfoQxC: the host class "zlprop" that shows a property's information as fields.
#ifndef ZELOBJSYS_PROP_INFO_QXC_H
#define ZELOBJSYS_PROP_INFO_QXC_H

#include "zelhost/objects/qx_class.h"
#include "zelhost/objects/qx_prop_info.h"

class QxDataType;

namespace zelobjsys {

class PropInfo;

// Host names of the class and of the four property-info enumerations.
constexpr const char* kPropInfoClassName = "zlprop";
constexpr const char* kPITypeEnumName = "PITypeEnumType";
constexpr const char* kPIConstraintEnumName = "PIConstraintEnumType";
constexpr const char* kPIReadOnlyEnumName = "PIReadOnlyEnumType";
constexpr const char* kPICategoryEnumName = "PICategoryEnumType";

// The class of the host object of every PropInfo record: the host's own
// property class "prop" plus seven read-only fields ("Type", "Constraint",
// "ConstraintValue", "DefaultValue", "ReadOnly", "DeviceSpecific",
// "Category") read from and written to the record, the enumerated ones shown
// as names.
//
// Ownership: the application it is added to owns the class; the class owns
// its seven field descriptors. When the host destroys the host object of a
// record whose class this is, releaseObjectPart deletes the record. The four
// enumerations exist while the class does: made (and registered) by the
// fields when missing, taken out of the repository when the last live
// PropInfoQxC is destroyed, which deletes those that the fields made (a type
// registered beforehand is left to its owner). Host thread only.
class PropInfoQxC : public QxClass {
 public:
  PropInfoQxC();
  ~PropInfoQxC() override;

  // A host object of this class has no own part made by the class: null.
  void* createClassSpecificObject(QxInterface* object, void** args, int count) override;
  void* createClassSpecificObject(QxInterface* object) override;
  bool isHandleClass() const override { return true; }
  bool isAbstractClass() const override { return false; }
  // Deletes the record that is the object's own part.
  void releaseObjectPart(QxInterface* object) override;
};

// Base of the seven field descriptors. The record is the own part of the
// host object the host asks about; a host object that is not a record's gives
// ErrorIdException* "vornix:zlprop:notAProperty". External set access is off.
class PropInfoFieldPIT : public QxPropInfoTemplate {
 protected:
  // Names the field and gives it the data type of that name; the four
  // enumerations are made and registered when the repository lacks them.
  PropInfoFieldPIT(const char* fieldName, const char* typeName);
  // The record behind a host object.
  static PropInfo& recordOf(QxInterface* object);
  // The field's data type, which must store values of that host storage
  // category (a type squatting on an enumeration's name may not).
  const QxDataType& dataTypeWithStorage(int category) const;
};

// Fields whose value is a 32-bit identifier shown through an enumeration.
// getValue returns a copy (in the data type's storage) that releaseValue
// frees.
class PropInfoEnumFieldPIT : public PropInfoFieldPIT {
 public:
  void* getValue(QxDatabaseClient* client, QxInterface* object) override;
  void setValue(QxDatabaseClient* client, QxInterface* object, const void* value) override;
  void releaseValue(QxDatabaseClient* client, QxInterface* object, void* value) override;

 protected:
  using PropInfoFieldPIT::PropInfoFieldPIT;
  virtual int read(const PropInfo& record) const = 0;
  virtual void write(PropInfo& record, int value) const = 0;
};

// Fields whose value is one of the record's arrays. getValue hands out the
// record's own array (not a copy), which the template's releaseValue leaves
// alone; setValue stores a copy.
class PropInfoArrayFieldPIT : public PropInfoFieldPIT {
 public:
  void* getValue(QxDatabaseClient* client, QxInterface* object) override;
  void setValue(QxDatabaseClient* client, QxInterface* object, const void* value) override;

 protected:
  using PropInfoFieldPIT::PropInfoFieldPIT;
  virtual hvArray* read(const PropInfo& record) const = 0;
  virtual void write(PropInfo& record, const hvArray* value) const = 0;
};

// "Type": the PI type ("PITypeEnumType").
class PropInfoTypePIT : public PropInfoEnumFieldPIT {
 public:
  PropInfoTypePIT();

 protected:
  int read(const PropInfo& record) const override;
  void write(PropInfo& record, int value) const override;
};

// "Constraint": the PI constraint ("PIConstraintEnumType").
class PropInfoConstraintPIT : public PropInfoEnumFieldPIT {
 public:
  PropInfoConstraintPIT();

 protected:
  int read(const PropInfo& record) const override;
  void write(PropInfo& record, int value) const override;
};

// "ConstraintValue": the PI constraint value ("PULVRA array").
class PropInfoConstraintValuePIT : public PropInfoArrayFieldPIT {
 public:
  PropInfoConstraintValuePIT();

 protected:
  hvArray* read(const PropInfo& record) const override;
  void write(PropInfo& record, const hvArray* value) const override;
};

// "DefaultValue": the PI default value ("PULVRA array"); writing it keeps the
// record's factory default in step.
class PropInfoDefaultValuePIT : public PropInfoArrayFieldPIT {
 public:
  PropInfoDefaultValuePIT();

 protected:
  hvArray* read(const PropInfo& record) const override;
  void write(PropInfo& record, const hvArray* value) const override;
};

// "ReadOnly": the PI read-only rule ("PIReadOnlyEnumType").
class PropInfoReadOnlyPIT : public PropInfoEnumFieldPIT {
 public:
  PropInfoReadOnlyPIT();

 protected:
  int read(const PropInfo& record) const override;
  void write(PropInfo& record, int value) const override;
};

// "DeviceSpecific": PI device specificity ("bool"); getValue returns a copy
// that releaseValue frees.
class PropInfoDeviceSpecificPIT : public PropInfoFieldPIT {
 public:
  PropInfoDeviceSpecificPIT();
  void* getValue(QxDatabaseClient* client, QxInterface* object) override;
  void setValue(QxDatabaseClient* client, QxInterface* object, const void* value) override;
  void releaseValue(QxDatabaseClient* client, QxInterface* object, void* value) override;
};

// "Category": the PI category ("PICategoryEnumType").
class PropInfoCategoryPIT : public PropInfoEnumFieldPIT {
 public:
  PropInfoCategoryPIT();

 protected:
  int read(const PropInfo& record) const override;
  void write(PropInfo& record, int value) const override;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROP_INFO_QXC_H
