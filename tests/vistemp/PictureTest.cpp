// Tracing by colour and by region, pictures in every format, and the window's
// picture view with its mouse work.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QLabel>
#include <QLineEdit>
#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

#include "QtPicture.h"
#include "TestPictures.h"
#include "TracedPictureView.h"

using namespace vistemp;
using vistemp_test::Chart;
using vistemp_test::ChartParts;
using vistemp_test::PngHeader;
using vistemp_test::TestFolder;
using vistemp_test::VistempWindow;

namespace {

std::vector<double> Values(const Block& block) {
  return std::vector<double>(block.GetData(), block.GetData() + block.GetSize());
}

std::vector<double> Traced(const QImage& picture, const InkRule& ink, std::optional<Region> region = std::nullopt) {
  Block profile;
  TraceProfile(profile, picture, ink, region);
  return Values(profile);
}

constexpr Colour kRed = MakeColour(230, 20, 10);
constexpr Colour kBlue = MakeColour(20, 40, 220);

TEST(InkRule, ColourWithinTheToleranceIsInkTheDistanceItselfIncluded) {
  // Distances from (100, 100, 100): (103, 104, 100) is 5 away, (160, 100, 100)
  // 60, (135, 60, 120) sqrt(35^2 + 40^2 + 20^2) = 56.79.
  const std::tuple<Colour, double, bool> cases[] = {
      {MakeColour(100, 100, 100), 0.0, true},   {MakeColour(101, 100, 100), 0.0, false},
      {MakeColour(103, 104, 100), 5.0, true},   {MakeColour(103, 104, 100), 4.999, false},
      {MakeColour(160, 100, 100), 60.0, true},  {MakeColour(161, 100, 100), 60.0, false},
      {MakeColour(135, 60, 120), 56.8, true},   {MakeColour(135, 60, 120), 56.78, false},
      {MakeColour(100, 100, 100), -1.0, false}, {MakeColour(255, 255, 255), 1000.0, true}};
  const Colour picked = MakeColour(100, 100, 100);
  for (const auto& [colour, tolerance, ink] : cases) {
    EXPECT_EQ(InkRule::Near(picked, tolerance).IsInk(colour), ink) << std::hex << colour << " at " << tolerance;
  }
  // The threshold rule is IsInk's.
  for (const double threshold : {0.0, 0.3, 0.5, 0.99609375, 2.0}) {
    for (int grey = 0; grey < 256; ++grey) {
      ASSERT_EQ(InkRule::Darker(threshold).IsInk(MakeColour(grey, grey, grey)),
                IsInk(MakeColour(grey, grey, grey), threshold));
    }
  }
}

TEST(TraceProfile, HeightsInARegionCountFromItsBottomRow) {
  // The diagonal of side 10 has its ink at row 9 - x in column x.
  const QImage diagonal = vistemp_test::Rising(10);
  const InkRule ink = InkRule::Darker(0.5);
  // Rows 3 to 6, columns 2 to 6: column 2's ink (row 7) lies below the region.
  EXPECT_EQ(Traced(diagonal, ink, Region{2, 3, 5, 4}), (std::vector<double>{0, 1, 2, 3, 4}));
  // A region reaching past the picture is cut to it.
  EXPECT_EQ(Traced(diagonal, ink, Region{8, 0, 10, 10}), (std::vector<double>{9, 10}));
  EXPECT_EQ(Traced(diagonal, ink, Region{0, 0, 10, 10}), Traced(diagonal, ink));
  EXPECT_TRUE(Traced(diagonal, ink, Region{20, 0, 5, 5}).empty());
}

TEST(TraceProfile, EachPickedColourGivesItsCurveAndARegionLeavesTheFrameOut) {
  TestFolder folder;
  const QImage chart = folder.ThroughBmp(Chart());
  const QImage redAlone = folder.ThroughBmp(Chart({false, true, false}));
  const QImage blueAlone = folder.ThroughBmp(Chart({false, false, true}));
  const InkRule dark = InkRule::Darker(0.5);

  // By darkness the frame's top edge hides both curves: a flat trace.
  const std::vector<double> framed = Traced(chart, dark);
  EXPECT_EQ(framed[150], 190.0);
  EXPECT_EQ(framed[100], framed[200]);

  EXPECT_EQ(Traced(chart, InkRule::Near(kRed, 60)), Traced(redAlone, dark));
  EXPECT_EQ(Traced(chart, InkRule::Near(kBlue, 60)), Traced(blueAlone, dark));
  EXPECT_NE(Traced(redAlone, dark), Traced(blueAlone, dark));

  // Inside the frame the topmost ink is the red curve, counted from the region's bottom.
  const QRect inside(15, 15, 270, 170);
  const Region region{inside.x(), inside.y(), inside.width(), inside.height()};
  EXPECT_EQ(Traced(chart, dark, region), Traced(redAlone.copy(inside), dark));
  EXPECT_EQ(Traced(chart, InkRule::Near(kBlue, 60), region), Traced(blueAlone.copy(inside), dark));
}

TEST(LoadPicture, TheSameDrawingInEveryLosslessFormatGivesTheSameEnvelope) {
  TestFolder folder;
  const QImage drawing = Chart();
  const auto envelope = [](const QImage& picture, const InkRule& ink) {
    Block profile, out;
    TraceProfile(profile, picture, ink);
    EXPECT_TRUE(MakeEnvelope(out, profile, true, 60));
    return Values(out);
  };
  // On a transparent ground the drawing reads as on white paper.
  const QImage ground = vistemp_test::OnTransparentGround(drawing);
  for (const auto& [picture, name, format] : {std::tuple{&drawing, "chart.png", "PNG"},
                                              {&drawing, "chart.bmp", "BMP"},
                                              {&drawing, "chart.webp", "WEBP"},
                                              {&drawing, "chart.tif", "TIFF"},
                                              {&drawing, "chart.ppm", "PPM"},
                                              {&ground, "ground.png", "PNG"},
                                              {&ground, "ground.webp", "WEBP"},
                                              {&ground, "ground.tif", "TIFF"}}) {
    const LoadedPicture loaded = LoadPicture(folder.SaveAs(*picture, name, format));
    ASSERT_TRUE(loaded.refusal.isEmpty()) << name << ": " << loaded.refusal.toStdString();
    for (const InkRule& ink : {InkRule::Darker(0.5), InkRule::Near(kRed, 60), InkRule::Near(kBlue, 30)}) {
      EXPECT_EQ(envelope(loaded.picture, ink), envelope(drawing, ink)) << name;
    }
  }
}

TEST(LoadPicture, RefusesLargePicturesNamingTheirSizeAndWhatIsNoRegularFile) {
  TestFolder folder;
  const auto write = [&](const QString& name, const QByteArray& bytes) {
    QFile file(folder.Path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return file.fileName();
  };
  EXPECT_EQ(LoadPicture(write("huge.png", PngHeader(20000, 15000))).refusal,
            QString::fromUtf8("Picture too large: 20000 × 15000 pixels"));
  // Just over 1 GiB of 32-bit pixels is too much; the promised pixels that
  // fit are simply missing, so the file is damaged.
  EXPECT_EQ(LoadPicture(write("over.png", PngHeader(16385, 16384))).refusal,
            QString::fromUtf8("Picture too large: 16385 × 16384 pixels"));
  EXPECT_EQ(LoadPicture(write("short.png", PngHeader(100, 100))).refusal, "Bitmap image is not valid");

  const QString fifo = folder.Path("pipe.png");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  ASSERT_TRUE(QDir().mkpath(folder.Path("folder.png")));
  for (const QString& name : {fifo, folder.Path("folder.png"), folder.Path("missing.png"), QString("/dev/zero")}) {
    EXPECT_EQ(LoadPicture(name).refusal, "Bitmap image is not valid") << name.toStdString();
  }
}

TEST(LoadPicture, AnA4PageAt600DpiLoads) {
  // 4960 x 7016 32-bit pixels take 139 MB, more than Qt allows by default.
  QImage page(4960, 7016, QImage::Format_RGB32);
  page.fill(Qt::white);
  for (int x = 0; x < page.width(); ++x) page.setPixel(x, 7015 - x, qRgb(0, 0, 0));
  TestFolder folder;
  const LoadedPicture loaded = LoadPicture(folder.SaveAs(page, "page.png", "PNG"));
  ASSERT_TRUE(loaded.refusal.isEmpty()) << loaded.refusal.toStdString();
  Block profile;
  TraceProfile(profile, loaded.picture, 0.5);
  ASSERT_EQ(profile.GetSize(), 4960);
  EXPECT_EQ(profile[0], 1.0);
  EXPECT_EQ(profile[4959], 4960.0);
}

// The window with a chart loaded, driven through its picture view.
class PictureWindow : public VistempWindow {
 protected:
  // The widget position of a picture pixel's centre.
  QPoint At(int x, int y) const {
    const QRectF area = form.PictureView->PictureArea();
    const double scale = area.width() / 300.0;
    return QPointF(area.left() + (x + 0.5) * scale, area.top() + (y + 0.5) * scale).toPoint();
  }
  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(form.PictureView, Qt::LeftButton, {}, At(from.x(), from.y()));
    QTest::mouseMove(form.PictureView, At(to.x(), to.y()));
    QTest::mouseRelease(form.PictureView, Qt::LeftButton, {}, At(to.x(), to.y()));
  }
};

TEST_F(PictureWindow, PickingAColourAndDraggingARegionRetraceTheCurve) {
  TestFolder pictures;
  const QImage chart = pictures.ThroughBmp(Chart());
  const std::vector<double> red = Traced(pictures.ThroughBmp(Chart({false, true, false})), InkRule::Darker(0.5));
  const std::vector<double> blue = Traced(pictures.ThroughBmp(Chart({false, false, true})), InkRule::Darker(0.5));
  LoadFile(folder.SaveAs(Chart(), "chart.png", "PNG"));
  ASSERT_EQ(form.GetProfile().GetSize(), 300);
  EXPECT_EQ(form.GetProfile()[150], 190.0);  // the frame

  // A click takes a colour only in pick mode.
  const int redRow = 40 + static_cast<int>(20 * std::sin(150 / 20.0));
  const int blueRow = 120 + static_cast<int>(25 * std::cos(150 / 30.0));
  QTest::mouseClick(form.PictureView, Qt::LeftButton, {}, At(150, redRow));
  EXPECT_FALSE(form.GetPickedColour());
  Click(form.PickCheckBox);
  QTest::mouseClick(form.PictureView, Qt::LeftButton, {}, At(150, redRow));
  EXPECT_EQ(form.GetPickedColour(), kRed);
  EXPECT_EQ(Values(form.GetProfile()), red);
  QTest::mouseClick(form.PictureView, Qt::LeftButton, {}, At(150, blueRow));
  EXPECT_EQ(form.GetPickedColour(), kBlue);
  EXPECT_EQ(Values(form.GetProfile()), blue);
  // A tolerance too small for anti-aliased neighbours still finds the exact colour;
  // a negative one finds nothing.
  form.ToleranceEdit->setText("-1");
  EXPECT_EQ(form.GetProfile()[150], 0.0);
  form.ToleranceEdit->setText("60");
  EXPECT_EQ(Values(form.GetProfile()), blue);

  // Back to the threshold, then a region inside the frame.
  Click(form.PickCheckBox);
  EXPECT_EQ(form.GetProfile()[150], 190.0);
  Drag({15, 15}, {284, 184});
  EXPECT_EQ(form.GetRegion(), (Region{15, 15, 270, 170}));
  EXPECT_EQ(Values(form.GetProfile()), Traced(chart, InkRule::Darker(0.5), Region{15, 15, 270, 170}));
  EXPECT_EQ(Values(form.GetProfile()),
            Traced(pictures.ThroughBmp(Chart({false, true, false})).copy(15, 15, 270, 170), InkRule::Darker(0.5)));
  EXPECT_TRUE(form.RegionLabel->text().contains(QString::fromUtf8("270 × 170")));

  // What is saved is what is traced.
  const std::vector<double> saved = Save();
  EXPECT_EQ(saved.size(), 270u);

  QTest::mouseDClick(form.PictureView, Qt::LeftButton, {}, At(100, 100));
  EXPECT_FALSE(form.GetRegion());
  EXPECT_EQ(form.GetProfile().GetSize(), 300);
  EXPECT_EQ(form.GetProfile()[150], 190.0);
}

TEST_F(PictureWindow, OffersPicturesFirstAndRefusesWhatItCannotRead) {
  QTest::mouseClick(form.LoadButton, Qt::LeftButton);  // cancelled
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].filter,
            "Pictures (*.png *.jpg *.jpeg *.bmp *.gif *.tif *.tiff *.webp);;Bitmap Image (*.bmp)");
  LoadFile(folder.SaveAs(Chart(), "chart.webp", "WEBP"));
  ASSERT_EQ(form.GetProfile().GetSize(), 300);
  ASSERT_TRUE(QDir().mkpath(folder.Path("folder.bmp")));
  LoadFile(folder.Path("folder.bmp"));
  EXPECT_EQ(prompts.messages, QStringList{"Bitmap image is not valid"});
  EXPECT_EQ(form.GetProfile().GetSize(), 300);
}

}  // namespace
