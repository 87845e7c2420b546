#ifndef MCSTAT_FRONTEND_CATEGORIES_H_
#define MCSTAT_FRONTEND_CATEGORIES_H_

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "frontend/mcfrontend_export.h"

// Category keys: a categorical value travels through the passes as a double, its key: the
// number itself, the index of a label, or the id of a text in a dictionary. Small whole keys
// (the usual category codes and ids) take direct tables; others a hash table.
namespace MCFrontEnd {

// Distinct texts, each with an id in the order first met. Ids are stable; no text is ever
// removed.
class MCFRONTEND_EXPORT TextDictionary {
 public:
  // The text's id, a new one for a text not seen before.
  std::int32_t Learn(std::string_view text);
  // The text's id, or -1.
  std::int32_t Find(std::string_view text) const;
  const std::string& Text(std::int32_t id) const { return fTexts[static_cast<std::size_t>(id)]; }
  std::size_t Size() const { return fTexts.size(); }

 private:
  std::deque<std::string> fTexts;  // a deque keeps the texts where the views point
  std::unordered_map<std::string_view, std::int32_t> fIds;
};

// A set of keys; -0.0 and 0.0 are one key.
class MCFRONTEND_EXPORT KeySet {
 public:
  void Insert(double key);
  void Merge(const KeySet& other);
  bool Empty() const { return fNSmall == 0 && fOther.empty(); }
  // The keys in ascending order.
  std::vector<double> Keys() const;

 private:
  std::vector<bool> fSmall;  // whole keys 0 <= k < kSmallKeys
  std::size_t fNSmall = 0;
  std::unordered_set<double> fOther;
};

// Codes of keys: -1 for a key without one.
class MCFRONTEND_EXPORT KeyCodes {
 public:
  void Set(double key, std::int32_t code);
  std::int32_t Find(double key) const {
    if (key >= 0.0 && key < static_cast<double>(fSmall.size())) {
      const auto k = static_cast<std::size_t>(key);
      if (static_cast<double>(k) == key) return fSmall[k];
    }
    return FindOther(key);
  }

 private:
  std::int32_t FindOther(double key) const;

  std::vector<std::int32_t> fSmall;
  std::unordered_map<double, std::int32_t> fOther;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_CATEGORIES_H_
