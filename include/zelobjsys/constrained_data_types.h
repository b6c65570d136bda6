// The library's eleven constrained data types: host base types with one extra rule each.
#ifndef ZELOBJSYS_CONSTRAINED_DATA_TYPES_H
#define ZELOBJSYS_CONSTRAINED_DATA_TYPES_H

#include <vector>

#include "zelhost/types/data_type.h"

class Exception;

namespace zelobjsys {
namespace datatypes {

// A constrained type is a singleton pair: the override object (the rule) and
// the host data type that the override makes from its base type. Both are
// made on first use and live until the process ends (the repository and every
// property that uses the type may hold the data type at any time, so it is
// never freed); registering them with the type repository is separate (see
// registerConstrainedDataTypes). checkValue returns null to accept or a new
// ErrorIdException (caller owns) to refuse; it never throws of its own accord.
// Host thread only.
template <class Derived>
class ConstrainedDataType : public QxOverrideType {
 public:
  // The override object; never null.
  static Derived* getInstance();
  // The host data type registered as Derived::kName; the same on every call.
  static QxDataType* getDataType();

 protected:
  ConstrainedDataType() = default;
};

// A callback ("PULVRA callback") that is not an empty cell array and not a
// cell array whose first element is empty.
class StrictHCallbackDataType final : public ConstrainedDataType<StrictHCallbackDataType> {
 public:
  static constexpr const char* kName = "StrictHCallback";
  static constexpr const char* kBaseName = "PULVRA callback";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<StrictHCallbackDataType>;
  StrictHCallbackDataType();
  const QxDataType* callbackType_;  // the base, for its conversion to a host value
};

// An "int" of at least 0.
class ZeroOrPositiveIntDataType final : public ConstrainedDataType<ZeroOrPositiveIntDataType> {
 public:
  static constexpr const char* kName = "ZeroOrPositiveInt";
  static constexpr const char* kBaseName = "int";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<ZeroOrPositiveIntDataType>;
  ZeroOrPositiveIntDataType() = default;
};

// A "double" that is +Inf or whose floor ZeroOrPositiveInt accepts; the
// stored value becomes its floor.
class ZeroInfOrPositiveIntDataType final
    : public ConstrainedDataType<ZeroInfOrPositiveIntDataType> {
 public:
  static constexpr const char* kName = "ZeroInfOrPositiveInt";
  static constexpr const char* kBaseName = "double";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<ZeroInfOrPositiveIntDataType>;
  ZeroInfOrPositiveIntDataType();
  const QxDataType* doubleType_;
};

// A "double" not less than 0 (NaN passes).
class ZeroOrPositiveDoubleDataType final
    : public ConstrainedDataType<ZeroOrPositiveDoubleDataType> {
 public:
  static constexpr const char* kName = "ZeroOrPositiveDouble";
  static constexpr const char* kBaseName = "double";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<ZeroOrPositiveDoubleDataType>;
  ZeroOrPositiveDoubleDataType() = default;
};

// A "double" that is +Inf or whose floor PositiveInt accepts; the stored
// value becomes its floor.
class InfOrPositiveIntDataType final : public ConstrainedDataType<InfOrPositiveIntDataType> {
 public:
  static constexpr const char* kName = "InfOrPositiveInt";
  static constexpr const char* kBaseName = "double";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<InfOrPositiveIntDataType>;
  InfOrPositiveIntDataType();
  const QxDataType* doubleType_;
};

// An "int" greater than 0.
class PositiveIntDataType final : public ConstrainedDataType<PositiveIntDataType> {
 public:
  static constexpr const char* kName = "PositiveInt";
  static constexpr const char* kBaseName = "int";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<PositiveIntDataType>;
  PositiveIntDataType() = default;
};

// "Nints" of exactly two elements (of any value).
class IntPairDataType final : public ConstrainedDataType<IntPairDataType> {
 public:
  static constexpr const char* kName = "IntPair";
  static constexpr const char* kBaseName = "Nints";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<IntPairDataType>;
  IntPairDataType() = default;
};

// A "double" greater than 0 (NaN passes).
class PositiveDoubleDataType final : public ConstrainedDataType<PositiveDoubleDataType> {
 public:
  static constexpr const char* kName = "PositiveDouble";
  static constexpr const char* kBaseName = "double";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<PositiveDoubleDataType>;
  PositiveDoubleDataType() = default;
};

// "NReals" [low high] with 0 < low <= high, neither NaN.
class PositiveDoubleRangeDataType final : public ConstrainedDataType<PositiveDoubleRangeDataType> {
 public:
  static constexpr const char* kName = "PositiveDoubleRange";
  static constexpr const char* kBaseName = "NReals";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<PositiveDoubleRangeDataType>;
  PositiveDoubleRangeDataType() = default;
};

// "NReals" of exactly two elements, neither NaN (infinities pass).
class DoublePairDataType final : public ConstrainedDataType<DoublePairDataType> {
 public:
  static constexpr const char* kName = "DoublePair";
  static constexpr const char* kBaseName = "NReals";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<DoublePairDataType>;
  DoublePairDataType() = default;
};

// A "PULVRA array" that is empty, a structure or an object.
class PULVRAStructureDataType final : public ConstrainedDataType<PULVRAStructureDataType> {
 public:
  static constexpr const char* kName = "PULVRAStructure";
  static constexpr const char* kBaseName = "PULVRA array";
  Exception* checkValue(const void* value) const override;

 private:
  friend class ConstrainedDataType<PULVRAStructureDataType>;
  PULVRAStructureDataType() = default;
};

extern template class ConstrainedDataType<StrictHCallbackDataType>;
extern template class ConstrainedDataType<ZeroOrPositiveIntDataType>;
extern template class ConstrainedDataType<ZeroInfOrPositiveIntDataType>;
extern template class ConstrainedDataType<ZeroOrPositiveDoubleDataType>;
extern template class ConstrainedDataType<InfOrPositiveIntDataType>;
extern template class ConstrainedDataType<PositiveIntDataType>;
extern template class ConstrainedDataType<IntPairDataType>;
extern template class ConstrainedDataType<PositiveDoubleDataType>;
extern template class ConstrainedDataType<PositiveDoubleRangeDataType>;
extern template class ConstrainedDataType<DoublePairDataType>;
extern template class ConstrainedDataType<PULVRAStructureDataType>;

// The eleven data types in the order in which they are registered.
std::vector<QxDataType*> getConstrainedDataTypes();

// Adds each data type to the type repository unless the repository already
// answers its name with that very type; returns how many were added.
int registerConstrainedDataTypes();
// Takes the eleven out of the type repository again (in registration order).
void removeConstrainedDataTypes();

}  // namespace datatypes
}  // namespace zelobjsys

#endif  // ZELOBJSYS_CONSTRAINED_DATA_TYPES_H
