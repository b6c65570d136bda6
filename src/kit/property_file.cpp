// PropertyFile: opening a property file for a factory and defining properties from its sections.
#include "zelobjsys/property_file.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "zelhost/services/zelutil.h"
#include "zelobjsys/property_factory.h"

namespace zelobjsys {
namespace {

constexpr short kElementNode = 1;

bool isFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string resolve(const std::string& name, const std::string& searchDir) {
  if (name.empty() || name[0] == '/' || searchDir.empty() || isFile(name)) return name;
  std::string candidate = searchDir + "/" + name;
  return isFile(candidate) ? candidate : name;
}

}  // namespace

bool markRootElement(XMLPropReader& reader) {
  reader.gotoTop();
  reader.gotoFirstChild();
  while (reader.isPositionValid() && reader.getNodeType() != kElementNode) {
    reader.gotoNextSibling();
  }
  if (!reader.isPositionValid()) return false;
  reader.markRoot();
  reader.markDeviceRoot();
  reader.markHelpRoot();
  return true;
}

PropertyFile::PropertyFile(PropertyFactory& factory, const std::string& name,
                           const std::string& searchDir)
    : factory_(factory),
      name_(name),
      reader_(std::make_unique<XMLPropReader>(resolve(name, searchDir).c_str())),
      previous_(factory.getXMLReader()) {
  markRootElement(*reader_);  // a parsed document always has its one root element
  factory_.setXMLReader(reader_.get());
}

PropertyFile::~PropertyFile() { factory_.setXMLReader(previous_); }

bool PropertyFile::hasSection(const std::string& section) {
  reader_->pushPosition();
  reader_->gotoRoot();
  reader_->gotoFirstChild();
  bool found =
      reader_->isPositionValid() && reader_->findSiblingElement("Section", "name", section.c_str());
  reader_->popPosition();
  return found;
}

void PropertyFile::includeSection(const std::string& section) {
  if (!hasSection(section)) {
    throw new zelutil::ZLException("vornix:xml:sectionNotFound",
                                   "The property file '%s' has no section '%s'.", name_.c_str(),
                                   section.c_str());
  }
  factory_.includeXMLSection(section.c_str(), false);
}

void definePropertiesFromFile(PropertyFactory& factory, const std::string& name,
                              const std::string& section, const std::string& searchDir) {
  PropertyFile file(factory, name, searchDir);
  file.includeSection(section);
}

std::string folderBeside(const void* symbol, const std::string& relative) {
  Dl_info info{};
  if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) return relative;
  std::string self(info.dli_fname);
  std::size_t slash = self.rfind('/');
  std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
  return relative.empty() ? dir : dir + "/" + relative;
}

}  // namespace zelobjsys
