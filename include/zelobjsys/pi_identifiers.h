// The numbers behind the property-info names: PI type, constraint, read-only rule and category.
#ifndef ZELOBJSYS_PI_IDENTIFIERS_H
#define ZELOBJSYS_PI_IDENTIFIERS_H

namespace zelobjsys {

// "PITypeEnumType"; products may add further types.
enum PIType {
  kPITypeAny = 0,
  kPITypeCallback = 1,
  kPITypeDouble = 2,
  kPITypeString = 3,
  kPITypeStruct = 4,
  kPITypeCell = 5,
};

// "PIConstraintEnumType"; fixed.
enum PIConstraint {
  kPIConstraintBounded = 0,
  kPIConstraintCallback = 1,
  kPIConstraintEnum = 2,
  kPIConstraintNone = 3,
};

// "PIReadOnlyEnumType"; products add their own rules ("whileRunning", ...).
enum PIReadOnly {
  kPIReadOnlyAlways = 0,
  kPIReadOnlyNever = 1,
};

// "PICategoryEnumType"; products may add further categories.
enum PICategory {
  kPICategoryNone = 0,
  kPICategoryCallback = 1,
  kPICategoryTrigger = 2,
  kPICategoryStatus = 3,
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PI_IDENTIFIERS_H
