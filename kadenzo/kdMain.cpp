#include "kdMain.h"

#include <algorithm>
#include <cmath>

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "Block.h"
#include "CoeffGrid.h"
#include "CommandGuard.h"
#include "EnvelopeFile.h"
#include "LocaleNumbers.h"
#include "PictureWidget.h"
#include "WindowPrompts.h"

namespace kadenzo {

namespace {

// The envelope is created with 540 stored values: 539 points and the seam point.
constexpr int kEnvelopeCount = 540;
// The waveform view zooms in no further than this many frames across.
constexpr int kFewestViewFrames = 16;
// How often the play cursor follows the output.
constexpr int kCursorIntervalMs = 30;

const QString kPlayCaption = QStringLiteral("&Play");
const QString kStopCaption = QStringLiteral("Sto&p");
const QString kPlayHint = QStringLiteral("Play the sound been created");
const QString kStopHint = QStringLiteral("Stop playback");
const QString kApplyHint = QStringLiteral("Transfer values from table");

const QString kSoundFilter = QStringLiteral("Sound files (*.wav)");
// Every sound file "&Load" reads first, then the WAV files alone.
const QString kSoundOpenFilter =
    QStringLiteral("Sound files (*.wav *.flac *.ogg *.aif *.aiff);;Sound files (*.wav)");
const QString kSoundSuffix = QStringLiteral("wav");
const QString kEnvelopeFilter = QStringLiteral("Envelop files (*.env)");
const QString kEnvelopeSuffix = QStringLiteral("env");

// A label above its edit; the label's accelerator focuses the edit.
QVBoxLayout* Labelled(QLabel* label, QLineEdit* edit) {
  label->setBuddy(edit);
  auto* column = new QVBoxLayout;
  column->setSpacing(2);
  column->addWidget(label);
  column->addWidget(edit);
  return column;
}

QPushButton* Button(const QString& caption, int designedWidth, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setMinimumWidth(designedWidth);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TForm1::TForm1(KadenzoPrompts* prompts, QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Kadenzor 1.0"));
  CreateControls();
  CreateHistoryControls();
  PlaceControls();
  if (prompts == nullptr) {
    m_pOwnPrompts = std::make_unique<WindowPrompts>(this);
    prompts = m_pOwnPrompts.get();
  }
  m_pPrompts = prompts;
  m_pEnvelope = std::make_unique<SeamlessCo>(kEnvelopeCount, RhythmImage, 0.5, RhythmGridCells);
  m_pEnvelope->Resize(kEnvelopeCount);
  m_Progress = ProgressBarProgress(ProgressBar1);
  ConnectHandlers();
  ConnectWaveView();
  // Opens at the designed arrangement, which is also the least.
  resize(minimumSizeHint());
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
  Image1 = new WaveView(this);
  // The designed sizes of the two pictures are their least; they take the
  // room of an enlarged window.
  Image1->setMinimumSize(539, 89);
  Image1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  WaveAxis = new TimeAxis(this);
  m_pCursorTimer = new QTimer(this);
  m_pCursorTimer->setInterval(kCursorIntervalMs);

  RhythmGridCells = new CoeffGrid(this);
  RhythmGrid = new QTableView(this);
  RhythmGrid->setModel(RhythmGridCells);
  RhythmGrid->horizontalHeader()->setDefaultSectionSize(50);
  RhythmGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  RhythmGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  RhythmGrid->verticalHeader()->setDefaultSectionSize(18);
  RhythmGrid->verticalHeader()->hide();
  RhythmGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RhythmGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  RhythmGrid->setEditTriggers(QAbstractItemView::AllEditTriggers);
  RhythmGrid->setMinimumSize(105, 129);
  // Two 50-pixel columns, the frame and the scroll bar.
  RhythmGrid->setFixedWidth(2 * 50 + 2 * RhythmGrid->frameWidth() +
                            RhythmGrid->verticalScrollBar()->sizeHint().width());

  RhythmImage = new PictureWidget(this);
  RhythmImage->setMinimumSize(257, 97);
  RhythmImage->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  RhythmImage->setCursor(Qt::CrossCursor);

  TestButton = Button(QStringLiteral("Test"), 50, this);
  RhythmLoadButton = Button(QStringLiteral("L&oad"), 50, this);
  RhythmSaveButton = Button(QStringLiteral("Sa&ve"), 50, this);
  LearnButton = Button(QStringLiteral("Lear&n\u2026"), 50, this);
  LearnButton->setToolTip(QStringLiteral("Take the rhythm from a sound file"));

  ModulationRadio = new QGroupBox(QStringLiteral("Modulation t&ype"), this);
  ModulationItems = new QButtonGroup(this);
  {
    auto* items = new QVBoxLayout(ModulationRadio);
    const QStringList captions = {QStringLiteral("Amplitude"), QStringLiteral("Detonation"),
                                  QStringLiteral("Amp+Det"),   QStringLiteral("Distortion"),
                                  QStringLiteral("Frequency"), QStringLiteral("Amp+Freq")};
    for (int i = 0; i < captions.size(); ++i) {
      auto* item = new QRadioButton(captions[i], ModulationRadio);
      ModulationItems->addButton(item, i);
      items->addWidget(item);
    }
    items->addStretch();
    ModulationItems->button(2)->setChecked(true);
  }
  ModulationRadio->setMinimumHeight(193);
  ModulationRadio->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);

  RhythmApplyBtn = Button(QStringLiteral("&Apply"), 50, this);
  RhythmApplyBtn->setToolTip(kApplyHint);
  // A quarter, written the way this locale writes it.
  AssignEdit = new QLineEdit(FormatFixed(0.25, 2), this);
  AssignEdit->setToolTip(QStringLiteral("Set zero to create sine wave"));
  AssignEdit->setFixedWidth(41);
  AssignButton = Button(QStringLiteral("Assign"), 50, this);
  AssignButton->setToolTip(kApplyHint);

  auto edit = [this](const QString& text) {
    auto* field = new QLineEdit(text, this);
    field->setFixedWidth(57);
    return field;
  };
  Label1 = new QLabel(QStringLiteral("P&eriod,s"), this);
  PeriodEdit = edit(QStringLiteral("1"));
  Label7 = new QLabel(QStringLiteral("&Max. delay, ms"), this);
  MaxDelayEdit = edit(QStringLiteral("100"));
  Label3 = new QLabel(QStringLiteral("&Time deviation, %"), this);
  TimeDeviationEdit = edit(QStringLiteral("10"));
  Label4 = new QLabel(QStringLiteral("Ma&gnitude deviation, %"), this);
  MagnDeviationEdit = edit(QStringLiteral("10"));

  NoiseButton = Button(QStringLiteral("&Create"), 75, this);
  LoadButton = Button(QStringLiteral("&Load"), 75, this);
  RhythmButton = Button(QStringLiteral("&Rhythm"), 75, this);
  PlayBtn = Button(kPlayCaption, 75, this);
  PlayBtn->setToolTip(kPlayHint);
  SaveButton = Button(QStringLiteral("&Save"), 75, this);
  ExitButton = Button(QStringLiteral("E&xit"), 75, this);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setFixedHeight(16);
  ProgressBar1->setFocusPolicy(Qt::NoFocus);

  SeedLabel = new QLabel(QStringLiteral("Seed"), this);
  SeedEdit = new QLineEdit(this);
  SeedEdit->setReadOnly(true);
  SeedEdit->setFixedWidth(100);
  SeedEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,20}")), SeedEdit));
  SeedEdit->setToolTip(QStringLiteral("The seed of the last Create or Rhythm"));
  SeedLabel->setBuddy(SeedEdit);
  KeepSeedBox = new QCheckBox(QStringLiteral("Keep seed"), this);
  KeepSeedBox->setToolTip(QStringLiteral("Create and Rhythm use this seed instead of the clock,\n"
                                         "so that the same settings give the same sound"));

  const QList<QWidget*> tabOrder = {TestButton,        RhythmLoadButton, RhythmSaveButton, RhythmApplyBtn,
                                    PeriodEdit,        MaxDelayEdit,     TimeDeviationEdit, MagnDeviationEdit,
                                    NoiseButton,       LoadButton,       RhythmButton,     PlayBtn,
                                    SaveButton,        ExitButton,       RhythmGrid,       ModulationRadio, LearnButton,
                                    AssignEdit,        AssignButton,     SeedEdit,         KeepSeedBox};
  for (int i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void TForm1::PlaceControls() {
  // The designed arrangement: the waveform across the top; the table, the
  // envelope picture with its buttons and the number fields in the middle,
  // the modulation types on the right; the commands in a row; the progress bar
  // along the bottom. Layouts let it grow where the font needs more room.
  auto* envelopeButtons = new QVBoxLayout;
  envelopeButtons->setSpacing(7);
  envelopeButtons->addWidget(TestButton);
  envelopeButtons->addWidget(RhythmLoadButton);
  envelopeButtons->addWidget(RhythmSaveButton);
  envelopeButtons->addWidget(LearnButton);
  envelopeButtons->addStretch();

  auto* middle = new QGridLayout;
  middle->setHorizontalSpacing(6);
  middle->setVerticalSpacing(6);
  middle->addWidget(RhythmGrid, 0, 0, 2, 1, Qt::AlignTop);
  middle->addWidget(RhythmImage, 0, 1, 1, 4);
  middle->addLayout(envelopeButtons, 0, 5);
  // Apply stays beside Assign when its column widens.
  middle->addWidget(RhythmApplyBtn, 1, 1, Qt::AlignBottom | Qt::AlignRight);
  middle->addWidget(AssignEdit, 1, 2, Qt::AlignBottom);
  middle->addWidget(AssignButton, 1, 3, Qt::AlignBottom);
  middle->addLayout(Labelled(Label1, PeriodEdit), 1, 4);
  middle->addLayout(Labelled(Label7, MaxDelayEdit), 1, 5);
  middle->addLayout(Labelled(Label3, TimeDeviationEdit), 2, 2, 1, 2);
  middle->addLayout(Labelled(Label4, MagnDeviationEdit), 2, 4, 1, 2);
  // The picture's first column, empty below the Apply button, takes the
  // width of an enlarged window, and the picture's row its height; the
  // buttons under the picture keep their width.
  middle->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 2, 1);
  middle->setColumnStretch(1, 1);
  middle->setRowStretch(0, 1);
  RhythmApplyBtn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  AssignButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

  auto* body = new QHBoxLayout;
  body->addLayout(middle, 1);
  body->addWidget(ModulationRadio, 0, Qt::AlignTop);
  body->addStretch();

  auto* commands = new QHBoxLayout;
  commands->addWidget(NoiseButton);
  commands->addWidget(LoadButton);
  commands->addSpacing(16);
  commands->addWidget(RhythmButton);
  commands->addSpacing(24);
  commands->addWidget(PlayBtn);
  commands->addWidget(SaveButton);
  commands->addWidget(UndoButton);
  commands->addWidget(RedoButton);
  commands->addStretch();
  commands->addWidget(SeedLabel);
  commands->addWidget(SeedEdit);
  commands->addWidget(KeepSeedBox);
  commands->addStretch();
  commands->addWidget(ExitButton);

  auto* window = new QVBoxLayout(this);
  window->setSizeConstraint(QLayout::SetMinimumSize);
  window->setContentsMargins(0, 0, 0, 0);
  window->setSpacing(0);
  window->addWidget(Image1, 1);
  window->addWidget(WaveAxis);
  auto* controls = new QVBoxLayout;
  controls->setContentsMargins(6, 12, 6, 6);
  controls->setSpacing(8);
  controls->addLayout(body, 1);
  controls->addLayout(commands);
  window->addLayout(controls, 1);
  window->addWidget(ProgressBar1);
}

void TForm1::ConnectHandlers() {
  auto guarded = [this](void (TForm1::*handler)()) {
    return [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
  };
  connect(NoiseButton, &QPushButton::clicked, this, guarded(&TForm1::NoiseButtonClick));
  connect(LoadButton, &QPushButton::clicked, this, guarded(&TForm1::LoadButtonClick));
  connect(RhythmButton, &QPushButton::clicked, this, guarded(&TForm1::RhythmButtonClick));
  connect(PlayBtn, &QPushButton::clicked, this, [this] { RunCommand([this] { PlayBtnClick(true); }); });
  connect(SaveButton, &QPushButton::clicked, this, guarded(&TForm1::SaveButtonClick));
  connect(ExitButton, &QPushButton::clicked, this, guarded(&TForm1::ExitButtonClick));
  connect(TestButton, &QPushButton::clicked, this, guarded(&TForm1::TestButtonClick));
  connect(RhythmLoadButton, &QPushButton::clicked, this, guarded(&TForm1::RhythmLoadButtonClick));
  connect(RhythmSaveButton, &QPushButton::clicked, this, guarded(&TForm1::RhythmSaveButtonClick));
  connect(RhythmApplyBtn, &QPushButton::clicked, this, guarded(&TForm1::RhythmApplyBtnClick));
  connect(AssignButton, &QPushButton::clicked, this, guarded(&TForm1::AssignButtonClick));
  connect(KeepSeedBox, &QCheckBox::clicked, this, guarded(&TForm1::KeepSeedBoxClick));
  connect(LearnButton, &QPushButton::clicked, this, guarded(&TForm1::LearnButtonClick));
  connect(RhythmImage, &PictureWidget::MouseReleased, this,
          [this](int x, int y, Qt::MouseButton) { RunCommand([=, this] { RhythmImageMouseUp(x, y); }); });
  connect(RhythmImage, &PictureWidget::MousePressed, this,
          [this](int x, int y, Qt::MouseButton) { RunCommand([=, this] { RhythmImageMouseDown(x, y); }); });
  connect(RhythmImage, &PictureWidget::MouseMoved, this,
          [this](int x, int y, Qt::MouseButtons) { RunCommand([=, this] { RhythmImageMouseMove(x, y); }); });
  // A picture that changes size is drawn again.
  connect(Image1, &PictureWidget::Resized, this, [this] { RunCommand([this] { ShowSound(); }); });
  connect(RhythmImage, &PictureWidget::Resized, this, [this] { RunCommand([this] { m_pEnvelope->Draw(); }); });
}

void TForm1::RunCommand(const std::function<void()>& command) { RunGuarded(*m_pPrompts, command); }

void TForm1::ReplaceSound(std::unique_ptr<WaveSignal> sound) {
  // The old sound stops playing before its samples go (its destructor sees to it).
  m_pSound.reset();
  ShowPlaying(false);
  m_pSound = std::move(sound);
  // Its periods and where it was to play from went with it.
  Image1->SetPeriodStarts({});
  Image1->SetPlayStart(std::nullopt);
}

void TForm1::ShowPlaying(bool playing) {
  PlayBtn->setText(playing ? kStopCaption : kPlayCaption);
  PlayBtn->setToolTip(playing ? kStopHint : kPlayHint);
  if (playing) {
    m_pCursorTimer->start();
  } else {
    m_pCursorTimer->stop();
    Image1->SetPlayCursor(std::nullopt);
  }
}

void TForm1::ShowSound() {
  if (!m_pSound) {
    Image1->SetFrames(0, 0);
    WaveAxis->SetSpan(0, 0, 0);
    return;
  }
  m_pSound->Draw();
  m_pSound->UpdateHint(Image1);
  Image1->SetFrames(m_pSound->ViewFirst(), m_pSound->ViewCount());
  WaveAxis->SetSpan(m_pSound->ViewFirst(), m_pSound->ViewCount(), m_pSound->GetSampleRate());
  Image1->update();
}

bool TForm1::MakeContext(std::optional<SynthesisContext>& context) {
  std::optional<std::uint64_t> keptSeed;
  if (KeepSeedBox->isChecked()) {
    bool number = false;
    keptSeed = SeedEdit->text().toULongLong(&number);
    if (!number) {
      m_pPrompts->ShowMessage(QStringLiteral("Wrong seed value."));
      return false;
    }
  }
  context.emplace(SynthesisContext{*m_pPrompts, &Image1->Image(), &m_Progress, m_Random, keptSeed});
  return true;
}

void TForm1::ShowSeed() { SeedEdit->setText(QString::number(m_Random.GetSeed())); }

void TForm1::NoiseButtonClick() {
  std::optional<SynthesisContext> context;
  if (!MakeContext(context)) return;
  EditStep before = Capture(false, true);
  std::unique_ptr<WaveSignal> created;
  if (CreateSound(created, m_SourceSettings, *context) == CommandOutcome::Unchanged) return;
  Record(std::move(before));
  ReplaceSound(std::move(created));
  ShowSeed();
  ShowSound();
}

void TForm1::RhythmButtonClick() {
  const RhythmTexts texts{PeriodEdit->text(), TimeDeviationEdit->text(), MagnDeviationEdit->text(),
                          MaxDelayEdit->text()};
  std::optional<SynthesisContext> context;
  if (!MakeContext(context)) return;
  EditStep before = Capture(true, true);
  std::vector<PeriodRecord> periods;
  if (RunRhythm(texts, ModulationItems->checkedId(), m_pSound.get(), *m_pEnvelope, m_ModulatorSettings, *context,
                &periods) == CommandOutcome::Unchanged) {
    return;
  }
  Record(std::move(before));
  std::vector<std::int64_t> starts(periods.size());
  std::transform(periods.begin(), periods.end(), starts.begin(), [](const PeriodRecord& period) { return period.first; });
  Image1->SetPeriodStarts(std::move(starts));
  ShowSeed();
  ShowSound();
}

void TForm1::LearnButtonClick() {
  const QString fileName =
      m_pPrompts->AskFileName(FileDialogOptions::ForOpening(kSoundOpenFilter, kSoundSuffix, QStringLiteral("Learn")));
  if (fileName.isEmpty()) return;
  const LearnOutcome outcome = LearnFromFile(fileName, &m_Progress);
  if (!outcome.message.isEmpty()) {
    m_pPrompts->ShowMessage(outcome.message, outcome.caption);
    return;
  }
  const LearnedRhythm& rhythm = outcome.rhythm;
  RecordEnvelopeChange([&] { m_pEnvelope->SetPoints({rhythm.envelope.begin(), rhythm.envelope.end() - 1}); });
  PeriodEdit->setText(FormatFixedPrecision(rhythm.period, 7, 4));
  TimeDeviationEdit->setText(FormatFixedPrecision(rhythm.timeDeviation, 4, 1));
  MagnDeviationEdit->setText(FormatFixedPrecision(rhythm.magnitudeDeviation, 4, 1));
}

void TForm1::KeepSeedBoxClick() { SeedEdit->setReadOnly(!KeepSeedBox->isChecked()); }

void TForm1::LoadButtonClick() {
  const QString fileName = m_pPrompts->AskFileName(FileDialogOptions::ForOpening(kSoundOpenFilter, kSoundSuffix));
  if (!fileName.isEmpty()) OpenSound(fileName);
}

void TForm1::OpenSound(const QString& fileName) {
  // Read aside: a file that does not load keeps the current sound and its view.
  auto loaded = std::make_unique<WaveSignal>(&Image1->Image(), m_pPrompts);
  loaded->Load(fileName);
  if (loaded->GetLength() == 0) return;
  Record(Capture(false, true));
  ReplaceSound(std::move(loaded));
  ShowSound();
}

void TForm1::OpenEnvelope(const QString& fileName) {
  RecordEnvelopeChange([&] { m_pEnvelope->LoadFromFile(fileName); });
}

void TForm1::OpenFile(const QString& fileName) {
  RunCommand([&] {
    if (QFileInfo(fileName).suffix().compare(kEnvelopeSuffix, Qt::CaseInsensitive) == 0) {
      OpenEnvelope(fileName);
    } else {
      OpenSound(fileName);
    }
  });
}

void TForm1::PlayBtnClick(bool fromButton) {
  if (!m_pSound) return;
  bool playing = false;
  if (!fromButton || PlayBtn->text() == kStopCaption) {
    m_pSound->Stop();
  } else {
    playing = m_pSound->Play(this, [this] { RunCommand([this] { PlayBtnClick(false); }); },
                             static_cast<int>(Image1->PlayStart().value_or(0)));
  }
  ShowPlaying(playing);
}

void TForm1::SaveButtonClick() {
  if (!m_pSound) return;
  const QString fileName = m_pPrompts->AskFileName(FileDialogOptions::ForSaving(kSoundFilter, kSoundSuffix));
  if (!fileName.isEmpty()) m_pSound->Save(fileName);
}

void TForm1::ExitButtonClick() { close(); }

void TForm1::TestButtonClick() {
  Block curve(kEnvelopeCount);
  curve[0] = 1.0;
  curve[kEnvelopeCount / 4] = 0.1;
  curve[kEnvelopeCount / 2] = 0.7;
  curve[kEnvelopeCount * 3 / 4] = 0.2;
  curve.FillGapsCubic(true);
  const int rows = std::min(kEnvelopeCount, m_pEnvelope->GetCount());
  for (int i = 0; i < rows; ++i) m_pEnvelope->SetCoeffText(i, FormatFixedPrecision(curve[i], 4, 2));
  RhythmApplyBtnClick();
}

void TForm1::RhythmLoadButtonClick() {
  const QString fileName = m_pPrompts->AskFileName(FileDialogOptions::ForOpening(kEnvelopeFilter, kEnvelopeSuffix));
  if (!fileName.isEmpty()) OpenEnvelope(fileName);
}

void TForm1::RhythmSaveButtonClick() {
  const QString fileName = m_pPrompts->AskFileName(FileDialogOptions::ForSaving(kEnvelopeFilter, kEnvelopeSuffix));
  if (fileName.isEmpty()) return;
  if (!WriteEnvelopeFile(*m_pEnvelope, fileName)) {
    m_pPrompts->ShowMessage(QStringLiteral("Can not create ") + fileName, QStringLiteral("Error"));
  }
}

void TForm1::RhythmApplyBtnClick() {
  RecordEnvelopeChange([this] {
    m_pEnvelope->FromGrid();
    m_pEnvelope->Draw();
  });
}

void TForm1::AssignButtonClick() {
  m_pEnvelope->SetCoeffTexts(AssignEdit->text());
  RhythmApplyBtnClick();
}

void TForm1::RhythmImageMouseUp(int X, int Y) {
  if (!m_StrokeAt) {
    RecordEnvelopeChange([=, this] { m_pEnvelope->EditAt(X, Y); });
    return;
  }
  // A click without movement draws from its press to its release: EditAt.
  m_pEnvelope->EditLine(m_StrokeAt->x(), m_StrokeAt->y(), X, Y);
  m_StrokeAt.reset();
  // The whole stroke is one step.
  EditStep before{std::move(m_StrokeBefore), std::nullopt};
  m_StrokeBefore.reset();
  if (before.envelope && before.envelope != Capture(true, false).envelope) Record(std::move(before));
}

void TForm1::RhythmImageMouseDown(int X, int Y) {
  // A second button pressed during a stroke continues it.
  if (m_StrokeAt) return;
  m_StrokeAt = QPoint(X, Y);
  m_StrokeBefore = Capture(true, false).envelope;
}

void TForm1::RhythmImageMouseMove(int X, int Y) {
  if (!m_StrokeAt) return;
  m_pEnvelope->EditLine(m_StrokeAt->x(), m_StrokeAt->y(), X, Y);
  m_StrokeAt = QPoint(X, Y);
}

void TForm1::CreateHistoryControls() {
  UndoButton = Button(QStringLiteral("Undo"), 50, this);
  UndoButton->setToolTip(QStringLiteral("Undo the last change of the sound or the envelope (Ctrl+Z)"));
  RedoButton = Button(QStringLiteral("Redo"), 50, this);
  RedoButton->setToolTip(QStringLiteral("Redo the change undone last (Ctrl+Shift+Z or Ctrl+Y)"));
  connect(UndoButton, &QPushButton::clicked, this, [this] { RunCommand([this] { UndoClick(); }); });
  connect(RedoButton, &QPushButton::clicked, this, [this] { RunCommand([this] { RedoClick(); }); });
  const auto shortcut = [this](QKeySequence keys, void (TForm1::*handler)()) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this,
            [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
  };
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), &TForm1::UndoClick);
  shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TForm1::RedoClick);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), &TForm1::RedoClick);
  ShowHistory();
}

void TForm1::ShowHistory() {
  UndoButton->setEnabled(m_History.NextUndo() != nullptr);
  RedoButton->setEnabled(m_History.NextRedo() != nullptr);
}

EditStep TForm1::Capture(bool envelope, bool sound) const {
  EditStep state;
  if (envelope) {
    const double* values = m_pEnvelope->GetData();
    state.envelope = EnvelopeSnapshot{{values, values + m_pEnvelope->GetSize()}};
  }
  if (sound) {
    state.sound.emplace();
    if (m_pSound) {
      const std::int16_t* samples = m_pSound->GetSamples(0);
      state.sound->present = true;
      state.sound->samples.assign(samples, samples + m_pSound->GetLength());
      state.sound->sampleRate = m_pSound->GetSampleRate();
      state.sound->channels = m_pSound->GetChannels();
      state.sound->periodStarts = Image1->PeriodStarts();
    }
  }
  return state;
}

void TForm1::Restore(EditStep state) {
  if (state.envelope) {
    const std::vector<double>& values = state.envelope->values;
    if (static_cast<int>(values.size()) != m_pEnvelope->GetSize()) m_pEnvelope->Resize(static_cast<int>(values.size()));
    std::copy(values.begin(), values.end(), m_pEnvelope->GetData());
    m_pEnvelope->ToGrid();
    m_pEnvelope->Draw();
  }
  if (state.sound) {
    if (!state.sound->present) {
      ReplaceSound(nullptr);
      Image1->Image().fill(Qt::white);
      Image1->SetHintShown(false);
      ShowSound();
      Image1->update();
    } else {
      const std::vector<std::int16_t>& samples = state.sound->samples;
      auto sound = std::make_unique<WaveSignal>(&Image1->Image(), m_pPrompts);
      sound->SetFormat(state.sound->sampleRate, state.sound->channels);
      LargeArray<std::int16_t> copy;
      if (!samples.empty()) copy = MakeLargeArray<std::int16_t>(samples.size());
      std::copy(samples.begin(), samples.end(), copy.get());
      sound->TakeSamples(std::move(copy), static_cast<int>(samples.size()));
      ReplaceSound(std::move(sound));
      Image1->SetPeriodStarts(std::move(state.sound->periodStarts));
      ShowSound();
    }
  }
}

void TForm1::Record(EditStep before) {
  m_History.Record(std::move(before));
  ShowHistory();
}

void TForm1::RecordEnvelopeChange(const std::function<void()>& command) {
  EditStep before = Capture(true, false);
  command();
  if (before.envelope != Capture(true, false).envelope) Record(std::move(before));
}

void TForm1::UndoClick() {
  const EditStep* next = m_History.NextUndo();
  if (next == nullptr || m_StrokeAt) return;
  Restore(m_History.Undo(Capture(next->envelope.has_value(), next->sound.has_value())));
  ShowHistory();
}

void TForm1::RedoClick() {
  const EditStep* next = m_History.NextRedo();
  if (next == nullptr || m_StrokeAt) return;
  Restore(m_History.Redo(Capture(next->envelope.has_value(), next->sound.has_value())));
  ShowHistory();
}

void TForm1::ConnectWaveView() {
  connect(m_pCursorTimer, &QTimer::timeout, this, [this] {
    const int frame = m_pSound ? m_pSound->PlayingFrame() : -1;
    Image1->SetPlayCursor(frame >= 0 ? std::optional<std::int64_t>(frame) : std::nullopt);
  });
  connect(Image1, &PictureWidget::WheelTurned, this,
          [this](int x, double notches) { RunCommand([=, this] { Image1Zoom(x, notches); }); });
  connect(Image1, &PictureWidget::MousePressed, this, [this](int x, int, Qt::MouseButton button) {
    if (button == Qt::RightButton && m_pSound) m_PanFrom = QPoint(x, m_pSound->ViewFirst());
    if (button == Qt::LeftButton) RunCommand([=, this] { Image1Press(x); });
  });
  connect(Image1, &PictureWidget::MouseMoved, this, [this](int x, int, Qt::MouseButtons buttons) {
    if ((buttons & Qt::RightButton) && m_PanFrom) RunCommand([=, this] { Image1Pan(x); });
  });
  connect(Image1, &PictureWidget::MouseReleased, this, [this](int, int, Qt::MouseButton button) {
    if (button == Qt::RightButton) m_PanFrom.reset();
  });
  connect(Image1, &PictureWidget::DoubleClicked, this, [this](int, int) {
    RunCommand([this] {
      if (!m_pSound) return;
      m_pSound->SetView(0, 0);
      ShowSound();
    });
  });
}

void TForm1::Image1Zoom(int x, double notches) {
  if (!m_pSound || notches == 0) return;
  const int width = std::max(Image1->width(), 1);
  const int count = m_pSound->ViewCount();
  // The frame under the pointer stays under it; a notch shows 4/5 as many.
  const double at = std::clamp(static_cast<double>(x) / width, 0.0, 1.0);
  const double pivot = m_pSound->ViewFirst() + at * count;
  const int zoomed = std::max(static_cast<int>(std::lround(count * std::pow(0.8, notches))), kFewestViewFrames);
  m_pSound->SetView(static_cast<int>(std::lround(pivot - at * zoomed)), zoomed);
  ShowSound();
}

void TForm1::Image1Press(int x) {
  // The second press of a double-click is no press, so showing the whole
  // sound keeps the start the first one set.
  if (!m_pSound || m_pSound->IsPlaying()) return;
  Image1->SetPlayStart(Image1->FrameAt(x));
}

void TForm1::Image1Pan(int x) {
  if (!m_pSound) return;
  const double framesPerPixel = static_cast<double>(m_pSound->ViewCount()) / std::max(Image1->width(), 1);
  const int first = m_PanFrom->y() - static_cast<int>(std::lround((x - m_PanFrom->x()) * framesPerPixel));
  m_pSound->SetView(first, m_pSound->ViewCount());
  ShowSound();
}

}  // namespace kadenzo
