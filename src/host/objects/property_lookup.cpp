// Property name lookup: exact by map, then case-insensitive and abbreviation by ranges of folded
// names.
#include "property_lookup.h"

#include <string>

#include "object_core.h"
#include "zelhost/objects/qx_class.h"
#include "zelhost/services/exceptions.h"

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

// The candidates of both stages in one walk down each list's range: folded
// names equal to `folded`, and (while none is equal) names starting with it.
// Equal names come first in a range, and once one is found the abbreviations
// no longer count, so the walk stops there.
void collect(const QxLookupLists& lists, const std::string& folded, Candidates* equal,
             Candidates* prefixed) {
  for (std::size_t l = 0; l < lists.size(); ++l) {
    const QxObjectCore* list = lists[l];
    const QxNameIndex* index = list ? list->index() : nullptr;
    if (!index) continue;
    for (auto it = index->folded.lower_bound(folded); it != index->folded.end(); ++it) {
      if (it->first.compare(0, folded.size(), folded) != 0) break;
      const bool same = it->first.size() == folded.size();
      if (!same && !equal->empty()) break;
      Candidates* into = same ? equal : prefixed;
      if (!hasKey(*into, it->second->key())) into->push_back(it->second);
    }
  }
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

// The depth bound guards against a superclass chain that loops.
constexpr int kMaxClassDepth = 256;

QxObjectCore* classList(const QxClass* cls) {
  QxObjectCore* host = QxObjectCore::of(cls->getInterface());
  return host ? host->existingList(QxObjectCore::kClassPropertyList) : nullptr;
}

// The exact stage straight down the chain: the usual lookup ends here, so it
// collects no lists.
QxObjectCore* findExact(const QxClass* cls, const QxObjectCore* own, const char* name) {
  const QxExactNames::Key key = QxExactNames::keyOf(name);
  for (int depth = 0; cls && depth < kMaxClassDepth; cls = cls->getSuperClass(), ++depth) {
    const QxObjectCore* list = classList(cls);
    if (QxObjectCore* hit = list ? list->findExact(key) : nullptr) return hit;
  }
  return own ? own->findExact(key) : nullptr;
}

}  // namespace

QxInterface* hoxLookupProperty(const QxClass* cls, const QxObjectCore* own, const char* name) {
  if (!name || !*name) return nullptr;
  if (QxObjectCore* hit = findExact(cls, own, name)) return hit->handle();
  QxLookupLists lists;
  for (int depth = 0; cls && depth < kMaxClassDepth; cls = cls->getSuperClass(), ++depth) {
    if (const QxObjectCore* list = classList(cls)) lists.push_back(list);
  }
  if (own) lists.push_back(own);
  Candidates equal, prefixed;
  collect(lists, foldCase(name), &equal, &prefixed);
  const Candidates& found = equal.empty() ? prefixed : equal;
  if (found.size() == 1) return found.front()->handle();
  if (found.size() > 1) throwAmbiguous(name, found);
  return nullptr;
}
