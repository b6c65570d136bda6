// Hints after property errors.
#include "hints.h"

#include <algorithm>
#include <cctype>

#include "properties.h"

namespace zelsh {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::size_t editDistance(const std::string& a, const std::string& b) {
  auto same = [&](std::size_t i, std::size_t j) {
    return std::tolower(static_cast<unsigned char>(a[i])) ==
           std::tolower(static_cast<unsigned char>(b[j]));
  };
  // d[i][j]: edits between the first i letters of a and the first j of b.
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same(i - 1, j - 1) ? 0 : 1)});
      if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1))
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);  // two letters swapped
    }
  }
  return d[a.size()][b.size()];
}

std::string closestName(const std::vector<std::string>& names, const std::string& given) {
  std::size_t limit = std::max<std::size_t>(1, given.size() / 3);
  std::string best;
  std::size_t bestDistance = limit + 1;
  bool tie = false;
  for (const std::string& name : names) {
    std::size_t d = editDistance(name, given);
    if (d < bestDistance) {
      best = name;
      bestDistance = d;
      tie = false;
    } else if (d == bestDistance) {
      tie = true;
    }
  }
  return tie ? "" : best;
}

std::string propertyHint(QxInterface* obj, const std::string& name, const std::string& errorId) {
  if (obj == nullptr || !obj->isValid()) return "";
  if (endsWith(errorId, ":invalidProperty")) {
    std::string close = closestName(shownProperties(obj), name);
    return close.empty() ? "" : "Did you mean '" + close + "'?";
  }
  if (endsWith(errorId, ":invalidEnum") || endsWith(errorId, ":invalidEnumValue")) {
    std::string prop = canonicalProperty(obj, name);
    std::vector<std::string> texts =
        prop.empty() ? std::vector<std::string>() : enumTexts(obj, prop);
    if (texts.empty()) return "";
    std::string hint = "Allowed values: ";
    for (std::size_t i = 0; i < texts.size(); ++i) hint += (i > 0 ? ", '" : "'") + texts[i] + "'";
    return hint + ".";
  }
  return "";
}

}  // namespace zelsh
