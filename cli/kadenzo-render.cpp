// kadenzo-render: the rhythm of kadenzo's window from the command line, for
// batch work and scripting. The same settings and seed give the same file as
// the window, byte for byte.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Block.h"
#include "CommandLine.h"
#include "EnvelopeCurve.h"
#include "LearnedSettings.h"
#include "MemoryBudget.h"
#include "Messages.h"
#include "RandomGenerator.h"
#include "RenderedSoundFile.h"
#include "RhythmEngine.h"
#include "SaveFile.h"
#include "SoundStore.h"
#include "SoundFile.h"
#include "SourceGenerator.h"
#include "WaveFile.h"

namespace {

// The window's envelope: 539 points and the seam point.
constexpr int kEnvelopeValues = 540;

struct Options {
  std::string in;
  std::string channel = "right";
  bool create = false;
  SourceSettings source;
  std::string envelopeFile;
  std::vector<double> points;
  RhythmFields rhythm{1.0, 10.0, 10.0, 100.0, mtAmpDet};
  std::string type = "amp+det";
  ModulatorSettings modulator;
  std::optional<std::uint64_t> seed;
  int variations = 1;
  std::string periodsFile;
  std::string out;
  std::string format = "wav16";
  bool quiet = false;
  std::string learn;
  std::string envelopeOut;
  bool json = false;
};

// The window reads its number fields in single precision.
double Single(double value) { return static_cast<float>(value); }

std::optional<int> ParseType(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  static const std::map<std::string, int> kTypes = {
      {"amplitude", mtAmplitude},   {"detonation", mtDetonation}, {"amp+det", mtAmpDet},
      {"distortion", mtDistortion}, {"frequency", mtFrequency},   {"amp+freq", mtAmpFreq},
      {"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}};
  const auto found = kTypes.find(name);
  if (found == kTypes.end()) return std::nullopt;
  return found->second;
}

// NAME-<seed>.EXT for one of several variations.
std::string VariationName(const std::string& name, std::uint64_t seed) {
  const std::size_t slash = name.find_last_of('/');
  const std::size_t dot = name.find_last_of('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const std::string stem = extension ? name.substr(0, dot) : name;
  return stem + "-" + std::to_string(seed) + (extension ? name.substr(dot) : std::string());
}

bool WritePeriods(const std::vector<PeriodRecord>& periods, const std::string& fileName) {
  std::string text = "index,first_sample,length,magnitude\n";
  char row[128];
  for (std::size_t i = 0; i < periods.size(); ++i) {
    std::snprintf(row, sizeof row, "%zu,%lld,%lld,%.17g\n", i, static_cast<long long>(periods[i].first),
                  static_cast<long long>(periods[i].length), periods[i].magnitude);
    text += row;
  }
  SaveFile file(fileName);
  return file.Open() && file.Write(text.data(), text.size()) && file.Commit();
}

// The rhythm of a sound file, or why there is none.
std::variant<LearnedRhythm, std::string> Learn(const std::string& fileName, Progress* progress) {
  const WaveFileContent content = ReadSoundFile(fileName);
  if (content.result != WaveReadResult::Loaded) return ReadRefusalMessage(content, fileName);
  LearnedRhythm rhythm = LearnFromSamples(content.samples.get(), content.frames, content.format.nChannels,
                                          static_cast<int>(content.format.nSamplesPerSec), progress);
  if (rhythm.confidence < kLeastConfidence) return NoRhythmMessage(fileName, rhythm.confidence);
  return rhythm;
}

Block EnvelopeBlock(const LearnedRhythm& rhythm) {
  Block block(static_cast<int>(rhythm.envelope.size()));
  std::copy(rhythm.envelope.begin(), rhythm.envelope.end(), block.GetData());
  return block;
}

// The envelope's points and seam point, as the window holds them after
// "L&oad", "Test" or typed anchors.
std::optional<std::vector<double>> MakeEnvelope(const Options& options) {
  std::vector<double> values;
  if (!options.envelopeFile.empty()) {
    if (!EnvelopePointsFromFile(options.envelopeFile, 1, values)) return std::nullopt;
  } else {
    const std::vector<double> anchors = options.points.empty() ? TestCurveAnchors() : options.points;
    values = CyclicCurve(anchors, kEnvelopeValues);
    values.pop_back();
    for (double& v : values) v = TableValue(v);
  }
  values.push_back(0.0);  // the seam point, which the engine writes
  return values;
}

// Stores the rhythm's values in the sound, peak-normalised to 32767 as the
// window stores them, and brings the values to full scale 1 by the same peak.
// A rhythm of zeros leaves the sound as it was, as in the window; the values
// then hold its samples.
void ToFullScale(float* values, SoundStore& sound) {
  const int channels = sound.GetChannels();
  const std::size_t frames = static_cast<std::size_t>(sound.GetFrames());
  const std::size_t count = frames * channels;
  const float* channelValues[kMaxRhythmChannels] = {};
  for (int c = 0; c < channels; ++c) channelValues[c] = values + frames * c;
  const bool stored = sound.SetFromChannels(channelValues, channels, sound.GetSampleRate());
  if (stored) {
    float peak = 0;
    for (std::size_t k = 0; k < count; ++k) peak = std::max(peak, std::fabs(values[k]));
    for (std::size_t k = 0; k < count; ++k) values[k] /= peak;
  } else {
    for (int c = 0; c < channels; ++c) {
      for (std::size_t j = 0; j < frames; ++j) values[frames * c + j] = sound.GetSamples(0)[j * channels + c] / 32767.0f;
    }
  }
}

class Renderer {
 public:
  Renderer(const Options& options, std::vector<double> envelope, cli::TerminalProgress& progress)
      : m_options(options), m_envelope(std::move(envelope)), m_progress(progress) {}

  // The loaded source, once for every variation.
  std::optional<std::string> LoadSource() {
    WaveFileContent content = ReadSoundFile(m_options.in);
    if (content.result != WaveReadResult::Loaded) return ReadRefusalMessage(content, m_options.in);
    const int rate = static_cast<int>(content.format.nSamplesPerSec);
    if (content.format.nChannels == 2 && m_options.channel == "both") {
      m_loaded.SetFormat(rate, 2);
      m_loaded.TakeSamples(std::move(content.samples), 2 * content.frames);
      return std::nullopt;
    }
    const int channel = content.format.nChannels == 2 && m_options.channel == "right" ? 1 : 0;
    m_loaded.SetFormat(rate);
    m_loaded.TakeSamples(TakeWaveChannel(content, channel), content.frames);
    return std::nullopt;
  }

  // One render with the given seed into sound, and for a format above 16 bits
  // into rendered the same at full scale 1 before its rounding; the refusal's
  // message otherwise. The last render takes the loaded source over.
  std::optional<std::string> Render(std::uint64_t seed, bool last, SoundStore& sound, LargeArray<float>& rendered,
                                    std::vector<PeriodRecord>& periods) {
    RandomGenerator random;
    std::uint64_t tooMany = 0;
    if (m_options.create) {
      random.Seed(seed);
      switch (CreateSource(m_options.source, random, &m_progress, sound, &tooMany)) {
        case SourceOutcome::Created: break;
        case SourceOutcome::WrongDuration: return std::string(messages::kWrongDuration);
        case SourceOutcome::TooLarge: return NotEnoughMemoryMessage(tooMany);
        case SourceOutcome::WrongModel: return std::string(messages::kWrongModel);
        case SourceOutcome::Overflow: return std::string(messages::kOverflow);
      }
    } else if (last) {
      sound = std::move(m_loaded);
    } else {
      const int length = m_loaded.GetLength();
      LargeArray<std::int16_t> copy = length > 0 ? MakeLargeArray<std::int16_t>(static_cast<std::size_t>(length)) : nullptr;
      if (length > 0) std::copy(m_loaded.GetSamples(0), m_loaded.GetSamples(0) + length, copy.get());
      sound.TakeSamples(std::move(copy), length);
      sound.SetFormat(m_loaded.GetSampleRate(), m_loaded.GetChannels());
    }

    random.Seed(seed);
    const RhythmFields& fields = m_options.rhythm;
    int Np = 0;
    switch (CheckRhythm(&sound, fields.period, fields.type, &Np, &tooMany)) {
      case RhythmCheck::NoSource: return std::string(messages::kNoSource);
      case RhythmCheck::WrongPeriod: return std::string(messages::kWrongPeriod);
      case RhythmCheck::NoModulator: return std::string(messages::kWrongPeriod);
      case RhythmCheck::TooLarge: return NotEnoughMemoryMessage(tooMany);
      case RhythmCheck::Ready: break;
    }
    const int fs = sound.GetSampleRate();
    const std::optional<RhythmParameters> parameters = MakeRhythmParameters(fields, fs);
    if (!parameters) return std::string(messages::kInvalid);
    Block modulator;
    if (UsesModulator(fields.type)) {
      const double a = m_options.modulator.band / fs;
      const double b = m_options.modulator.frequency / fs;
      if (!SourceParametersUsable(a, b)) return std::string(messages::kWrongModel);
      if (!MakeModulator(modulator, Np, a, b, random, &m_progress)) return std::string(messages::kOverflow);
    }
    std::vector<double> envelope = m_envelope;
    const Block* used = UsesModulator(fields.type) ? &modulator : nullptr;
    const RhythmEnvelope shape{envelope.data(), static_cast<int>(envelope.size()) - 1};
    if (m_options.format == "wav16") {
      if (RhythmizeSound(sound, *parameters, used, shape, random, &m_progress, &periods) != RhythmOutcome::Stored) {
        return std::string(messages::kOverflow);
      }
      return std::nullopt;
    }
    rendered = RhythmizedFloats(sound, *parameters, used, shape, random, &m_progress, &periods);
    if (!rendered) return std::string(messages::kOverflow);
    ToFullScale(rendered.get(), sound);
    return std::nullopt;
  }

 private:
  const Options& m_options;
  const std::vector<double> m_envelope;
  cli::TerminalProgress& m_progress;
  SoundStore m_loaded;
};

void Describe(CLI::App& app, Options& o) {
  app.description(
      "Imposes a rhythm on a sound as kadenzo's \"Rhythm\" does and writes it as a sound file (16-bit WAV unless --format says otherwise).\n"
      "Numbers are read strictly, then rounded to single precision as the window's fields are.");
  cli::AddVersion(app);

  auto* source = app.add_option_group("source", "one of");
  source->add_option("-i,--in", o.in, "a sound file (WAV, FLAC, Ogg, AIFF, ...), read as \"Load\" reads it")->type_name("FILE");
  source->add_flag("--create", o.create, "make the source as \"Create\" does");
  source->require_option(0, 1);
  app.add_option("--channel", o.channel, "the channel of a two-channel file, or both as a stereo sound")
      ->check(CLI::IsMember({"left", "right", "both"}))
      ->capture_default_str();
  app.add_option("--duration", o.source.duration, "seconds of the created source")->capture_default_str();
  app.add_option("--frequency", o.source.frequency, "Hz; 0 makes white noise")->capture_default_str();
  app.add_option("--band", o.source.band, "Hz; 0 makes a sine")->capture_default_str();

  auto* envelope = app.add_option_group("envelope", "at most one of (default: the \"Test\" curve)");
  auto* envelopeFile = envelope->add_option("-e,--envelope", o.envelopeFile, "an envelope file, loaded as \"Load\" loads it")
      ->type_name("FILE.env");
  auto* points = envelope->add_option("--points", o.points,
                       "anchor values spread evenly over one period, filled between with the cyclic cubic of \"Test\"")
      ->delimiter(',')
      ->type_name("V,V,...");
  envelope->require_option(0, 1);
  auto* learn = app.add_option("--learn", o.learn,
                               "take the period, the deviations and the envelope from this sound file")
                    ->type_name("IN");
  learn->excludes(envelopeFile)->excludes(points);
  app.add_option("--envelope-out", o.envelopeOut, "with --learn: write the learned envelope")
      ->type_name("OUT.env")
      ->needs(learn);
  app.add_flag("--json", o.json, "with --learn: print what was learned as JSON")->needs(learn);
  app.add_option("--period", o.rhythm.period, "seconds")->capture_default_str();
  app.add_option("--time-deviation", o.rhythm.timeDeviation, "percent")->capture_default_str();
  app.add_option("--magnitude-deviation", o.rhythm.magnDeviation, "percent")->capture_default_str();
  app.add_option("--max-delay", o.rhythm.maxDelay, "milliseconds")->capture_default_str();
  app.add_option("-t,--type", o.type,
                 "amplitude, detonation, amp+det, distortion, frequency, amp+freq, or 0..5")
      ->check(CLI::Validator(
          [](std::string& name) { return ParseType(name) ? std::string() : "unknown modulation type " + name; },
          "TYPE"))
      ->capture_default_str();
  app.add_option("--modulator-frequency", o.modulator.frequency, "Hz, for frequency and amp+freq")
      ->capture_default_str();
  app.add_option("--modulator-band", o.modulator.band, "Hz")->capture_default_str();
  app.add_option("--seed", o.seed, "the seed of every random draw (default: the clock in whole seconds)");
  app.add_option("--variations", o.variations, "K files OUT-<seed>.wav for seeds N .. N+K-1")
      ->check(CLI::PositiveNumber);
  app.add_option("--periods", o.periodsFile, "one row per period: index, first sample, length in samples, magnitude")
      ->type_name("FILE.csv");
  app.add_option("-o,--out", o.out, "the sound file to write (needs a source: --in or --create)")
      ->type_name("OUT");
  app.add_option("--format", o.format,
                 "wav16 (the window's \"Save\"), wav24, float (32-bit WAV) or flac (24 bits): "
                 "the rhythm before its rounding to 16 bits")
      ->check(CLI::IsMember({"wav16", "wav24", "float", "flac"}))
      ->capture_default_str();
  app.add_flag("-q,--quiet", o.quiet, "no progress bar, no summary");
}

// Whether a file goes to standard output (-o /dev/stdout into a pipe): then
// what is learned and the seed go to standard error, not among its bytes.
bool IsStandardOutput(const std::string& path) {
  struct stat out, target;
  return ::fstat(STDOUT_FILENO, &out) == 0 && ::stat(path.c_str(), &target) == 0 && out.st_dev == target.st_dev &&
         out.st_ino == target.st_ino;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("", "kadenzo-render");
  Options options;
  Describe(app, options);
  if (const std::optional<int> exit = cli::Parse(app, argc, argv)) return *exit;
  RemoveUnfinishedSavesOnTermination();
  const bool render = !options.out.empty();
  const bool sourced = options.create || !options.in.empty();
  if (render != sourced || (!render && options.learn.empty())) {
    std::cerr << (render || options.learn.empty() ? "--out and one of --in or --create are required\n"
                                                   : "a source (--in or --create) needs --out\n")
              << "Run with --help for more information.\n";
    return cli::kUsage;
  }

  options.rhythm.type = *ParseType(options.type);
  for (double* field : {&options.rhythm.period, &options.rhythm.timeDeviation, &options.rhythm.magnDeviation,
                        &options.rhythm.maxDelay, &options.source.duration, &options.source.frequency,
                        &options.source.band, &options.modulator.frequency, &options.modulator.band}) {
    *field = Single(*field);
  }
  for (double& point : options.points) point = Single(point);

  cli::TerminalProgress progress(options.quiet);
  const bool filesOnStandardOutput =
      IsStandardOutput(options.out) || IsStandardOutput(options.envelopeOut) || IsStandardOutput(options.periodsFile);
  std::ostream& summary = filesOnStandardOutput ? std::cerr : std::cout;
  std::optional<std::vector<double>> envelope;
  if (!options.learn.empty()) {
    const std::variant<LearnedRhythm, std::string> learned = Learn(options.learn, &progress);
    progress.End();
    if (const std::string* refusal = std::get_if<std::string>(&learned)) return cli::Refuse(*refusal);
    const LearnedRhythm& rhythm = std::get<LearnedRhythm>(learned);
    if (!options.envelopeOut.empty() && !SaveBlockFile(EnvelopeBlock(rhythm), options.envelopeOut)) {
      return cli::Refuse("Can not create " + options.envelopeOut);
    }
    if (!options.quiet || !render) summary << DescribeLearned(rhythm, options.json) << '\n';
    if (!render) return cli::kDone;
    options.rhythm.period = Single(rhythm.period);
    options.rhythm.timeDeviation = Single(rhythm.timeDeviation);
    options.rhythm.magnDeviation = Single(rhythm.magnitudeDeviation);
    envelope.emplace(rhythm.envelope.begin(), rhythm.envelope.end() - 1);
    envelope->push_back(0.0);  // the seam point, which the engine writes
  } else {
    envelope = MakeEnvelope(options);
    if (!envelope) return cli::Refuse("Can not load " + options.envelopeFile);
  }

  // None: 16-bit PCM WAV, as the window saves.
  const std::optional<RenderedFormat> format = RenderedFormatNamed(options.format);
  Renderer renderer(options, *envelope, progress);
  if (!options.create) {
    if (const std::optional<std::string> refusal = renderer.LoadSource()) return cli::Refuse(*refusal);
  }

  const std::uint64_t first = options.seed ? *options.seed : RandomGenerator::ClockSeconds();
  for (int k = 0; k < options.variations; ++k) {
    const std::uint64_t seed = first + static_cast<std::uint64_t>(k);
    const bool several = options.variations > 1;
    const std::string out = several ? VariationName(options.out, seed) : options.out;
    SoundStore sound;
    LargeArray<float> rendered;
    std::vector<PeriodRecord> periods;
    const std::optional<std::string> refusal = renderer.Render(seed, k + 1 == options.variations, sound, rendered, periods);
    progress.End();
    if (refusal) return cli::Refuse(*refusal);
    const float* channels[] = {rendered.get(), rendered.get() + sound.GetFrames()};
    const bool written = format ? WriteRenderedSound(out, *format, channels, sound.GetChannels(), sound.GetFrames(),
                                                     sound.GetSampleRate())
                                : WriteWaveFile(sound, out);
    if (!written) return cli::Refuse("Can not create " + out);
    if (!options.periodsFile.empty()) {
      const std::string periodsOut = several ? VariationName(options.periodsFile, seed) : options.periodsFile;
      if (!WritePeriods(periods, periodsOut)) return cli::Refuse("Can not create " + periodsOut);
    }
    if (!options.quiet) summary << "seed=" << seed << " out=" << out << '\n';
  }
  return cli::kDone;
}
