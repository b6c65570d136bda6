// Internal: property name lookup over named lists (exact, then ignoring case, then unique
// abbreviation).
#ifndef ZELHOST_SRC_PROPERTY_LOOKUP_H
#define ZELHOST_SRC_PROPERTY_LOOKUP_H

#include <cstddef>
#include <vector>

class QxClass;
class QxInterface;
class QxObjectCore;

// A short list kept inline, spilling to the heap past N: every user's get and
// set collects its lists and candidates in these, and the usual few fit.
template <class T, std::size_t N>
class QxSmallList {
 public:
  void push_back(T value) {  // NOLINT(readability-identifier-naming): as std::vector
    if (count_ < N) {
      inline_[count_] = value;
    } else {
      more_.push_back(value);
    }
    ++count_;
  }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  T operator[](std::size_t i) const { return i < N ? inline_[i] : more_[i - N]; }
  T front() const { return (*this)[0]; }

 private:
  T inline_[N] = {};
  std::size_t count_ = 0;
  std::vector<T> more_;
};

using QxLookupLists = QxSmallList<const QxObjectCore*, 8>;

// Finds a descriptor host object in the property lists of cls and its
// superclasses (own class first), then in `own` (an object's instance list;
// may be null), searched in that order. Each stage (exact name, name ignoring
// ASCII case, abbreviation ignoring case) looks at every list; the first stage
// with candidates decides. A name found in an earlier list hides the same
// exact name in later ones. Throws AmbiguousPropertyException* when a stage
// finds several; null when none, or for a null or empty name.
QxInterface* hoxLookupProperty(const QxClass* cls, const QxObjectCore* own, const char* name);

#endif  // ZELHOST_SRC_PROPERTY_LOOKUP_H
