#pragma once
// The converter's window: load a drawing, see it with its trace, choose the ink
// (darker than the threshold, or near a picked colour) and the region traced,
// preview the envelope and save it as an envelope file. The handlers read the
// controls, call the conversion and show the result; the numeric work is in
// Conversion.h.

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "Block.h"
#include "Conversion.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class PictureWidget;
class Prompts;
class TracedPictureView;

namespace vistemp {

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // prompts answers every question the window asks; null means the real dialogs.
  explicit TForm1(Prompts* prompts = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  // The controls, bottom panel left to right, then the preview.
  QFrame* Panel1;
  QPushButton* LoadButton;
  QLineEdit* ThreshEdit;
  QCheckBox* LogCheckBox;
  QSpinBox* RangeEdit;  // its arrows (and the arrow keys) are the up-down control
  QCheckBox* ResampleCheckBox;
  QLineEdit* SzEdit;
  QCheckBox* ScaleCheckBox;
  QLineEdit* ScaleEdit;
  QPushButton* SaveButton;
  QPushButton* ExitButton;
  QFrame* Panel2;
  PictureWidget* Image1;
  // Above the preview: the picture with its trace, and the ink and region controls.
  TracedPictureView* PictureView;
  QFrame* Panel3;
  QCheckBox* PickCheckBox;
  QLabel* ColourLabel;  // a swatch of the picked colour
  QLabel* ToleranceLabel;
  QLineEdit* ToleranceEdit;
  QLabel* RegionLabel;

  // The column profile of the last picture loaded; empty before the first load.
  const Block& GetProfile() const { return Profile; }
  std::optional<Colour> GetPickedColour() const { return m_picked; }
  std::optional<Region> GetRegion() const { return m_region; }

  void LoadButtonClick();
  // Loads, traces and shows the picture, as Load does with the file chosen in
  // its dialog; a picture that does not load is refused with a message.
  void OpenFile(const QString& fileName);
  void SaveButtonClick();
  void ExitButtonClick();
  void LogCheckBoxClick();
  void RangeEditChange();
  void ResampleCheckBoxClick();
  void ScaleCheckBoxClick();
  void PickCheckBoxClick();
  void ToleranceEditChange();
  // Mouse work on the shown picture, in picture pixels.
  void PictureClick(QPoint pixel);
  void PictureDrag(QRect pixels);
  void PictureDoubleClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void PlaceControls();
  void PlacePanels();
  InkRule CurrentInk() const;
  // Traces the loaded picture again with the current ink and region, and shows it.
  void Retrace();
  void ShowTrace();
  bool MakeEnvelope(Block& out) const;
  void DrawPreview();
  // Runs a handler's body; an error escaping it is shown in a message box.
  void RunCommand(const std::function<void()>& command);

  std::unique_ptr<Prompts> m_pOwnPrompts;
  Prompts* m_pPrompts;
  Block Profile;
  QImage SourceBitmap;
  double m_dThreshold = 0.5;  // read from ThreshEdit at the last load
  std::optional<Colour> m_picked;
  std::optional<Region> m_region;
  double m_dScale = 1.0;  // of the designed layout, for the desktop font
};

}  // namespace vistemp
