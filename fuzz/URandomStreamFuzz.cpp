// Arbitrary bytes as the object stream of a uniform generator. A generator that reads must
// write a stream that reads back to the same seed and flags.

#include "FuzzUtil.h"
#include "IOException.h"
#include "MCURandom.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mcfuzz::QuietStreams();
  std::istringstream in(mcfuzz::AsString(data, size));
  MCCommonMath::MCURandom random;
  int lines = 0;
  try {
    lines = random.ReadObjectXML(in);
  } catch (MCCommonMetadata::IOException* e) {
    delete e;
    return 0;
  }
  if (lines == 0) {
    // A refused stream leaves the default generator.
    mcfuzz::Check(random.GetSeed() == 34567u && random.GetUseTwister(), "changed by a failure");
    return 0;
  }
  for (int i = 0; i < 4; ++i) {
    const double u = random.GetRandom();
    mcfuzz::Check(u >= 0.0 && u <= 1.0, "uniform value out of [0, 1]");
  }
  std::ostringstream out;
  random.WriteObjectXML(out, 0);
  std::istringstream back(out.str());
  MCCommonMath::MCURandom again(1, false, false, nullptr);
  mcfuzz::Check(again.ReadObjectXML(back) == lines, "written stream does not read back");
  mcfuzz::Check(again.GetSeed() == random.GetSeed(), "seed differs after a round trip");
  mcfuzz::Check(again.GetUsePortable() == random.GetUsePortable(), "portable flag differs");
  mcfuzz::Check(again.GetUseTwister() == random.GetUseTwister(), "twister flag differs");
  return 0;
}
