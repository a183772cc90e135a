// vistemp-trace: turns a drawing into an envelope file, as Vistemp's Load and
// Save do, without a window. Refusals are the window's own messages (exit 1);
// usage errors exit 2; nothing is written on failure.
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "BlockFile.h"
#include "CommandLine.h"
#include "Conversion.h"
#include "PictureReader.h"
#include "SaveFile.h"

namespace {

// The top of the gain scale is 10^(RANGE_DB / 10), which is no longer a number
// beyond about 3082 dB: the envelope would be written as infinities.
constexpr double kLargestRangeDb = 3000.0;

// "RRGGBB" (hexadecimal, either case) as a colour.
std::optional<vistemp::Colour> ParseColour(const std::string& text) {
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return std::nullopt;
  }
  return vistemp::MakeColour(std::stoi(text.substr(0, 2), nullptr, 16), std::stoi(text.substr(2, 2), nullptr, 16),
                             std::stoi(text.substr(4, 2), nullptr, 16));
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Traces the topmost ink of every column of a picture (PNG, JPEG, GIF, BMP, TIFF or WebP) "
               "and writes it as an envelope file for kadenzo.",
               "vistemp-trace"};
  std::string input, output;
  double threshold = 0.5;
  std::string colourText;
  double tolerance = 60.0;
  std::vector<int> regionValues;
  double rangeDb = 0.0;
  int samples = 0;
  double scale = 1.0;
  bool quiet = false;

  app.add_option("IN", input, "The picture")->required();
  app.add_option("OUT", output, "The envelope file to write (.env)")->required();
  auto* thresholdOption = app.add_option("--threshold", threshold, "Ink is darker than this luminance (0 to 1)")
                              ->type_name("T")
                              ->default_str("0.5");
  auto* colourOption = app.add_option("--colour", colourText, "Ink is near this colour instead (RRGGBB)")
                           ->type_name("RRGGBB")
                           ->excludes(thresholdOption)
                           ->check([](const std::string& text) {
                             return ParseColour(text) ? std::string() : "not a colour RRGGBB: " + text;
                           });
  app.add_option("--tolerance", tolerance, "Largest RGB distance from the colour that is ink")
      ->type_name("D")
      ->default_str("60")
      ->needs(colourOption);
  app.add_option("--region", regionValues, "Trace only this rectangle: left, top, width, height in pixels")
      ->type_name("X,Y,W,H")
      ->delimiter(',')
      ->expected(4)
      ->check([](const std::string& text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos
                   ? std::string()
                   : "not a whole number of pixels: " + text;
      });
  auto* logOption =
      app.add_option("--log", rangeDb, "Map the heights onto a gain scale spanning RANGE_DB decibels")
          ->type_name("RANGE_DB");
  auto* resampleOption =
      app.add_option("--resample", samples, "Resample to N samples")->type_name("N")->check(CLI::PositiveNumber);
  app.add_option("--scale", scale, "Scale the resampled envelope so that its largest sample is S")
      ->type_name("S")
      ->needs(resampleOption);
  app.add_flag("--quiet", quiet, "No progress bar");
  cli::AddVersion(app);
  if (const auto exitCode = cli::Parse(app, argc, argv)) return *exitCode;
  RemoveUnfinishedSavesOnTermination();
  if (!regionValues.empty() && (regionValues[2] <= 0 || regionValues[3] <= 0)) {
    std::fprintf(stderr, "--region: the width and height must be positive\n");
    return cli::kUsage;
  }
  if (!(std::fabs(rangeDb) <= kLargestRangeDb)) {
    std::fprintf(stderr, "--log: RANGE_DB must be a number from -%g to %g\n", kLargestRangeDb, kLargestRangeDb);
    return cli::kUsage;
  }

  const cli::DecodedPicture picture = cli::DecodedPicture::Read(input);
  if (!picture.IsValid()) return cli::Refuse(picture.Refusal());
  const vistemp::PixelView pixels = picture.View();

  std::optional<vistemp::Region> region;
  if (!regionValues.empty()) {
    region = vistemp::Region{regionValues[0], regionValues[1], regionValues[2], regionValues[3]};
    if (vistemp::ClipRegion(*region, pixels.width, pixels.height).width == 0) {
      return cli::Refuse("The region lies outside the picture");
    }
  }
  const vistemp::InkRule ink = colourOption->count() > 0 ? vistemp::InkRule::Near(*ParseColour(colourText), tolerance)
                                                         : vistemp::InkRule::Darker(threshold);

  cli::TerminalProgress progress(quiet);
  Block profile;
  vistemp::TraceProfile(profile, pixels, ink, region, &progress);

  vistemp::SaveSettings settings;
  settings.logMapping = logOption->count() > 0;
  settings.rangeDb = rangeDb;
  if (resampleOption->count() > 0) settings.resampleTo = samples;
  if (settings.resampleTo && app.count("--scale") > 0) settings.scaleTo = scale;
  Block envelope;
  try {
    if (!vistemp::MakeSavedEnvelope(envelope, profile, settings)) return cli::Refuse(vistemp::kInvalidPicture);
  } catch (const vistemp::FloatingPointError& error) {
    return cli::Refuse(error.what());
  } catch (const vistemp::NotEnoughMemoryError& error) {
    return cli::Refuse(error.what());
  }
  if (!SaveBlockFile(envelope, output)) return cli::Refuse("Can not create " + output);
  return cli::kDone;
}
