// Test doubles shared by the library's unit tests: a product record that keeps one value itself.
#ifndef ZELOBJSYS_TESTS_COMMON_TEST_RECORDS_H
#define ZELOBJSYS_TESTS_COMMON_TEST_RECORDS_H

#include "zelhost/types/data_type.h"
#include "zelobjsys/prop_info.h"

namespace zelobjsys {
// Reaches the record's private setters (products reach them through their factory).
class PropInfoTestPeer {
 public:
  static void setPIType(PropInfo& p, int v) { p.setPIType(v); }
  static void setPIConstraint(PropInfo& p, int v) { p.setPIConstraint(v); }
  static void setPIReadOnly(PropInfo& p, int v) { p.setPIReadOnly(v); }
  static void setPICategory(PropInfo& p, int v) { p.setPICategory(v); }
  static void setPIDeviceSpecific(PropInfo& p, bool v) { p.setPIDeviceSpecific(v); }
  static void setQxAbortSetAccess(PropInfo& p, bool v) { p.setQxAbortSetAccess(v); }
  static void setQxVisible(PropInfo& p, bool v) { p.setQxVisible(v); }
  static void initQxValuesBeforeAdd(PropInfo& p, const char* type) {
    p.initQxValuesBeforeAdd(type);
  }
};
// A product record that stores one value per record (enough for a class with
// one object): the host's value get/set land here.
template <class Base = PropInfo>
class TestPropInfo : public Base {
 public:
  explicit TestPropInfo(const char* name) { this->setName(name); }
  ~TestPropInfo() override { clear(); }
  void* getValue(QxDatabaseClient*, QxInterface*) override { return value_; }
  void setValue(QxDatabaseClient*, QxInterface*, const void* value) override {
    clear();
    if (const QxDataType* type = this->getQxDataType()) value_ = type->copy(value);
  }

 private:
  void clear() {
    if (value_ != nullptr) {
      if (const QxDataType* type = this->getQxDataType()) type->destroy(value_);
      value_ = nullptr;
    }
  }
  void* value_ = nullptr;
};
}  // namespace zelobjsys

#endif  // ZELOBJSYS_TESTS_COMMON_TEST_RECORDS_H
