#include "vtMain.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSpinBox>
#include <algorithm>
#include <cmath>
#include <vector>

#include "CommandGuard.h"
#include "EnvelopeFile.h"
#include "LocaleNumbers.h"
#include "PictureWidget.h"
#include "Plot.h"
#include "Prompts.h"
#include "QtPicture.h"
#include "TracedPictureView.h"

namespace vistemp {

namespace {

// The window as designed, in pixels at an 8-point sans serif font of 13-pixel
// line height. The controls keep these places, scaled up as a whole when the
// desktop font needs more room.
constexpr int kClientWidth = 631;
constexpr int kClientHeight = 329;
constexpr int kPanel1Height = 41;
constexpr int kDesignedLineHeight = 13;

struct DesignedPlace {
  int x, y, width, height;
  // Room for a caption: a button's width, or for a check box the room up to
  // the next control, which may overlap the box.
  int captionRoom = 0;
};

constexpr DesignedPlace kLoadButton{8, 8, 57, 25, 57};
constexpr DesignedPlace kThreshEdit{80, 8, 41, 21};
constexpr DesignedPlace kLogCheckBox{128, 8, 49, 17, 176 - 128};
constexpr DesignedPlace kRangeEdit{176, 8, 33 + 15, 21};  // the edit and its up-down arrows
constexpr DesignedPlace kResampleCheckBox{240, 11, 89, 17, 321 - 240};
constexpr DesignedPlace kSzEdit{321, 9, 41, 21};
constexpr DesignedPlace kScaleCheckBox{378, 11, 62, 17, 440 - 378};
constexpr DesignedPlace kScaleEdit{440, 9, 41, 21};
constexpr DesignedPlace kSaveButton{496, 8, 57, 25, 57};
constexpr DesignedPlace kExitButton{560, 8, 57, 25, 57};

// The row of ink and region controls above the preview, and the least room
// left for the picture above it; the picture takes whatever the window grows.
constexpr int kPanel3Height = 33;
constexpr int kLeastPictureHeight = 200;
constexpr int kFirstPictureHeight = 320;
constexpr DesignedPlace kPickCheckBox{8, 8, 81, 17, 89};
constexpr DesignedPlace kColourLabel{97, 7, 19, 19};
constexpr DesignedPlace kToleranceLabel{128, 10, 50, 17};
constexpr DesignedPlace kToleranceEdit{180, 6, 41, 21};
constexpr DesignedPlace kRegionLabel{236, 10, 385, 17};

const QString kWholePicture = QStringLiteral("Drag a rectangle over the picture to trace only that region.");

QRect Scaled(const DesignedPlace& place, double scale) {
  return QRect(static_cast<int>(std::lround(place.x * scale)),
               static_cast<int>(std::lround(place.y * scale)),
               static_cast<int>(std::lround(place.width * scale)),
               static_cast<int>(std::lround(place.height * scale)));
}

int Scaled(int length, double scale) { return static_cast<int>(std::lround(length * scale)); }

// The width a captioned control needs at the given font: a check box's own
// estimate (box, gap and text); a button's text with a character's margin each side.
int CaptionWidth(const QWidget* control, const QFontMetrics& metrics) {
  if (const auto* button = qobject_cast<const QPushButton*>(control)) {
    const QString caption = button->text().remove(QLatin1Char('&'));
    return metrics.horizontalAdvance(caption) + 2 * metrics.averageCharWidth();
  }
  return control->sizeHint().width();
}

// A colour for the trace that stands out against the ink it follows: the one
// of a few strong colours farthest from it.
QColor TraceColour(Colour ink) {
  const Colour candidates[] = {MakeColour(255, 0, 255), MakeColour(0, 160, 255), MakeColour(255, 140, 0),
                               MakeColour(0, 170, 0)};
  const auto distance = [ink](Colour colour) {
    const int dr = RedOf(colour) - RedOf(ink), dg = GreenOf(colour) - GreenOf(ink), db = BlueOf(colour) - BlueOf(ink);
    return dr * dr + dg * dg + db * db;
  };
  return QColor::fromRgb(*std::max_element(std::begin(candidates), std::end(candidates),
                                           [&](Colour a, Colour b) { return distance(a) < distance(b); }));
}

QRect ToQRect(const Region& region) { return QRect(region.x, region.y, region.width, region.height); }

// An up-down control over a read-only edit: the text cannot be typed over; only
// the arrows and the arrow keys step it.
class UpDownSpinBox : public QSpinBox {
 public:
  explicit UpDownSpinBox(QWidget* parent) : QSpinBox(parent) { lineEdit()->setReadOnly(true); }
};

}  // namespace

TForm1::TForm1(Prompts* prompts, QWidget* parent) : QWidget(parent) {
  if (!prompts) {
    m_pOwnPrompts = std::make_unique<QtPrompts>(this);
    prompts = m_pOwnPrompts.get();
  }
  m_pPrompts = prompts;

  setWindowTitle(QStringLiteral("Image import"));
  CreateControls();
  PlaceControls();
  move(200, 108);

  connect(LoadButton, &QPushButton::clicked, this, &TForm1::LoadButtonClick);
  connect(SaveButton, &QPushButton::clicked, this, &TForm1::SaveButtonClick);
  connect(ExitButton, &QPushButton::clicked, this, &TForm1::ExitButtonClick);
  connect(LogCheckBox, &QCheckBox::toggled, this, &TForm1::LogCheckBoxClick);
  connect(RangeEdit, &QSpinBox::textChanged, this, &TForm1::RangeEditChange);
  connect(ResampleCheckBox, &QCheckBox::toggled, this, &TForm1::ResampleCheckBoxClick);
  connect(ScaleCheckBox, &QCheckBox::toggled, this, &TForm1::ScaleCheckBoxClick);
  connect(PickCheckBox, &QCheckBox::toggled, this, &TForm1::PickCheckBoxClick);
  connect(ToleranceEdit, &QLineEdit::textChanged, this, &TForm1::ToleranceEditChange);
  connect(PictureView, &TracedPictureView::PixelClicked, this, &TForm1::PictureClick);
  connect(PictureView, &TracedPictureView::RegionDragged, this, &TForm1::PictureDrag);
  connect(PictureView, &TracedPictureView::RegionCleared, this, &TForm1::PictureDoubleClick);
  // A fresh picture control is blank; it shows the preview again.
  connect(Image1, &PictureWidget::Resized, this, [this] { RunCommand([this] { DrawPreview(); }); });
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
  PictureView = new TracedPictureView(this);
  Panel3 = new QFrame(this);
  Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel3->setLineWidth(1);
  PickCheckBox = new QCheckBox(QStringLiteral("&Pick colour"), Panel3);
  PickCheckBox->setToolTip(QStringLiteral("Click the picture to take the colour of the curve to trace"));
  ColourLabel = new QLabel(Panel3);
  ColourLabel->setFrameStyle(QFrame::Box | QFrame::Plain);
  ColourLabel->setAutoFillBackground(true);
  ToleranceLabel = new QLabel(QStringLiteral("&Tolerance"), Panel3);
  ToleranceEdit = new QLineEdit(QStringLiteral("60"), Panel3);
  ToleranceEdit->setToolTip(QStringLiteral("Largest RGB distance from the picked colour that counts as ink"));
  ToleranceLabel->setBuddy(ToleranceEdit);
  RegionLabel = new QLabel(kWholePicture, Panel3);

  Panel2 = new QFrame(this);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel2->setLineWidth(1);
  Image1 = new PictureWidget(Panel2);

  Panel1 = new QFrame(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(1);

  LoadButton = new QPushButton(QStringLiteral("L&oad"), Panel1);
  ThreshEdit = new QLineEdit(QStringLiteral("0.5"), Panel1);
  LogCheckBox = new QCheckBox(QStringLiteral("&Log"), Panel1);
  LogCheckBox->setChecked(true);

  RangeEdit = new UpDownSpinBox(Panel1);
  RangeEdit->setRange(20, 100);
  RangeEdit->setSingleStep(10);
  RangeEdit->setValue(60);
  RangeEdit->setWrapping(false);

  ResampleCheckBox = new QCheckBox(QStringLiteral("Resample to "), Panel1);
  SzEdit = new QLineEdit(QStringLiteral("8192"), Panel1);
  SzEdit->hide();
  ScaleCheckBox = new QCheckBox(QStringLiteral("Scale to"), Panel1);
  ScaleCheckBox->hide();
  ScaleEdit = new QLineEdit(QStringLiteral("1.0"), Panel1);
  ScaleEdit->hide();
  SaveButton = new QPushButton(QStringLiteral("&Save"), Panel1);
  ExitButton = new QPushButton(QStringLiteral("E&xit"), Panel1);
}

void TForm1::PlaceControls() {
  const std::pair<QWidget*, DesignedPlace> places[] = {
      {LoadButton, kLoadButton},
      {ThreshEdit, kThreshEdit},
      {LogCheckBox, kLogCheckBox},
      {RangeEdit, kRangeEdit},
      {ResampleCheckBox, kResampleCheckBox},
      {SzEdit, kSzEdit},
      {ScaleCheckBox, kScaleCheckBox},
      {ScaleEdit, kScaleEdit},
      {SaveButton, kSaveButton},
      {ExitButton, kExitButton}};

  // Grow the design as a whole until the desktop font's lines and captions fit.
  const QFontMetrics metrics(font());
  double scale = std::max(1.0, static_cast<double>(metrics.height()) / kDesignedLineHeight);
  for (const auto& [control, place] : places) {
    if (place.captionRoom > 0) {
      scale = std::max(scale, static_cast<double>(CaptionWidth(control, metrics)) / place.captionRoom);
    }
  }

  m_dScale = scale;
  for (const auto& [control, place] : places) control->setGeometry(Scaled(place, scale));
  const std::pair<QWidget*, DesignedPlace> rowPlaces[] = {{PickCheckBox, kPickCheckBox},
                                                          {ColourLabel, kColourLabel},
                                                          {ToleranceLabel, kToleranceLabel},
                                                          {ToleranceEdit, kToleranceEdit},
                                                          {RegionLabel, kRegionLabel}};
  for (const auto& [control, place] : rowPlaces) control->setGeometry(Scaled(place, scale));

  const int width = Scaled(kClientWidth, scale);
  const int height = Scaled(kClientHeight + kPanel3Height, scale);
  setMinimumSize(width, height + Scaled(kLeastPictureHeight, scale));
  resize(width, height + Scaled(kFirstPictureHeight, scale));
  PlacePanels();
}

// The panels keep their designed heights at the bottom and widen with the
// window; the picture takes the room above them.
void TForm1::PlacePanels() {
  const int panel1Height = Scaled(kPanel1Height, m_dScale);
  const int panel2Height = Scaled(kClientHeight - kPanel1Height, m_dScale);
  const int panel3Height = Scaled(kPanel3Height, m_dScale);
  const int pictureHeight = std::max(0, height() - panel1Height - panel2Height - panel3Height);
  PictureView->setGeometry(0, 0, width(), pictureHeight);
  Panel3->setGeometry(0, pictureHeight, width(), panel3Height);
  Panel2->setGeometry(0, pictureHeight + panel3Height, width(), panel2Height);
  Image1->setGeometry(Panel2->contentsRect());
  Panel1->setGeometry(0, height() - panel1Height, width(), panel1Height);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlacePanels();
}

void TForm1::RunCommand(const std::function<void()>& command) { RunGuarded(*m_pPrompts, command); }

bool TForm1::MakeEnvelope(Block& out) const {
  return vistemp::MakeEnvelope(out, Profile, LogCheckBox->isChecked(), RangeEdit->value());
}

void TForm1::DrawPreview() {
  Block envelope;
  // A one-column picture has a single sample, which cannot be drawn as a curve;
  // the preview then stays as it was.
  if (!MakeEnvelope(envelope) || envelope.GetSize() < 2) return;
  Plot(envelope, Image1->Image(), 0.0, 0.0, 0, 0, PlotFlavour::Converter);
  Image1->update();
}

void TForm1::LoadButtonClick() {
  RunCommand([this] {
    const QString fileName = m_pPrompts->AskFileName(FileDialogOptions::ForOpening(
        QStringLiteral("Pictures (*.png *.jpg *.jpeg *.bmp *.gif *.tif *.tiff *.webp);;Bitmap Image (*.bmp)"),
        QStringLiteral("bmp"), QStringLiteral("Source Image")));
    if (!fileName.isEmpty()) OpenFile(fileName);
  });
}

void TForm1::OpenFile(const QString& fileName) {
  RunCommand([&] {
    // Loaded aside, so that a bad file leaves the last picture, profile and preview.
    LoadedPicture loaded = LoadPicture(fileName);
    if (!loaded.refusal.isEmpty()) {
      m_pPrompts->ShowMessage(loaded.refusal);
      return;
    }
    // A region belongs to pictures of one size: it is kept for the next chart
    // of the same layout and dropped otherwise.
    if (loaded.picture.size() != SourceBitmap.size()) m_region.reset();
    SourceBitmap = std::move(loaded.picture);
    PictureView->SetPicture(SourceBitmap);
    m_dThreshold = LocaleTextToNumber(ThreshEdit->text());
    Retrace();
  });
}

InkRule TForm1::CurrentInk() const {
  if (PickCheckBox->isChecked() && m_picked) {
    return InkRule::Near(*m_picked, LocaleTextToNumber(ToleranceEdit->text()));
  }
  return InkRule::Darker(m_dThreshold);
}

void TForm1::Retrace() {
  if (SourceBitmap.isNull()) return;
  TraceProfile(Profile, SourceBitmap, CurrentInk(), m_region);
  ShowTrace();
  LogCheckBoxClick();
}

void TForm1::ShowTrace() {
  const Region traced = ClipRegion(m_region.value_or(Region{0, 0, SourceBitmap.width(), SourceBitmap.height()}),
                                   SourceBitmap.width(), SourceBitmap.height());
  const bool byColour = PickCheckBox->isChecked() && m_picked;
  PictureView->SetTrace(std::vector<double>(Profile.GetData(), Profile.GetData() + Profile.GetSize()),
                        ToQRect(traced), TraceColour(byColour ? *m_picked : MakeColour(0, 0, 0)));
  PictureView->SetRegion(m_region ? std::optional<QRect>(ToQRect(traced)) : std::nullopt);
  RegionLabel->setText(m_region ? QStringLiteral("Region: %1, %2, %3 × %4 pixels; double-click clears it.")
                                      .arg(traced.x)
                                      .arg(traced.y)
                                      .arg(traced.width)
                                      .arg(traced.height)
                                : kWholePicture);
}

void TForm1::PickCheckBoxClick() { RunCommand([this] { Retrace(); }); }

void TForm1::ToleranceEditChange() {
  RunCommand([this] {
    if (PickCheckBox->isChecked() && m_picked) Retrace();
  });
}

void TForm1::PictureClick(QPoint pixel) {
  RunCommand([this, pixel] {
    if (!PickCheckBox->isChecked() || !SourceBitmap.valid(pixel)) return;
    m_picked = SourceBitmap.pixel(pixel) | 0xFF000000u;
    QPalette swatch = ColourLabel->palette();
    swatch.setColor(QPalette::Window, QColor::fromRgb(*m_picked));
    ColourLabel->setPalette(swatch);
    Retrace();
  });
}

void TForm1::PictureDrag(QRect pixels) {
  RunCommand([this, pixels] {
    m_region = ClipRegion(Region{pixels.x(), pixels.y(), pixels.width(), pixels.height()}, SourceBitmap.width(),
                          SourceBitmap.height());
    if (m_region->width == 0) m_region.reset();
    Retrace();
  });
}

void TForm1::PictureDoubleClick() {
  RunCommand([this] {
    if (!m_region) return;
    m_region.reset();
    Retrace();
  });
}

void TForm1::SaveButtonClick() {
  RunCommand([this] {
    const QString fileName = m_pPrompts->AskFileName(FileDialogOptions::ForSaving(
        QStringLiteral("Envelope files (*.env)"), QStringLiteral("env"), QStringLiteral("Save sound envelope")));
    if (fileName.isEmpty()) return;
    if (Profile.GetSize() == 0) return;  // no picture yet

    SaveSettings settings;
    settings.logMapping = LogCheckBox->isChecked();
    settings.rangeDb = RangeEdit->value();
    if (ResampleCheckBox->isChecked()) {
      bool isInteger = false;
      const int size = SzEdit->text().toInt(&isInteger);
      if (!isInteger) {
        m_pPrompts->ShowMessage(QStringLiteral("'%1' is not a valid integer value").arg(SzEdit->text()));
        return;
      }
      if (size <= 0) {
        m_pPrompts->ShowMessage(QStringLiteral("'%1' is not a positive number of samples").arg(SzEdit->text()));
        return;
      }
      settings.resampleTo = size;
      if (ScaleCheckBox->isChecked()) settings.scaleTo = LocaleTextToNumber(ScaleEdit->text());
    }
    Block envelope;
    if (!MakeSavedEnvelope(envelope, Profile, settings)) return;
    if (!WriteEnvelopeFile(envelope, fileName)) m_pPrompts->ShowMessage(QStringLiteral("Can not create ") + fileName);
  });
}

void TForm1::ExitButtonClick() { close(); }

void TForm1::LogCheckBoxClick() {
  RunCommand([this] {
    RangeEdit->setVisible(LogCheckBox->isChecked());
    DrawPreview();
  });
}

void TForm1::RangeEditChange() { LogCheckBoxClick(); }

void TForm1::ResampleCheckBoxClick() {
  const bool resample = ResampleCheckBox->isChecked();
  SzEdit->setVisible(resample);
  ScaleCheckBox->setVisible(resample);
  ScaleEdit->setVisible(resample && ScaleCheckBox->isChecked());
}

void TForm1::ScaleCheckBoxClick() { ScaleEdit->setVisible(ScaleCheckBox->isChecked()); }

}  // namespace vistemp
