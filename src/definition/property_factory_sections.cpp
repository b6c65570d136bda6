// PropertyFactory: sections of an XML property file, their includes and the index that finds them.
#include <functional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "property_factory_internal.h"
#include "zelhost/services/services.h"
#include "zelhost/services/zelhox.h"
#include "zelhost/services/zelutil.h"

namespace zelobjsys {

using namespace xmlfile;

namespace {

// Names that are not keyable fall back to the reader's search, one walk over
// the siblings per include name; this many sibling visits in one definition
// is far beyond any real file, so a hostile one stops here instead of hanging.
constexpr std::size_t kMaxSearchedSiblings = 1000000;

std::string foldAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Names that the reader's comparison finds equal only to the same name with
// ASCII letters folded: outside printable ASCII it folds more than letters,
// and '?' or an empty text is what an untranscodable name reads back as.
bool keyable(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c >= 0x7F || c == '?') return false;
  }
  return true;
}

void gotoMark(XMLPropReader& reader, bool deviceRoot) {
  if (deviceRoot) {
    reader.gotoDeviceRoot();
  } else {
    reader.gotoRoot();
  }
}

std::string sectionName(XMLPropReader& reader, const void* section) {
  SavedPosition saved(reader);
  reader.gotoBookmark(section);
  return attributeOf(reader, "name", static_cast<int>(kComparedChars));
}

// One thing a definition does, in file order: add the property element at
// `node`, or warn that the include of the section at `node` closes a cycle.
struct Step {
  const void* node;
  bool cycle;
};

// Follows the includes of one section without defining anything, on an
// explicit stack so that no file can exhaust the machine stack, and refuses
// the whole definition with a host error where the file asks for too much.
class IncludePlanner {
 public:
  // The section that an include of the name parses (null: none) and how many
  // siblings finding it walked over (0 for an indexed answer).
  using Finder = std::function<std::pair<const void*, std::size_t>(const std::string&)>;

  IncludePlanner(XMLPropReader& reader, Finder find) : reader_(reader), find_(std::move(find)) {}

  std::vector<Step> plan(const void* section) {
    top_ = section;
    enter(section);
    while (!stack_.empty()) {
      const void* node = stack_.back().next;
      if (node == nullptr) {
        open_.erase(stack_.back().section);
        stack_.pop_back();
        continue;
      }
      reader_.gotoBookmark(node);
      reader_.gotoNextSibling();
      stack_.back().next = reader_.getBookmark();
      reader_.gotoBookmark(node);
      visit(node);
    }
    return std::move(steps_);
  }

 private:
  struct Frame {
    const void* section;
    const void* next;  // the next child to visit; null after the last
  };

  void visit(const void* node) {
    if (reader_.isNodeName("property")) {
      if (attributeOf(reader_, "optional", kOptionalChars) == "on") return;
      takeStep(stack_.back().section);
      steps_.push_back({node, false});
    } else if (reader_.isNodeName("include")) {
      const std::pair<const void*, std::size_t> found =
          find_(attributeOf(reader_, "tag", kShortChars));
      searched_ += found.second;
      if (searched_ > kMaxSearchedSiblings) {
        refuse("vornix:xml:includeLimit",
               "needs more than " + std::to_string(kMaxSearchedSiblings) +
                   " steps to find the sections it includes",
               stack_.back().section);
      }
      if (found.first == nullptr) return;
      if (open_.count(found.first) != 0) {
        steps_.push_back({found.first, true});
        return;
      }
      enter(found.first);
    }
  }

  void enter(const void* section) {
    if (stack_.size() > PropertyFactory::kMaxIncludeDepth) {
      refuse(
          "vornix:xml:includeDepth",
          "nests includes more than " + std::to_string(PropertyFactory::kMaxIncludeDepth) + " deep",
          section);
    }
    takeStep(section);
    open_.insert(section);
    reader_.gotoBookmark(section);
    reader_.gotoFirstChild();
    stack_.push_back({section, reader_.getBookmark()});
  }

  // Counts one section entered or one property planned.
  void takeStep(const void* section) {
    if (++stepsTaken_ <= PropertyFactory::kMaxSectionSteps) return;
    refuse("vornix:xml:includeLimit",
           "expands to more than " + std::to_string(PropertyFactory::kMaxSectionSteps) +
               " sections and properties",
           section);
  }

  [[noreturn]] void refuse(const char* id, const std::string& what, const void* at) {
    const std::string message = "The section '" + sectionName(reader_, top_) + "' " + what +
                                " (at the section '" + sectionName(reader_, at) +
                                "'); none of its properties is defined.";
    zelhox::fcns::error(id, message.c_str());
  }

  XMLPropReader& reader_;
  Finder find_;
  const void* top_ = nullptr;
  std::vector<Frame> stack_;
  // The sections on the stack, against include cycles.
  std::unordered_set<const void*> open_;
  std::vector<Step> steps_;
  std::size_t stepsTaken_ = 0;
  std::size_t searched_ = 0;
};

}  // namespace

void PropertyFactory::parseXMLSection() {
  if (reader_ == nullptr || !reader_->isPositionValid()) return;
  defineSection(reader_->getBookmark());
}

void PropertyFactory::includeXMLSection(const char* sectionName, bool fromDeviceRoot) {
  if (reader_ == nullptr || sectionName == nullptr) return;
  const std::string wanted = zelutil::truncate(sectionName, kComparedChars);
  const void* section = sectionIndex(fromDeviceRoot).find(*reader_, wanted).section;
  if (section == nullptr) return;
  SavedPosition saved(*reader_);
  reader_->gotoBookmark(section);
  parseXMLSection();
}

void PropertyFactory::defineSection(const void* section) {
  SavedPosition saved(*reader_);
  // Included sections are searched from the device root.
  IncludePlanner planner(*reader_, [this](const std::string& name) {
    SectionIndex& index = sectionIndex(true);
    const SectionIndex::Found found = index.find(*reader_, name);
    return std::make_pair(found.section, found.searched ? index.siblings() : std::size_t{0});
  });
  for (const Step& step : planner.plan(section)) {
    reader_->gotoBookmark(step.node);
    if (!step.cycle) {
      addProperty(createPropFromXMLNode(), true);
      continue;
    }
    const std::string message = "The section '" + attributeOf(*reader_, "name", kHelpChars) +
                                "' includes itself; the repeated include is skipped.";
    hoxWarnMsgIdAndTxt("vornix:xml:includeCycle", message.c_str());
  }
}

PropertyFactory::SectionIndex& PropertyFactory::sectionIndex(bool fromDeviceRoot) {
  std::unique_ptr<SectionIndex>& index = sectionIndexes_[fromDeviceRoot ? 1 : 0];
  if (!index || !index->isFor(*reader_)) index.reset(new SectionIndex(*reader_, fromDeviceRoot));
  return *index;
}

// ---------------------------------------------------------------- the index

PropertyFactory::SectionIndex::SectionIndex(XMLPropReader& reader, bool fromDeviceRoot)
    : reader_(&reader), fromDeviceRoot_(fromDeviceRoot) {
  SavedPosition saved(reader);
  gotoMark(reader, fromDeviceRoot);
  mark_ = reader.getBookmark();
  if (!reader.isPositionValid()) return;
  reader.gotoFirstChild();
  first_ = reader.getBookmark();
  for (; reader.isPositionValid(); reader.gotoNextSibling(), ++siblings_) {
    // An empty Section defines nothing, so only those with content are kept.
    if (!reader.hasChildNodes() || !reader.isNodeName("Section")) continue;
    const std::string name = attributeOf(reader, "name", static_cast<int>(kComparedChars));
    if (keyable(name)) {
      byName_.emplace(foldAscii(name), Entry{reader.getBookmark(), siblings_});
    } else if (firstUnkeyed_ == kNone) {
      firstUnkeyed_ = siblings_;
    }
  }
}

bool PropertyFactory::SectionIndex::isFor(XMLPropReader& reader) const {
  if (&reader != reader_) return false;
  SavedPosition saved(reader);
  gotoMark(reader, fromDeviceRoot_);
  return reader.getBookmark() == mark_;
}

PropertyFactory::SectionIndex::Found PropertyFactory::SectionIndex::find(XMLPropReader& reader,
                                                                         const std::string& name) {
  if (first_ == nullptr) return {nullptr, false};
  if (!keyable(name)) return search(reader, name);
  auto found = byName_.find(foldAscii(name.substr(0, kComparedChars)));
  const std::size_t at = found != byName_.end() ? found->second.ordinal : kNone;
  // A section whose name has no key, before the keyed match, may match too.
  if (firstUnkeyed_ != kNone && (at == kNone || firstUnkeyed_ < at)) return search(reader, name);
  return {at != kNone ? found->second.section : nullptr, false};
}

PropertyFactory::SectionIndex::Found PropertyFactory::SectionIndex::search(
    XMLPropReader& reader, const std::string& name) {
  auto known = searched_.find(name);
  if (known != searched_.end()) return {known->second, false};
  SavedPosition saved(reader);
  reader.gotoBookmark(first_);
  const void* section = nullptr;
  if (reader.findSiblingElement("Section", "name", name.c_str()) && reader.hasChildNodes()) {
    section = reader.getBookmark();
  }
  searched_.emplace(name, section);
  return {section, true};
}

}  // namespace zelobjsys
