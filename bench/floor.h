// The hand-written floor every case is measured against: a sorted map of 30 named, bounded doubles
// with listeners.
#ifndef ZELOBJSYS_BENCH_FLOOR_H
#define ZELOBJSYS_BENCH_FLOOR_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zelbench {

constexpr int kProperties = 30;

// "Property0" ... "Property29", the names of the floor and of the measured classes.
inline std::string propertyName(int i) { return "Property" + std::to_string(i); }
// Every name of the measured object: "Voltage", then Property1..29.
inline std::vector<std::string> allPropertyNames() {
  std::vector<std::string> names{"Voltage"};
  for (int i = 1; i < kProperties; ++i) names.push_back(propertyName(i));
  return names;
}

// The range of every bounded double of the measured objects, ours and the peers'.
constexpr double kMinimum = 0;
constexpr double kMaximum = 10;
// Outside that range: what a refused set stores.
constexpr double kRefused = 11;

// The value the n-th set of a case stores: two values in turn, so that every set is a change
// and every listener, ours or a peer's, is told of it.
inline double cycleValue(std::int64_t n) { return (n & 1) ? 2.0 : 1.0; }

// What a real property costs at least: a value, its allowed range and the
// functions told of each change.
struct FloorEntry {
  double value = 0;
  double minimum = kMinimum;
  double maximum = kMaximum;
  std::vector<std::function<void(double)>> listeners;
};

// A set by name finds the entry, checks the range, stores and calls the
// listeners; a get finds and loads. Single-threaded.
class Floor {
 public:
  Floor() {
    for (int i = 0; i < kProperties; ++i) entries_.emplace(propertyName(i), FloorEntry());
  }
  void listen(std::string_view name, std::function<void(double)> fn) {
    entries_.find(name)->second.listeners.push_back(std::move(fn));
  }
  // False for an unknown name or a value out of range (nothing changes).
  bool set(std::string_view name, double value) {
    auto it = entries_.find(name);
    if (it == entries_.end()) return false;
    FloorEntry& e = it->second;
    if (value < e.minimum || value > e.maximum) return false;
    e.value = value;
    for (auto& fn : e.listeners) fn(value);
    return true;
  }
  const double* get(std::string_view name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second.value;
  }

 private:
  std::map<std::string, FloorEntry, std::less<>> entries_;
};

}  // namespace zelbench

#endif  // ZELOBJSYS_BENCH_FLOOR_H
