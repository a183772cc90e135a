#include "vtMain.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

#include "Conversion.h"
#include "CommandGuard.h"
#include "EnvelopeFile.h"
#include "LocaleNumbers.h"
#include "PictureWidget.h"
#include "Plot.h"
#include "Prompts.h"

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
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
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
  // A fresh picture control is blank; it shows the preview again.
  connect(Image1, &PictureWidget::Resized, this, [this] { RunCommand([this] { DrawPreview(); }); });
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
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

  const int width = Scaled(kClientWidth, scale);
  const int height = Scaled(kClientHeight, scale);
  const int panel1Height = Scaled(kPanel1Height, scale);
  setFixedSize(width, height);
  Panel2->setGeometry(0, 0, width, height - panel1Height);
  Image1->setGeometry(Panel2->contentsRect());
  Panel1->setGeometry(0, height - panel1Height, width, panel1Height);
  for (const auto& [control, place] : places) control->setGeometry(Scaled(place, scale));
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
        QStringLiteral("Bitmap Image (*.bmp)"), QStringLiteral("bmp"), QStringLiteral("Source Image")));
    if (fileName.isEmpty()) return;

    // Loaded aside, so that a bad file leaves the last picture, profile and preview.
    QImage picture;
    if (!picture.load(fileName, "BMP")) {
      m_pPrompts->ShowMessage(QStringLiteral("Bitmap image is not valid"));
      return;
    }
    SourceBitmap = std::move(picture);
    TraceProfile(Profile, SourceBitmap, LocaleTextToNumber(ThreshEdit->text()));
    LogCheckBoxClick();
  });
}

void TForm1::SaveButtonClick() {
  RunCommand([this] {
    const QString fileName = m_pPrompts->AskFileName(FileDialogOptions::ForSaving(
        QStringLiteral("Envelope files (*.env)"), QStringLiteral("env"), QStringLiteral("Save sound envelope")));
    if (fileName.isEmpty()) return;

    Block envelope;
    if (!MakeEnvelope(envelope)) return;  // no picture yet

    bool written;
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
      Block resampled = Resample(envelope, size);
      if (ScaleCheckBox->isChecked()) ScaleTo(resampled, LocaleTextToNumber(ScaleEdit->text()));
      written = WriteEnvelopeFile(resampled, fileName);
    } else {
      written = WriteEnvelopeFile(envelope, fileName);
    }
    if (!written) m_pPrompts->ShowMessage(QStringLiteral("Can not create ") + fileName);
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
