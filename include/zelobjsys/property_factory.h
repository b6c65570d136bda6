// PropertyFactory: defines typed, constrained, documented properties of a class, an object or a
// container, one call at a time or from XML property files.
#ifndef ZELOBJSYS_PROPERTY_FACTORY_H
#define ZELOBJSYS_PROPERTY_FACTORY_H

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zelobjsys/kti_prop_factory.h"

class QxClass;

namespace zelobjsys {

class PropInfo;
class PropertyContainer;
class SchemaDefinition;
class XMLPropReader;

// The factory products define properties with. It is bound to one target: a
// schema (class properties), an object (instance properties of that object)
// or an object's property container (instance properties added through the
// container). A create operation makes a definition record through the
// product's createPropInfo and returns its handle (null, defining nothing,
// for a null or empty name); the setters refine the record; addProperty
// registers an enumerated property's type with the product's type manager
// and hands the record to the target. The XML operations drive the same
// calls from the sections of an attached XMLPropReader.
//
// Ownership: a record belongs to the target once added; records that were
// never added (or that the target refused) are deleted with the factory. The
// factory borrows the target and the XML reader. Handles stay valid until the
// factory is destroyed; setters used after addProperty change the record the
// target holds. Host thread only.
class PropertyFactory : public KTIPropFactory {
 public:
  // The second argument of each constructor is the device name that selects
  // the device-specific help of the XML help text (null: none).
  PropertyFactory(SchemaDefinition* schema, const char* deviceName);
  PropertyFactory(QxInterface* object, const char* deviceName);
  PropertyFactory(PropertyContainer* container, const char* deviceName);
  ~PropertyFactory() override;
  PropertyFactory(const PropertyFactory&) = delete;
  PropertyFactory& operator=(const PropertyFactory&) = delete;

  void addProperty(void* handle, int identifier, bool deviceSpecific) const override;
  void addProperty(void* handle, bool deviceSpecific) const override;

  void* createDoubleProperty(const char* name, double defaultValue) override;
  void* createDoubleProperty(const char* name, double minimum, double maximum,
                             double defaultValue) override;
  void* createZeroPosDoubleProperty(const char* name, double defaultValue) override;
  void* createZeroInfPosDoubleProperty(const char* name, double defaultValue) override;
  void* createPositiveDoubleRangeProperty(const char* name, double minimum, double maximum,
                                          double first, double second) override;
  void* createDoublePairProperty(const char* name, double minimum, double maximum, double first,
                                 double second) override;
  void* createDoubleArrayProperty(const char* name, const std::vector<double>& values) override;
  void* createIntProperty(const char* name, int defaultValue) override;
  void* createIntProperty(const char* name, int minimum, int maximum, int defaultValue) override;
  void* createZeroPosIntProperty(const char* name, int defaultValue) override;
  void* createZeroInfPosIntProperty(const char* name, int defaultValue) override;
  void* createPosIntProperty(const char* name, int defaultValue) override;
  void* createInfPosIntProperty(const char* name, int defaultValue) override;
  void* createIntPairProperty(const char* name, int minimum, int maximum, int first,
                              int second) override;
  void* createIntArrayProperty(const char* name, const std::vector<int>& values) override;
  void* createHandleProperty(const char* name, int typeIdentifier,
                             const QxInterface* defaultObject) override;
  void* createHandleVectorProperty(const char* name, int typeIdentifier,
                                   const std::vector<QxInterface*>* objects) override;
  void* createHvArrayProperty(const char* name, const hvArray* defaultValue,
                              int typeIdentifier) override;
  void* createHvArrayProperty(const char* name, const hvArray* defaultValue) override;
  void* createStringProperty(const char* name, const char* defaultValue) override;
  void* createEnumProperty(const char* name, const char* defaultText, int value) override;
  void* createCallbackProperty(const char* name, const char* defaultValue) override;
  void* createCallbackProperty(const char* name, const hvArray* defaultValue) override;
  void* createStructureProperty(const char* name, const hvArray* defaultValue) override;
  // The first property element of the device root named exactly `name` that
  // yields a property; not added. Null without a reader or match.
  void* createPropFromXML(const char* name) override;

  // Both enumeration operations change nothing on a record that is not an
  // enumeration (its constraint value is no cell array).
  void addEnumValue(void* handle, const char* text, int value) const override;
  void setDefaultValue(void* handle, const char* text) const override;
  void setDefaultValue(void* handle, double value) const override;
  void setDefaultValue(void* handle, const hvArray* value) const override;
  void setIdentifier(void* handle, int identifier) const override;
  void setPropReadOnly(void* handle, const char* readOnly) const override;
  void setInitAfterCreate(void* handle, bool init) const override;
  void setVisible(void* handle, VisibleAccess access) const override;
  void setAbortSetAllowed(void* handle, bool allowed) const override;
  void setCustomGetFcn(void* handle, IGetFcn* fcn) const override;
  void setCustomSetFcn(void* handle, ISetFcn* fcn) const override;
  void setPropCategory(void* handle, int category) const override;
  void addPropHelpLine(void* handle, const char* text) const override;
  // Help from the help root's AdaptorHelp for the property (its DeviceHelp
  // for this factory's device, its SeeAlso) around `text` (may be null).
  void addPropHelpFromXML(void* handle, const char* text) const override;
  // Parses the Section of that name, as parseXMLSection does.
  void includeXMLSection(const char* sectionName, bool fromDeviceRoot) override;

  // Adds every non-optional property of the element at the reader's cursor,
  // in file order, following its includes (searched from the device root);
  // the cursor is left where it was. A section that is being parsed already
  // (an include cycle) is not entered again: a warning
  // "vornix:xml:includeCycle" names it. The includes are followed first,
  // without defining anything, and a file that nests them more than
  // kMaxIncludeDepth deep ("vornix:xml:includeDepth") or expands to more
  // than kMaxSectionSteps sections and properties ("vornix:xml:includeLimit")
  // is refused with a host error before any of its properties is defined.
  virtual void parseXMLSection();
  static constexpr std::size_t kMaxIncludeDepth = 1000;
  static constexpr std::size_t kMaxSectionSteps = 100000;
  // Borrowed; null detaches.
  virtual void setXMLReader(XMLPropReader* reader);
  virtual XMLPropReader* getXMLReader() const;

 protected:
  virtual void* createHandleProperty(const char* name, int typeIdentifier, const char* dataTypeName,
                                     const std::vector<QxInterface*>* objects);
  virtual void* createHvArrayProperty(const char* name, const hvArray* defaultValue,
                                      int typeIdentifier, int constraintIdentifier);
  virtual void* createNumericProperty(const char* name, const char* dataTypeName,
                                      double defaultValue);
  virtual void* createNumericProperty(const char* name, const char* dataTypeName, double minimum,
                                      double maximum, double defaultValue);
  virtual void* createNumericPairProperty(const char* name, const char* dataTypeName, double first,
                                          double second);
  virtual void* createNumericPairProperty(const char* name, const char* dataTypeName,
                                          double minimum, double maximum, double first,
                                          double second);
  virtual void* createNumericArrayProperty(const char* name, const char* dataTypeName,
                                           const std::vector<double>& values);
  // A new record for that property name (a product subclass of PropInfo or,
  // for an instance factory, of InstancePropInfo). The factory owns it until
  // it is added.
  virtual PropInfo* createPropInfo(const char* name) = 0;
  // Builds one property from the property element at the reader's cursor;
  // null when there is none or its type and constraint are not supported.
  virtual void* createPropFromXMLNode();
  // True for a factory on an object or container, or on an instance schema.
  bool isInstanceFactory() const;

 private:
  struct PropHandler;
  class HelpIndex;
  class SectionIndex;
  struct XMLProperty;

  PropHandler* createPropHandler(const char* name);
  static PropHandler* getPropHandler(void* handle) { return static_cast<PropHandler*>(handle); }
  static void* getHandle(PropHandler* handler) { return handler; }
  void setConstraints(void* handle, double minimum, double maximum) const;
  // The record keeps its own copy of the value.
  static void setDefault(PropInfo& record, hvArray* value);
  void init();
  void registerEnumType(PropHandler& handler, std::string& typeName) const;
  void addToTarget(PropHandler& handler) const;
  QxClass* targetClass() const { return targetClass_; }

  // XML helpers (property_factory_xml.cpp).
  // The property element's attributes, read in one pass.
  void readAttributes(XMLProperty& p) const;
  void* createFromXMLProperty(const XMLProperty& p);
  void* createEnumFromXML(const XMLProperty& p);
  // Defines the properties of the section element `section` and of its includes.
  void defineSection(const void* section);
  SectionIndex& sectionIndex(bool fromDeviceRoot);
  const HelpIndex& helpIndex() const;
  // Moves to the AdaptorHelp that the help root's search would pick.
  bool findAdaptorHelp(const char* propertyName) const;

  QxClass* targetClass_ = nullptr;
  QxInterface* object_ = nullptr;
  PropertyContainer* container_ = nullptr;
  XMLPropReader* reader_ = nullptr;
  std::string deviceName_;
  std::vector<std::unique_ptr<PropHandler>> handlers_;
  // Built on first use for the root [0] and the device root [1].
  std::unique_ptr<SectionIndex> sectionIndexes_[2];
  mutable std::unique_ptr<HelpIndex> helpIndex_;
};

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROPERTY_FACTORY_H
