// Property name lookup: exact by map, then case-insensitive and abbreviation by ranges of folded
// names.
#include "property_lookup.h"

#include <string>

#include "object_core.h"
#include "zelhost/exceptions.h"
#include "zelhost/qx_class.h"

namespace {

using Candidates = QxSmallList<QxObjectCore*, 4>;

std::string foldCase(const char* s) {
  std::string out(s);
  for (char& c : out) c = hoxLowerAscii(c);
  return out;
}

bool hasKey(const Candidates& found, const std::string& key) {
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (found[i]->key() == key) return true;
  }
  return false;
}

// Candidates of one stage: folded names equal to `folded` (prefix false) or
// starting with it (prefix true).
Candidates collect(const QxLookupLists& lists, const std::string& folded, bool prefix) {
  Candidates found;
  for (std::size_t l = 0; l < lists.size(); ++l) {
    const QxObjectCore* list = lists[l];
    const QxNameIndex* index = list ? list->index() : nullptr;
    if (!index) continue;
    for (auto it = index->folded.lower_bound(folded); it != index->folded.end(); ++it) {
      bool fits = prefix ? it->first.compare(0, folded.size(), folded) == 0 : it->first == folded;
      if (!fits) break;
      if (!hasKey(found, it->second->key())) found.push_back(it->second);
    }
  }
  return found;
}

[[noreturn]] void throwAmbiguous(const char* name, const Candidates& found) {
  const std::size_t shown = 10;
  std::string msg = std::string("Ambiguous property name '") + name + "': it could be ";
  for (std::size_t i = 0; i < found.size() && i < shown; ++i) {
    if (i) msg += ", ";
    msg += "'" + found[i]->key() + "'";
  }
  if (found.size() > shown) msg += ", ...";
  msg += ".";
  throw new AmbiguousPropertyException(msg);
}

}  // namespace

void hoxAppendClassLists(const QxClass* cls, QxLookupLists* lists) {
  // The depth bound guards against a superclass chain that loops.
  for (int depth = 0; cls && depth < 256; cls = cls->getSuperClass(), ++depth) {
    QxObjectCore* host = QxObjectCore::of(cls->getInterface());
    if (QxObjectCore* list = host ? host->existingList(QxObjectCore::kClassPropertyList) : nullptr)
      lists->push_back(list);
  }
}

QxInterface* hoxLookupProperty(const QxLookupLists& lists, const char* name) {
  if (!name || !*name) return nullptr;
  const QxExactNames::Key key = QxExactNames::keyOf(name);
  for (std::size_t l = 0; l < lists.size(); ++l) {
    if (QxObjectCore* hit = lists[l]->findExact(key)) return hit->handle();
  }
  std::string folded = foldCase(name);
  for (bool prefix : {false, true}) {
    Candidates found = collect(lists, folded, prefix);
    if (found.size() == 1) return found.front()->handle();
    if (found.size() > 1) throwAmbiguous(name, found);
  }
  return nullptr;
}
