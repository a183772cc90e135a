// Arbitrary bytes read as a BMP picture, then traced and converted as the
// converter's Load and Save commands do. No input may crash or hang.
#include <QImage>
#include <QImageReader>
#include <cstddef>
#include <cstdint>

#include "QtPicture.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Pictures of up to 16 MB keep every run short; larger ones are refused by the reader.
  QImageReader::setAllocationLimit(16);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 20) return 0;
  QImage picture;
  if (!picture.loadFromData(data, static_cast<int>(size), "BMP")) return 0;

  Block profile;
  vistemp::TraceProfile(profile, picture, 0.5);
  for (const bool logMapping : {false, true}) {
    Block envelope;
    if (!vistemp::MakeEnvelope(envelope, profile, logMapping, 60.0)) continue;
    if (envelope.GetSize() < 2) continue;
    for (const int samples : {envelope.GetSize() / 2 + 1, 1000}) {
      Block resampled = vistemp::Resample(envelope, samples);
      try {
        vistemp::ScaleTo(resampled, 1.0);
      } catch (const vistemp::FloatingPointError&) {
        // A picture without ink has nothing to scale; the window says so.
      }
    }
  }
  return 0;
}
