// Internal: property name lookup over named lists (exact, then ignoring case, then unique
// abbreviation).
#ifndef ZELHOST_SRC_PROPERTY_LOOKUP_H
#define ZELHOST_SRC_PROPERTY_LOOKUP_H

#include <vector>

class QxClass;
class QxInterface;
class QxObjectCore;

// The property lists of a class and its superclasses, own class first.
void hoxAppendClassLists(const QxClass* cls, std::vector<const QxObjectCore*>* lists);

// Finds a descriptor host object in the lists, searched in order. Each
// stage (exact name, name ignoring ASCII case, abbreviation ignoring case)
// looks at every list; the first stage with candidates decides. A name found
// in an earlier list hides the same exact name in later ones. Throws
// AmbiguousPropertyException* when a stage finds several; null when none,
// or for a null or empty name.
QxInterface* hoxLookupProperty(const std::vector<const QxObjectCore*>& lists, const char* name);

#endif  // ZELHOST_SRC_PROPERTY_LOOKUP_H
