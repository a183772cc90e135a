#pragma once
// The converter's window: load a BMP drawing, preview its envelope, save it as an
// envelope file. The handlers read the controls, call the conversion and show
// the result; the numeric work is in Conversion.h.

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

#include "Block.h"

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QSpinBox;
class PictureWidget;
class Prompts;

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

  // The column profile of the last picture loaded; empty before the first load.
  const Block& GetProfile() const { return Profile; }

  void LoadButtonClick();
  void SaveButtonClick();
  void ExitButtonClick();
  void LogCheckBoxClick();
  void RangeEditChange();
  void ResampleCheckBoxClick();
  void ScaleCheckBoxClick();

 private:
  void CreateControls();
  void PlaceControls();
  bool MakeEnvelope(Block& out) const;
  void DrawPreview();
  // Runs a handler's body; an error escaping it is shown in a message box.
  void RunCommand(const std::function<void()>& command);

  std::unique_ptr<Prompts> m_pOwnPrompts;
  Prompts* m_pPrompts;
  Block Profile;
  QImage SourceBitmap;
};

}  // namespace vistemp
