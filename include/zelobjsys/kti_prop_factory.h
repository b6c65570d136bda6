// KTIPropFactory: the exported interface through which products and schemas define properties.
#ifndef ZELOBJSYS_KTI_PROP_FACTORY_H
#define ZELOBJSYS_KTI_PROP_FACTORY_H

#include <cstdint>
#include <vector>

#include "zelhost/values/hv_array.h"
#include "zelobjsys/custom_fcns.h"

class QxInterface;

namespace zelobjsys {

// Defines properties in a short conversation: a create operation makes a
// definition and returns its handle (an untyped pointer that only the
// factory that made it understands), setters refine it, addProperty hands it
// to wherever the implementation adds properties (a class, an object, a
// container). Every operation ignores a null handle; definition is lenient
// (unknown names and duplicate enumeration texts are ignored, bounds and
// defaults are stored as given). Texts and host values passed in are copied.
//
// Implementations own whatever they make until it is added; callers never
// delete a factory through this interface. Host thread only.
class KTIPropFactory {
 public:
  // Who sees a property: 0 hidden from both users and the inspector, 1
  // visible to users only, 2 visible to both.
  enum VisibleAccess : int32_t {
    kVisibleNone = 0,
    kVisibleUser = 1,
    kVisibleAll = 2,
  };

  KTIPropFactory() = default;
  KTIPropFactory(const KTIPropFactory&) = default;
  KTIPropFactory& operator=(const KTIPropFactory&) = default;

  virtual void addProperty(void* handle, int identifier, bool deviceSpecific) const = 0;
  virtual void addProperty(void* handle, bool deviceSpecific) const = 0;

  virtual void* createDoubleProperty(const char* name, double defaultValue) = 0;
  virtual void* createDoubleProperty(const char* name, double minimum, double maximum,
                                     double defaultValue) = 0;
  virtual void* createZeroPosDoubleProperty(const char* name, double defaultValue) = 0;
  virtual void* createZeroInfPosDoubleProperty(const char* name, double defaultValue) = 0;
  virtual void* createPositiveDoubleRangeProperty(const char* name, double minimum, double maximum,
                                                  double first, double second) = 0;
  virtual void* createDoublePairProperty(const char* name, double minimum, double maximum,
                                         double first, double second) = 0;
  virtual void* createDoubleArrayProperty(const char* name, const std::vector<double>& values) = 0;
  virtual void* createIntProperty(const char* name, int defaultValue) = 0;
  virtual void* createIntProperty(const char* name, int minimum, int maximum, int defaultValue) = 0;
  virtual void* createZeroPosIntProperty(const char* name, int defaultValue) = 0;
  virtual void* createZeroInfPosIntProperty(const char* name, int defaultValue) = 0;
  virtual void* createPosIntProperty(const char* name, int defaultValue) = 0;
  virtual void* createInfPosIntProperty(const char* name, int defaultValue) = 0;
  virtual void* createIntPairProperty(const char* name, int minimum, int maximum, int first,
                                      int second) = 0;
  virtual void* createIntArrayProperty(const char* name, const std::vector<int>& values) = 0;
  // The object and the vector are borrowed; null gives no default.
  virtual void* createHandleProperty(const char* name, int typeIdentifier,
                                     const QxInterface* defaultObject) = 0;
  virtual void* createHandleVectorProperty(const char* name, int typeIdentifier,
                                           const std::vector<QxInterface*>* objects) = 0;
  virtual void* createHvArrayProperty(const char* name, const hvArray* defaultValue,
                                      int typeIdentifier) = 0;
  virtual void* createHvArrayProperty(const char* name, const hvArray* defaultValue) = 0;
  virtual void* createStringProperty(const char* name, const char* defaultValue) = 0;
  virtual void* createEnumProperty(const char* name, const char* defaultText, int value) = 0;
  virtual void* createCallbackProperty(const char* name, const char* defaultValue) = 0;
  virtual void* createCallbackProperty(const char* name, const hvArray* defaultValue) = 0;
  virtual void* createStructureProperty(const char* name, const hvArray* defaultValue) = 0;
  virtual void* createPropFromXML(const char* name) = 0;

  virtual void addEnumValue(void* handle, const char* text, int value) const = 0;
  virtual void setDefaultValue(void* handle, const char* text) const = 0;
  virtual void setDefaultValue(void* handle, double value) const = 0;
  virtual void setDefaultValue(void* handle, const hvArray* value) const = 0;
  virtual void setIdentifier(void* handle, int identifier) const = 0;
  virtual void setPropReadOnly(void* handle, const char* readOnly) const = 0;
  virtual void setInitAfterCreate(void* handle, bool init) const = 0;
  virtual void setVisible(void* handle, VisibleAccess access) const = 0;
  virtual void setAbortSetAllowed(void* handle, bool allowed) const = 0;
  // Both hand fcn over to the definition.
  virtual void setCustomGetFcn(void* handle, IGetFcn* fcn) const = 0;
  virtual void setCustomSetFcn(void* handle, ISetFcn* fcn) const = 0;
  virtual void setPropCategory(void* handle, int category) const = 0;
  virtual void addPropHelpLine(void* handle, const char* text) const = 0;
  virtual void addPropHelpFromXML(void* handle, const char* text) const = 0;
  // Parses the named section of the attached XML property file, searched from
  // the device root when fromDeviceRoot is true, else from the file's root.
  virtual void includeXMLSection(const char* sectionName, bool fromDeviceRoot) = 0;

 protected:
  virtual ~KTIPropFactory() = default;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_KTI_PROP_FACTORY_H
