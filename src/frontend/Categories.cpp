#include "Categories.h"

#include <algorithm>
#include <cmath>

namespace MCFrontEnd {

namespace {

// Whole keys below this take a direct table: category codes, label indices and text ids.
constexpr double kSmallKeys = 1 << 20;

bool Small(double key) {
  return key >= 0.0 && key < kSmallKeys && std::floor(key) == key;
}

}  // namespace

std::int32_t TextDictionary::Learn(std::string_view text) {
  const auto found = fIds.find(text);
  if (found != fIds.end()) return found->second;
  const auto id = static_cast<std::int32_t>(fTexts.size());
  fTexts.emplace_back(text);
  fIds.emplace(fTexts.back(), id);
  return id;
}

std::int32_t TextDictionary::Find(std::string_view text) const {
  const auto found = fIds.find(text);
  return found == fIds.end() ? -1 : found->second;
}

void KeySet::Insert(double key) {
  if (Small(key)) {
    const auto k = static_cast<std::size_t>(key);
    if (k >= fSmall.size()) fSmall.resize(std::max<std::size_t>(k + 1, 2 * fSmall.size()));
    if (!fSmall[k]) {
      fSmall[k] = true;
      ++fNSmall;
    }
    return;
  }
  fOther.insert(key);
}

void KeySet::Merge(const KeySet& other) {
  for (std::size_t k = 0; k < other.fSmall.size(); ++k) {
    if (other.fSmall[k]) Insert(static_cast<double>(k));
  }
  for (const double key : other.fOther) fOther.insert(key);
}

std::vector<double> KeySet::Keys() const {
  std::vector<double> keys(fOther.begin(), fOther.end());
  for (std::size_t k = 0; k < fSmall.size(); ++k) {
    if (fSmall[k]) keys.push_back(static_cast<double>(k));
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

void KeyCodes::Set(double key, std::int32_t code) {
  if (Small(key)) {
    const auto k = static_cast<std::size_t>(key);
    if (k >= fSmall.size()) fSmall.resize(k + 1, -1);
    fSmall[k] = code;
    return;
  }
  fOther[key == 0.0 ? 0.0 : key] = code;
}

std::int32_t KeyCodes::FindOther(double key) const {
  const auto found = fOther.find(key == 0.0 ? 0.0 : key);
  return found == fOther.end() ? -1 : found->second;
}

}  // namespace MCFrontEnd
