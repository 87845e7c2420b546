#include "MCURandom.h"

#include <cmath>
#include <cstring>
#include <iostream>
#include <new>

#include "MCComponentDisplay.h"
#include "RandomKernels.h"
#include "XMLObj.h"

namespace MCCommonMath {

namespace rk = randomkernels;
using MCCommon::MCComponentDisplay;
using MCCommonXML::XMLObj;

namespace {
constexpr char kMagic[4] = {'M', 'C', 'U', 'R'};
constexpr int kBinaryBytes = 20;
constexpr int kXMLElements = 5;
constexpr const char* kObjectName = "MCURandom";

std::unique_ptr<MCRandomTwister> NewTwister(uint32_t seed) {
  std::unique_ptr<MCRandomTwister> t(new (std::nothrow) MCRandomTwister());
  if (t) t->Initialize(seed);
  return t;
}

void PutLE(char* out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xffu);
}

uint64_t GetLE(const char* in, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i)
    v |= static_cast<uint64_t>(static_cast<unsigned char>(in[i])) << (8 * i);
  return v;
}

// A saved seed is an unsigned 32-bit value held in a double; anything else marks a corrupt
// record (and would not convert).
bool SeedFromDouble(double d, uint32_t& seed) {
  if (!(d >= 0.0 && d < 4294967296.0)) return false;
  seed = static_cast<uint32_t>(d);
  return true;
}
}  // namespace

MCURandom::MCURandom() : MCURandom(34567, true, true, nullptr) {}

MCURandom::MCURandom(unsigned long seed, bool usePortable, bool useTwister,
                     MCCommon::MCRandom* user)
    : fSeed(static_cast<uint32_t>(seed)),
      fbUsePortable(usePortable),
      fbUseTwister(usePortable && useTwister && user == nullptr),
      fpUserRNG(user) {
  if (fbUseTwister) fpTwister = NewTwister(fSeed);
}

MCURandom::MCURandom(const MCURandom& other)
    : fSeed(other.fSeed),
      fbUsePortable(other.fbUsePortable),
      fbUseTwister(other.fbUseTwister),
      fpUserRNG(other.fpUserRNG) {
  if (fbUseTwister) fpTwister = NewTwister(fSeed);
}

MCURandom& MCURandom::operator=(const MCURandom& other) {
  if (this == &other) return *this;
  fSeed = other.fSeed;
  fbUsePortable = other.fbUsePortable;
  fbUseTwister = other.fbUseTwister;
  fpUserRNG = other.fpUserRNG;
  fpTwister.reset();
  if (fbUseTwister) fpTwister = NewTwister(fSeed);
  return *this;
}

MCURandom::~MCURandom() = default;

void MCURandom::SetSeed(unsigned long seed) {
  fSeed = static_cast<uint32_t>(seed);
  if (!fbUsePortable) rk::RuntimeSrand(fSeed);
  if (fpTwister) fpTwister->Initialize(fSeed);
}

void MCURandom::SetUsePortable(bool b) {
  fbUsePortable = b;
  if (!b) {
    fpTwister.reset();
    fbUseTwister = false;
  }
}

double MCURandom::GetRandom() {
  if (fpUserRNG != nullptr) return fpUserRNG->GetRandom();
  if (!fbUsePortable) return rk::RuntimeRand() / 32767.0;
  if (!fbUseTwister) {
    fSeed = rk::CongruentialStep(fSeed);
    return fSeed * rk::kTwoToMinus31;
  }
  // The twister flag without a Twister means its block could not be allocated.
  return fpTwister ? fpTwister->GetRealOpen() : 0.0;
}

int MCURandom::WriteObject(std::ostream& os) const {
  if (!os.good()) return 0;
  char buf[kBinaryBytes];
  std::memcpy(buf, kMagic, sizeof(kMagic));
  uint64_t bits = 0;
  const double seed = static_cast<double>(fSeed);
  std::memcpy(&bits, &seed, sizeof(bits));
  PutLE(buf + 4, bits, 8);
  PutLE(buf + 12, fbUsePortable ? 1u : 0u, 4);
  PutLE(buf + 16, fbUseTwister ? 1u : 0u, 4);
  os.write(buf, kBinaryBytes);
  return kBinaryBytes;
}

int MCURandom::ReadObject(std::istream& is) {
  if (!is.good()) return 0;
  char buf[kBinaryBytes];
  if (!is.read(buf, sizeof(kMagic)) || std::memcmp(buf, kMagic, sizeof(kMagic)) != 0) return 0;
  if (!is.read(buf + 4, kBinaryBytes - 4)) return 0;
  const uint64_t bits = GetLE(buf + 4, 8);
  double d = 0.0;
  std::memcpy(&d, &bits, sizeof(d));
  uint32_t seed = 0;
  if (!SeedFromDouble(d, seed)) return 0;
  ApplyRestored(seed, GetLE(buf + 12, 4) == 1u, GetLE(buf + 16, 4) == 1u);
  return kBinaryBytes;
}

int MCURandom::WriteObjectXML(std::ostream& os, int tabs) const {
  if (!os.good()) return 0;
  const XMLObj obj(kObjectName, tabs);
  obj.StartObj(os);
  obj.WriteSubElement(os, static_cast<double>(fSeed));
  obj.WriteSubElement(os, fbUsePortable);
  obj.WriteSubElement(os, fbUseTwister);
  obj.EndObj(os);
  return kXMLElements;
}

int MCURandom::ReadObjectXML(std::istream& is) {
  double d = 0.0;
  int portable = 0, twister = 0;
  uint32_t seed = 0;
  if (!XMLObj::ParseStartObj(is, kObjectName) || !XMLObj::ParseValue(is, d) ||
      !SeedFromDouble(d, seed) || !XMLObj::ParseValue(is, portable) ||
      !XMLObj::ParseValue(is, twister) || !XMLObj::ParseEndObj(is)) {
    std::cerr << "Failure reading MCURandom!" << std::endl;
    return 0;
  }
  ApplyRestored(seed, portable == 1, twister == 1);
  return kXMLElements;
}

void MCURandom::ApplyRestored(uint32_t seed, bool usePortable, bool useTwister) {
  fSeed = seed;
  fbUsePortable = usePortable;
  fbUseTwister = usePortable && useTwister && fpUserRNG == nullptr;
  if (!fbUseTwister) {
    fpTwister.reset();
  } else if (fpTwister) {
    fpTwister->Initialize(fSeed);
  } else {
    fpTwister = NewTwister(fSeed);
  }
}

void MCURandom::Display() const {
  MCComponentDisplay::DisplayText(1, "MCURandom display start");
  MCComponentDisplay::DisplayDF("The seed", static_cast<double>(fSeed));
  MCComponentDisplay::DisplayB("Portable RNG indicator", fbUsePortable);
  MCComponentDisplay::DisplayB("Mersenne Twister RNG indicator", fbUseTwister);
  MCComponentDisplay::DisplayText(1, "MCURandom display end");
}

}  // namespace MCCommonMath
