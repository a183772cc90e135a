#pragma once
// The main window of kadenzo. It owns the current sound and the rhythm
// envelope; every handler reads its controls, calls one library operation and
// shows the result.

#include <functional>
#include <memory>
#include <optional>

#include <QPoint>
#include <QWidget>

#include "EditHistory.h"
#include "KadenzoCommands.h"
#include "MorphCoeffs.h"
#include "ProgressBarProgress.h"
#include "RandomGenerator.h"
#include "WaveSignal.h"
#include "WaveView.h"

class CoeffGrid;
class KadenzoPrompts;
class PictureWidget;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;
class QPushButton;
class QTableView;

namespace kadenzo {

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // prompts answers every question the window asks; null means the real
  // dialogs (TChannelForm and TModelForm, created hidden after the window).
  explicit TForm1(KadenzoPrompts* prompts = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  // The current sound, or null.
  WaveSignal* CurrentSound() const { return m_pSound.get(); }
  SeamlessCo& Envelope() { return *m_pEnvelope; }
  // The generator behind every random draw, so that tests can fix its clock.
  RandomGenerator& Random() { return m_Random; }

  // The waveform with the rhythm's period ticks, where "&Play" starts and,
  // while playing, where the sound is; its seconds under it.
  WaveView* Image1;
  TimeAxis* WaveAxis;
  // The envelope's table: a view on the values that RhythmGridCells holds.
  QTableView* RhythmGrid;
  CoeffGrid* RhythmGridCells;
  PictureWidget* RhythmImage;
  QPushButton* TestButton;
  QPushButton* RhythmLoadButton;
  QPushButton* RhythmSaveButton;
  QPushButton* LearnButton;
  QGroupBox* ModulationRadio;
  QButtonGroup* ModulationItems;
  QPushButton* RhythmApplyBtn;
  QLineEdit* AssignEdit;
  QPushButton* AssignButton;
  QLabel* Label1;
  QLineEdit* PeriodEdit;
  QLabel* Label7;
  QLineEdit* MaxDelayEdit;
  QLabel* Label3;
  QLineEdit* TimeDeviationEdit;
  QLabel* Label4;
  QLineEdit* MagnDeviationEdit;
  QPushButton* NoiseButton;
  QPushButton* LoadButton;
  QPushButton* RhythmButton;
  QPushButton* PlayBtn;
  QPushButton* SaveButton;
  QPushButton* ExitButton;
  QProgressBar* ProgressBar1;
  QLabel* SeedLabel;
  QLineEdit* SeedEdit;
  QCheckBox* KeepSeedBox;

  void NoiseButtonClick();
  void LoadButtonClick();
  // What Load and the envelope's Load do with the file chosen in their dialogs.
  void OpenSound(const QString& fileName);
  void OpenEnvelope(const QString& fileName);
  // A file named on the command line: an envelope when its name ends in .env,
  // a sound otherwise. An error is shown as a command's error is.
  void OpenFile(const QString& fileName);
  void RhythmButtonClick();
  // From the button (fromButton true) or from the end of the sound (false),
  // which always stops.
  void PlayBtnClick(bool fromButton);
  void SaveButtonClick();
  void ExitButtonClick();
  void TestButtonClick();
  void RhythmLoadButtonClick();
  void RhythmSaveButtonClick();
  void RhythmApplyBtnClick();
  void AssignButtonClick();
  void RhythmImageMouseUp(int X, int Y);
  void KeepSeedBoxClick();
  void LearnButtonClick();

  // Drawing on RhythmImage: a press starts a stroke, every move draws the line
  // from the last position, and the release (RhythmImageMouseUp) ends it.
  void RhythmImageMouseDown(int X, int Y);
  void RhythmImageMouseMove(int X, int Y);

  // Undo and redo over the one history of envelope and sound changes
  // (Ctrl+Z; Ctrl+Shift+Z or Ctrl+Y).
  QPushButton* UndoButton;
  QPushButton* RedoButton;
  void UndoClick();
  void RedoClick();
  const EditHistory& History() const { return m_History; }

 private:
  void CreateControls();
  void PlaceControls();
  void ConnectHandlers();
  // Stops and destroys the current sound and puts sound in its place.
  void ReplaceSound(std::unique_ptr<WaveSignal> sound);
  // Draws the current sound (or nothing) into Image1 and updates its hint.
  void ShowSound();
  // The Play button's caption and hint for a playing or an idle sound.
  void ShowPlaying(bool playing);
  // The context of Create and Rhythm; false, after saying so, when the kept
  // seed is no number.
  bool MakeContext(std::optional<SynthesisContext>& context);
  // The seed field after a run.
  void ShowSeed();
  // Runs a handler's body; an error escaping it is shown in a message box.
  void RunCommand(const std::function<void()>& command);

  std::unique_ptr<KadenzoPrompts> m_pOwnPrompts;
  KadenzoPrompts* m_pPrompts;
  std::unique_ptr<WaveSignal> m_pSound;
  std::unique_ptr<SeamlessCo> m_pEnvelope;
  RandomGenerator m_Random;
  ProgressBarProgress m_Progress{nullptr};
  // The Model dialog's answers, kept for the program's life.
  SourceSettings m_SourceSettings;
  ModulatorSettings m_ModulatorSettings;

  // The last position of the stroke being drawn on RhythmImage, if any.
  std::optional<QPoint> m_StrokeAt;

  void CreateHistoryControls();
  // The present envelope and/or sound, and putting such a state in place.
  EditStep Capture(bool envelope, bool sound) const;
  void Restore(EditStep state);
  // Runs an envelope command and records it when it changed the values.
  void RecordEnvelopeChange(const std::function<void()>& command);
  // A history step from before (the parts a command changed, as they were).
  void Record(EditStep before);
  void ShowHistory();
  EditHistory m_History;
  // The envelope as it was when the current stroke began.
  std::optional<EnvelopeSnapshot> m_StrokeBefore;

  // The waveform view: the wheel zooms around the pointer, dragging with the
  // right button pans, a double-click shows the whole sound.
  void ConnectWaveView();
  void Image1Zoom(int x, double notches);
  void Image1Pan(int x);
  // A left press while the sound is stopped: "&Play" starts there.
  void Image1Press(int x);
  // Follows the output while the sound plays.
  QTimer* m_pCursorTimer;
  // Where a right-button pan began: the column, and the first frame then in view.
  std::optional<QPoint> m_PanFrom;
};

}  // namespace kadenzo
