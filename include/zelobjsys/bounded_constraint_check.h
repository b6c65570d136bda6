// BoundedConstraintCheck: refuses numbers outside a property's [minimum maximum] constraint.
#ifndef ZELOBJSYS_BOUNDED_CONSTRAINT_CHECK_H
#define ZELOBJSYS_BOUNDED_CONSTRAINT_CHECK_H

#include "zelobjsys/i_prop_check_fcn.h"

namespace zelobjsys {

// The check that a container attaches to every property whose constraint is
// "bounded". The bounds are read from the definition at every check, so a
// product that changes the constraint value is obeyed at once. Bounds are
// inclusive; NaN passes; vectors are tested element by element. Stateless:
// safe on any thread that may read the definition.
class BoundedConstraintCheck : public IPropCheckFcn {
 public:
  BoundedConstraintCheck() = default;
  // Throws ZLGeneralException "vornix:property:belowMinimum" or
  // "vornix:property:aboveMaximum" for the first number out of bounds. A
  // constraint value of fewer than two numbers, a null value and storage
  // types that hold no numbers are accepted.
  void check(QxInterface* object, const PropInfo* info, const void* value) override;
  // The same refusal raised as a host error without throwing it first.
  void checkAndRaise(QxInterface* object, const PropInfo* info, const void* value) override;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_BOUNDED_CONSTRAINT_CHECK_H
