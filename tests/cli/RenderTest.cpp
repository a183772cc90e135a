// kadenzo-render run as a program: its output against the engine called
// directly, the seeds it prints and repeats, its variations and periods file,
// and its exit codes and messages, with nothing written on failure.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Block.h"
#include "EnvelopeCurve.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "SoundFile.h"
#include "SoundStore.h"
#include "SourceGenerator.h"
#include "WaveFile.h"

namespace fs = std::filesystem;

namespace {

struct ProgramRun {
  int exit;
  std::string out;
  std::string err;
};

class RenderTest : public testing::Test {
 protected:
  RenderTest() : m_dir(fs::temp_directory_path() / ("render_test_" + std::to_string(::getpid()))) {
    fs::create_directories(m_dir);
  }
  ~RenderTest() override { fs::remove_all(m_dir); }

  std::string Path(const std::string& name) const { return (m_dir / name).string(); }

  ProgramRun Render(const std::string& arguments) const {
    const std::string command = std::string(KADENZO_RENDER) + " " + arguments + " >" + Path("stdout") + " 2>" +
                                Path("stderr") + " </dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Text(Path("stdout")), Text(Path("stderr"))};
  }

  static std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir)) {
      const std::string name = entry.path().filename().string();
      if (name != "stdout" && name != "stderr") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path m_dir;
};

std::vector<std::int16_t> SamplesOf(const std::string& path) {
  const WaveFileContent content = ReadWaveFile(path);
  if (content.result != WaveReadResult::Loaded) return {};
  return {content.samples.get(), content.samples.get() + content.frames * content.format.nChannels};
}

// The rhythm of the engine itself on a created second of noise, with no
// deviations: what the renderer must give for the same seed.
std::vector<std::int16_t> EngineRhythm(int type, std::uint64_t seed) {
  RandomGenerator random;
  random.Seed(seed);
  SoundStore sound;
  SourceSettings source;
  source.duration = 1;
  EXPECT_EQ(CreateSource(source, random, nullptr, sound), SourceOutcome::Created);
  random.Seed(seed);
  std::vector<double> envelope = CyclicCurve(TestCurveAnchors(), 540);
  envelope.pop_back();
  for (double& v : envelope) v = TableValue(v);
  envelope.push_back(0.0);
  Block modulator;
  const int Np = static_cast<int>(static_cast<float>(0.5) * 44100);
  if (UsesModulator(type)) MakeModulator(modulator, Np, 40.0 / 44100, 100.0 / 44100, random, nullptr);
  const RhythmParameters parameters = *MakeRhythmParameters({static_cast<float>(0.5), 0, 0, 100, type}, 44100);
  EXPECT_EQ(RhythmizeSound(sound, parameters, UsesModulator(type) ? &modulator : nullptr, {envelope.data(), 539},
                           random, nullptr),
            RhythmOutcome::Stored);
  return {sound.GetSamples(0), sound.GetSamples(0) + sound.GetLength()};
}

}  // namespace

TEST_F(RenderTest, WithoutDeviationsEveryTypeEqualsTheEngine) {
  for (int type = 0; type < 6; ++type) {
    SCOPED_TRACE(type);
    const ProgramRun run = Render("-q --create --duration 1 --period 0.5 --time-deviation 0 --magnitude-deviation 0 -t " +
                           std::to_string(type) + " --seed 5 -o " + Path("out.wav"));
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(SamplesOf(Path("out.wav")), EngineRhythm(type, 5));
  }
}

TEST_F(RenderTest, SeedsRepeatVariationsAndPeriods) {
  const std::string common = "--create --duration 2 --period 0.3 -t amplitude ";
  ProgramRun run = Render(common + "--seed 11 -o " + Path("a.wav") + " --periods " + Path("a.csv"));
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, "seed=11 out=" + Path("a.wav") + "\n");
  ASSERT_EQ(Render(common + "--seed 11 -q -o " + Path("b.wav")).exit, 0);
  ASSERT_EQ(Render(common + "--seed 12 -q -o " + Path("c.wav")).exit, 0);
  EXPECT_EQ(Text(Path("a.wav")), Text(Path("b.wav")));
  EXPECT_NE(Text(Path("a.wav")), Text(Path("c.wav")));

  // Periods of 0.3 s +- 5 %: their lengths add up to the sound's 88200 samples.
  std::istringstream rows(Text(Path("a.csv")));
  std::string row;
  std::getline(rows, row);
  EXPECT_EQ(row, "index,first_sample,length,magnitude");
  long long next = 0, index = 0;
  while (std::getline(rows, row)) {
    long long i, first, length;
    double magnitude;
    ASSERT_EQ(std::sscanf(row.c_str(), "%lld,%lld,%lld,%lf", &i, &first, &length, &magnitude), 4) << row;
    EXPECT_EQ(i, index++);
    EXPECT_EQ(first, next);
    EXPECT_GE(magnitude, 0.95);
    EXPECT_LT(magnitude, 1.05);
    if (first + length < 88200) {
      EXPECT_GE(length, static_cast<long long>(0.3 * 0.95 * 44100)) << row;
      EXPECT_LE(length, static_cast<long long>(0.3 * 1.05 * 44100) + 1) << row;
    }
    next = first + length;
  }
  EXPECT_EQ(next, 88200);
  EXPECT_EQ(index, 7);

  // Three variations are the seeds 11, 12 and 13, each as one render alone.
  run = Render(common + "--seed 11 --variations 3 -o " + Path("v.wav"));
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out, "seed=11 out=" + Path("v-11.wav") + "\nseed=12 out=" + Path("v-12.wav") + "\nseed=13 out=" +
                         Path("v-13.wav") + "\n");
  EXPECT_EQ(Text(Path("v-11.wav")), Text(Path("a.wav")));
  EXPECT_EQ(Text(Path("v-12.wav")), Text(Path("c.wav")));
}

TEST_F(RenderTest, UsageErrorsAndRefusalsWriteNothing) {
  const std::string out = " -o " + Path("out.wav");
  struct Case {
    std::string arguments;
    int exit;
    std::string message;  // refused: all of standard error; usage: a part of it
  } cases[] = {
      {"--create --period 1x" + out, 2, "--period"},
      {"--create --frequency ''" + out, 2, "--frequency: an empty value"},  // not white noise
      {"--create --bogus" + out, 2, "The following argument was not expected: --bogus"},
      {"--create -t sideways" + out, 2, "--type"},
      {"--create --in x.wav" + out, 2, ""},
      {"--create", 2, "--out and one of --in or --create are required"},
      {out, 2, "--out and one of --in or --create are required"},
      {"--envelope-out " + Path("x.env") + out, 2, "--envelope-out"},
      {"--learn x.wav --points 1,2" + out, 2, "--points"},
      {"--create --variations 0" + out, 2, "--variations"},
      {"--create --format mp3" + out, 2, "--format"},
      {"--create --period 0" + out, 1, "Wrong period value.\n"},
      {"--create --period -1" + out, 1, "Wrong period value.\n"},
      {"--create --duration 0" + out, 1, "Wrong duration value.\n"},
      {"--create --frequency 22050" + out, 1, "Wrong frequency or band value.\n"},
      {"--create --duration 0.1 --time-deviation 1e999" + out, 1, "Invalid floating point operation\n"},
      {"--create --duration 0.1 --magnitude-deviation -1e999 -t frequency" + out, 1, "Invalid floating point operation\n"},
      {"--create --duration 0.1 --max-delay 1e999 -t amp+freq" + out, 1, "Invalid floating point operation\n"},
      {"--create --duration 0.1 --period 1e999 -t frequency" + out, 1, "Wrong period value.\n"},
      {"--create --duration 1e9" + out, 1, "Not enough memory for 44100000000000 samples.\n"},
      {"--create --duration 0.1 --period 1e9 -t frequency" + out, 1, "Not enough memory for 44100000000000 samples.\n"},
      // Seeded: a clock's seed whose ten draws all stay small (one run in twenty) overflows nothing.
      {"--create --duration 0.1 --magnitude-deviation 100000 -t amplitude --period 0.01 --seed 1" + out, 1,
       "Floating point overflow\n"},
      {"--in " + Path("missing.wav") + out, 1, "Can not load " + Path("missing.wav") + "\n"},
      {"--create --envelope " + Path("missing.env") + out, 1, "Can not load " + Path("missing.env") + "\n"},
      {"--create --duration 0.1 -o " + Path("no-such-folder/out.wav"), 1,
       "Can not create " + Path("no-such-folder/out.wav") + "\n"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = Render(c.arguments);
    EXPECT_EQ(run.exit, c.exit) << c.arguments << "\n" << run.err;
    if (c.exit == 1) {
      EXPECT_EQ(run.err, c.message) << c.arguments;
    } else {
      EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << "\n" << run.err;
    }
    EXPECT_TRUE(Files().empty()) << c.arguments;
  }
  // A file that claims the highest rate: its modulator would take 2 x 2^31 samples.
  SoundStore fastest;
  fastest.SetFormat(2147483647);
  fastest.SetLength(8);
  ASSERT_TRUE(WriteWaveFile(fastest, Path("fastest.wav")));
  const ProgramRun claimed = Render("--in " + Path("fastest.wav") + " --period 2 -t frequency" + out);
  EXPECT_EQ(claimed.exit, 1);
  EXPECT_EQ(claimed.err, "Not enough memory for 4294967294 samples.\n");
  EXPECT_EQ(Files(), std::vector<std::string>{"fastest.wav"});
  fs::remove(Path("fastest.wav"));

  // A refused render leaves an existing output as it was.
  { std::ofstream(Path("out.wav")) << "precious"; }
  EXPECT_EQ(Render("--create --period 0" + out).exit, 1);
  EXPECT_EQ(Text(Path("out.wav")), "precious");

  const ProgramRun help = Render("--help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("--variations"), std::string::npos);
  const ProgramRun version = Render("--version");
  EXPECT_EQ(version.exit, 0);
  EXPECT_EQ(version.out.rfind("kadenzo-render ", 0), 0u) << version.out;
}

// Samples as sox reads them, in 32-bit floats at full scale 1.
std::vector<float> FloatsOf(const std::string& path) {
  const std::string raw = path + ".f32";
  if (std::system(("sox " + path + " -t f32 " + raw).c_str()) != 0) return {};
  std::ifstream in(raw, std::ios::binary);
  std::vector<float> values;
  float value;
  while (in.read(reinterpret_cast<char*>(&value), sizeof value)) values.push_back(value);
  fs::remove(raw);
  return values;
}

std::string SoxInfo(const std::string& option, const std::string& path) {
  std::string text;
  if (FILE* pipe = ::popen(("sox --i " + option + " " + path).c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) text += line;
    ::pclose(pipe);
  }
  return text;
}

TEST_F(RenderTest, HigherFormatsHoldTheRhythmBeforeItsRounding) {
  const std::string common = "-q --create --duration 1 --period 0.2 -t amp+det --seed 4 -o ";
  for (const std::string format : {"", "wav16", "wav24", "float", "flac"}) {
    const std::string name = Path((format.empty() ? "default" : format) + (format == "flac" ? ".flac" : ".wav"));
    const ProgramRun run = Render(common + name + (format.empty() ? "" : " --format " + format));
    ASSERT_EQ(run.exit, 0) << format << run.err;
  }
  EXPECT_EQ(Text(Path("wav16.wav")), Text(Path("default.wav")));
  EXPECT_EQ(SoxInfo("-b", Path("wav24.wav")), "24\n");
  EXPECT_EQ(SoxInfo("-e", Path("float.wav")), "Floating Point PCM\n");
  EXPECT_EQ(Text(Path("float.wav")).find("PEAK"), std::string::npos) << "no time of writing in the file";
  EXPECT_EQ(SoxInfo("-b", Path("flac.flac")), "24\n");

  // The 16-bit render is the float one scaled to 32767 and truncated toward
  // zero; the float one keeps the fractions that truncation drops.
  const std::vector<std::int16_t> rounded = SamplesOf(Path("wav16.wav"));
  const std::vector<float> exact = FloatsOf(Path("float.wav"));
  ASSERT_EQ(rounded.size(), 44100u);
  ASSERT_EQ(exact.size(), rounded.size());
  // The scale, the product and the float value each rounded by up to 2^-24
  // of a full scale of 32767 (and once more, in slack).
  const double kRoundings = 32767.0 / (1 << 22);
  float peak = 0;
  std::size_t fractional = 0;
  for (std::size_t i = 0; i < exact.size(); ++i) {
    ASSERT_NEAR(exact[i] * 32767.0, rounded[i], 1 + kRoundings) << i;
    peak = std::max(peak, std::fabs(exact[i]));
    fractional += std::fabs(exact[i] * 32767 - std::round(exact[i] * 32767)) > 0.01;
  }
  EXPECT_EQ(peak, 1.0f);
  EXPECT_GT(fractional, exact.size() / 2);

  // 24 bits, in WAV and FLAC: the float values to within one step of 2^-23
  // (and half a step more for libsndfile's scaling in single precision);
  // read back by libsndfile (as "&Load" does, to 16 bits), the 16-bit render.
  const std::vector<float> wide = FloatsOf(Path("wav24.wav"));
  ASSERT_EQ(wide.size(), exact.size());
  const double kStep = 1.5 / (1 << 23);
  const std::vector<float> flac = FloatsOf(Path("flac.flac"));
  ASSERT_EQ(flac.size(), exact.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    ASSERT_NEAR(wide[i], exact[i], kStep) << i;
    ASSERT_NEAR(flac[i], exact[i], kStep) << i;
  }
  const WaveFileContent loaded = ReadSoundFile(Path("wav24.wav"));
  ASSERT_EQ(loaded.result, WaveReadResult::Loaded);
  EXPECT_EQ(loaded.format.nSamplesPerSec, 44100u);
  ASSERT_EQ(loaded.frames, 44100);
  for (int i = 0; i < loaded.frames; ++i) ASSERT_NEAR(loaded.samples[i], rounded[i], 1) << i;
}

TEST_F(RenderTest, ReadsEverySoundFileAsTheWindowDoes) {
  const std::string flac = Path("x.flac");
  ASSERT_EQ(std::system(("sox -D -n -r 32000 -b 24 -c 2 " + flac + " synth 1 sine 300 sine 500").c_str()), 0);
  // The right channel, as the kit's own WAV reader would give it after "&Load".
  WaveFileContent content = ReadSoundFile(flac);
  ASSERT_EQ(content.result, WaveReadResult::Loaded);
  SoundStore right;
  right.SetFormat(32000);
  right.TakeSamples(TakeWaveChannel(content, 1), content.frames);
  ASSERT_TRUE(WriteWaveFile(right, Path("right.wav")));
  const std::string rhythm = " -q --seed 9 --period 0.2 -t amp+det -o ";
  ASSERT_EQ(Render("-i " + flac + rhythm + Path("a.wav")).exit, 0);
  ASSERT_EQ(Render("-i " + Path("right.wav") + rhythm + Path("b.wav")).exit, 0);
  EXPECT_EQ(Text(Path("a.wav")), Text(Path("b.wav")));
  EXPECT_EQ(SamplesOf(Path("a.wav")).size(), 32000u);

  // A named pipe is refused at once, never opened.
  const std::string pipe = Path("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const ProgramRun run = Render("-i " + pipe + rhythm + Path("c.wav"));
  EXPECT_EQ(run.exit, 1);
  EXPECT_EQ(run.err, "Can not load " + pipe + "\n");
  EXPECT_FALSE(fs::exists(Path("c.wav")));
}

// Into a pipe the 16-bit WAV goes whole, the same bytes as the file, and the
// seed goes to standard error instead of after them; the formats libsndfile
// writes, which seek back, are refused with nothing written.
TEST_F(RenderTest, WritesTheWaveIntoAPipeAndTheSummaryBesideIt) {
  const std::string settings = " --create --duration 0.5 --seed 7";
  ASSERT_EQ(Render("-q" + settings + " -o " + Path("file.wav")).exit, 0);
  // The exit status, and what the pipe carried.
  const auto piped = [&](const std::string& options) {
    const std::string command = "{ " + std::string(KADENZO_RENDER) + settings + options + " 2>" + Path("err") +
                                "; echo $? >" + Path("status") + "; } | cat >" + Path("piped");
    EXPECT_EQ(std::system(command.c_str()), 0);
    return Text(Path("status"));
  };
  EXPECT_EQ(piped(" -o /dev/stdout"), "0\n");
  EXPECT_TRUE(Text(Path("piped")) == Text(Path("file.wav"))) << Text(Path("piped")).size() << " bytes";
  EXPECT_EQ(Text(Path("err")), "seed=7 out=/dev/stdout\n");
  EXPECT_EQ(piped(" -o /dev/stdout --format flac"), "1\n");
  EXPECT_EQ(Text(Path("piped")).size(), 0u);
  EXPECT_EQ(Text(Path("err")), "Can not create /dev/stdout\n");
  EXPECT_EQ(piped(" -o " + Path("p.wav") + " --periods /dev/stdout"), "0\n");
  EXPECT_EQ(Text(Path("piped")).rfind("index,first_sample,length,magnitude\n0,0,", 0), 0u);
  EXPECT_EQ(Text(Path("piped")).find("seed="), std::string::npos);
}

TEST_F(RenderTest, BothChannelsOfAStereoFileGetOneRhythm) {
  const std::string mono = Path("mono.wav"), stereo = Path("stereo.wav");
  ASSERT_EQ(std::system(("sox -D -n -r 22050 -b 16 -c 1 " + mono + " synth 1 pinknoise").c_str()), 0);
  ASSERT_EQ(std::system(("sox -D " + mono + " -c 2 " + stereo + " remix 1 1").c_str()), 0);
  const std::string rhythm = " -q --seed 4 --period 0.15 --time-deviation 20 --magnitude-deviation 30 -t amp+freq -o ";
  ASSERT_EQ(Render("-i " + mono + rhythm + Path("a.wav")).exit, 0);
  ASSERT_EQ(Render("-i " + stereo + " --channel both" + rhythm + Path("b.wav")).exit, 0);
  const std::vector<std::int16_t> one = SamplesOf(Path("a.wav")), both = SamplesOf(Path("b.wav"));
  ASSERT_EQ(ReadWaveFile(Path("b.wav")).format.nChannels, 2);
  ASSERT_EQ(both.size(), 2 * one.size());
  for (std::size_t i = 0; i < one.size(); ++i) {
    ASSERT_EQ(both[2 * i], one[i]) << i;
    ASSERT_EQ(both[2 * i + 1], one[i]) << i;
  }
}

TEST_F(RenderTest, LearnsARhythmAndAppliesIt) {
  // White noise: the learner's accuracy over sources and shapes is the analysis tests' table; here
  // the figures only have to come through.
  ASSERT_EQ(Render("-q --create --duration 30 --frequency 0 --period 0.5 -t amplitude --seed 3 -o " + Path("rhythm.wav")).exit, 0);
  ProgramRun run = Render("--learn " + Path("rhythm.wav") + " --envelope-out " + Path("learned.env"));
  ASSERT_EQ(run.exit, 0) << run.err;
  double period, time, magnitude, confidence;
  ASSERT_EQ(std::sscanf(run.out.c_str(), "period=%lf time-deviation=%lf magnitude-deviation=%lf confidence=%lf",
                        &period, &time, &magnitude, &confidence),
            4)
      << run.out;
  EXPECT_NEAR(period, 0.5, 0.005);
  EXPECT_NEAR(time, 10, 3);
  EXPECT_NEAR(magnitude, 10, 3);
  EXPECT_GE(confidence, 0.5);
  Block envelope;
  ASSERT_TRUE(envelope.ReadFromFile(Path("learned.env").c_str()));
  EXPECT_EQ(envelope.GetSize(), 540);

  run = Render("--learn " + Path("rhythm.wav") + " --json");
  EXPECT_EQ(run.out.rfind("{\"period\": ", 0), 0u) << run.out;

  // Learned and applied in one go: the same as typing what was learned.
  run = Render("-q --learn " + Path("rhythm.wav") + " --create --duration 3 --seed 8 -o " + Path("applied.wav"));
  ASSERT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(SamplesOf(Path("applied.wav")).size(), 3u * 44100);

  // Noise without a rhythm changes nothing.
  ASSERT_EQ(std::system(("sox -D -n -r 44100 -b 16 " + Path("noise.wav") + " synth 10 whitenoise").c_str()), 0);
  run = Render("--learn " + Path("noise.wav") + " --envelope-out " + Path("none.env"));
  EXPECT_EQ(run.exit, 1);
  EXPECT_EQ(run.err.rfind("No clear rhythm in " + Path("noise.wav") + " (confidence ", 0), 0u) << run.err;
  EXPECT_FALSE(fs::exists(Path("none.env")));
}
