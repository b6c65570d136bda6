// PropertyFile: an XML property file attached to a property factory, to define properties from
// its sections.
#ifndef ZELOBJSYS_PROPERTY_FILE_H
#define ZELOBJSYS_PROPERTY_FILE_H

#include <memory>
#include <string>

#include "zelobjsys/xml_prop_reader.h"

namespace zelobjsys {

class PropertyFactory;

// Reads a property file and attaches it to a factory while it lives, so that
// the factory's XML operations (includeXMLSection, the help of generic
// properties) read it. The root element (the first top-level element:
// comments, processing instructions and a document type before it are
// skipped) is marked as the root, device root and help root.
//
// A relative name that is not found from the current folder is looked up in
// `searchDir` (a product's bundled files; see folderBeside). The factory is
// borrowed and must outlive the file; its previous reader is put back when
// the file goes.
class PropertyFile {
 public:
  // Throws the reader's XMLPropException* when the file cannot be read or parsed.
  PropertyFile(PropertyFactory& factory, const std::string& name,
               const std::string& searchDir = "");
  ~PropertyFile();
  PropertyFile(const PropertyFile&) = delete;
  PropertyFile& operator=(const PropertyFile&) = delete;

  // Whether the root element has a "Section" child of that name (ignoring case).
  bool hasSection(const std::string& section);
  // Defines the section's properties. Throws a ZLException*
  // "vornix:xml:sectionNotFound" naming the file when there is no such section.
  void includeSection(const std::string& section);
  XMLPropReader& reader() { return *reader_; }

 private:
  PropertyFactory& factory_;
  std::string name_;
  std::unique_ptr<XMLPropReader> reader_;
  XMLPropReader* previous_;
};

// Defines the properties of section `section` of the file `name` through
// `factory`: the one call a class made from one section needs.
void definePropertiesFromFile(PropertyFactory& factory, const std::string& name,
                              const std::string& section, const std::string& searchDir = "");

// Puts the three marks on the first top-level element; false when there is none.
bool markRootElement(XMLPropReader& reader);

// The folder `relative` to the folder of the shared library (or program)
// that holds `symbol`: where a plugin finds the files it installs beside it.
std::string folderBeside(const void* symbol, const std::string& relative);

}  // namespace zelobjsys

#endif  // ZELOBJSYS_PROPERTY_FILE_H
