// The main window of kadenzo driven through its real widgets on the offscreen
// platform, with every question answered by a script.

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "Block.h"
#include "EditHistory.h"
#include "CommandGuard.h"
#include "PictureWidget.h"
#include "WaveView.h"
#include "ScriptedKadenzoPrompts.h"
#include "WaveFile.h"
#include "kdMain.h"

using kadenzo::TForm1;

namespace {

const QString kNoSource = QStringLiteral("Source signal should be generated or loaded first.");
const QString kWrongPeriod = QStringLiteral("Wrong period value.");

QString Cell(const TForm1& form, int point, int column) {
  return form.RhythmGrid->model()->index(point, column).data().toString();
}
QString Coeff(const TForm1& form, int point) { return Cell(form, point, 1); }
QString Offset(const TForm1& form, int point) { return Cell(form, point, 0); }

// A 16-bit stereo file whose left channel counts up from 1 and right channel down from -1.
void WriteStereoWave(const QString& path, int frames) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  QDataStream out(&file);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << quint32(36 + 4 * frames);
  out.writeRawData("WAVEfmt ", 8);
  out << quint32(16) << quint16(1) << quint16(2) << quint32(22050) << quint32(4 * 22050) << quint16(4) << quint16(16);
  out.writeRawData("data", 4);
  out << quint32(4 * frames);
  for (int i = 1; i <= frames; ++i) out << qint16(i) << qint16(-i);
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.isValid()); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }

  // The window in a locale whose decimal separator is `separator`.
  std::unique_ptr<TForm1> Window(QLocale locale = QLocale::c()) {
    QLocale::setDefault(locale);
    auto form = std::make_unique<TForm1>(&prompts);
    form->Random() = RandomGenerator([] { return std::int64_t{1700000000}; });
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
  }

  // "&Create" with the Model dialog answered.
  static void Create(TForm1& form, ScriptedKadenzoPrompts& prompts, double duration, double frequency, double band) {
    prompts.modelAnswer = true;
    prompts.modelDuration = duration;
    prompts.modelFrequency = frequency;
    prompts.modelBand = band;
    QTest::mouseClick(form.NoiseButton, Qt::LeftButton);
  }

  QTemporaryDir folder;
  ScriptedKadenzoPrompts prompts;
};

TEST_F(MainWindowTest, StartsWithAFlatEnvelopeAndNoSound) {
  auto form = Window();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Kadenzor 1.0"));
  EXPECT_EQ(form->CurrentSound(), nullptr);
  EXPECT_EQ(form->Envelope().GetCount(), 539);
  EXPECT_EQ(form->Envelope().GetSize(), 540);
  const QAbstractItemModel* table = form->RhythmGrid->model();
  ASSERT_EQ(table->rowCount(), 539);
  EXPECT_EQ(table->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Offset"));
  EXPECT_EQ(table->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Coeff"));
  EXPECT_EQ(Offset(*form, 0) + Offset(*form, 269) + Offset(*form, 538), QStringLiteral("0.000.501.00"));
  for (int i = 0; i < 539; ++i) ASSERT_EQ(Coeff(*form, i), QStringLiteral("0.00")) << i;
  EXPECT_EQ(form->ModulationItems->checkedId(), 2);
  const QStringList edits = {form->PeriodEdit->text(), form->MaxDelayEdit->text(), form->TimeDeviationEdit->text(),
                             form->MagnDeviationEdit->text(), form->AssignEdit->text()};
  EXPECT_EQ(edits, QStringList({"1", "100", "10", "10", "0.25"}));
  EXPECT_EQ(form->PlayBtn->text(), QStringLiteral("&Play"));
}

TEST_F(MainWindowTest, LabelsFocusTheirEditsAndImage1FollowsTheWidth) {
  auto form = Window();
  const std::vector<std::pair<char, QLineEdit*>> accelerators = {
      {'e', form->PeriodEdit}, {'m', form->MaxDelayEdit}, {'t', form->TimeDeviationEdit}, {'g', form->MagnDeviationEdit}};
  for (const auto& [key, edit] : accelerators) {
    QTest::keyClick(form.get(), key, Qt::AltModifier);
    EXPECT_TRUE(edit->hasFocus()) << key;
  }
  form->resize(form->width() + 200, form->height());
  QTest::qWait(50);
  EXPECT_EQ(form->Image1->width(), form->width());
  EXPECT_EQ(form->Image1->Image().width(), form->width());
}

TEST_F(MainWindowTest, AnEnlargedWindowGivesItsRoomToBothPicturesWhichRedraw) {
  auto form = Window();
  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  const QSize wave = form->Image1->size(), envelope = form->RhythmImage->size();
  EXPECT_GE(wave.width(), 539);
  EXPECT_GE(wave.height(), 89);
  EXPECT_GE(envelope.width(), 257);
  EXPECT_GE(envelope.height(), 97);
  EXPECT_EQ(form->minimumSizeHint(), form->size());  // it opens at its designed, least size
  EXPECT_EQ(wave.height(), 89);

  form->resize(form->width() + 300, form->height() + 200);
  QTest::qWait(50);
  EXPECT_EQ(form->Image1->width(), form->width());
  EXPECT_GT(form->Image1->height(), wave.height());
  EXPECT_GT(form->RhythmImage->width(), envelope.width() + 200);
  EXPECT_GT(form->RhythmImage->height(), envelope.height());
  EXPECT_EQ(form->RhythmImage->height() + form->Image1->height() - envelope.height() - wave.height(), 200);
  // The buttons under the picture keep their width.
  EXPECT_EQ(form->RhythmApplyBtn->width(), form->RhythmApplyBtn->sizeHint().width());
  EXPECT_EQ(form->AssignButton->width(), form->AssignButton->sizeHint().width());
  // Apply stays beside the Assign field.
  EXPECT_LE(form->AssignEdit->x() - form->RhythmApplyBtn->geometry().right(), 12);

  // The curve is drawn across the new picture: black in its last column
  // (Test ends high, at point 538), at the height of its new plot area.
  const QImage& picture = form->RhythmImage->Image();
  ASSERT_EQ(picture.size(), form->RhythmImage->size());
  int black = 0;
  for (int y = 0; y < picture.height(); ++y) black += picture.pixelColor(picture.width() - 2, y) == Qt::black;
  for (int y = 0; y < picture.height(); ++y) black += picture.pixelColor(picture.width() / 2, y) == Qt::black;
  EXPECT_GE(black, 2);
  // The points still share the whole width: a click at the right edge edits the last one.
  QTest::mouseClick(form->RhythmImage, Qt::LeftButton, {}, QPoint(picture.width() - 1, picture.height() - 1));
  EXPECT_EQ(form->Envelope()[538], 0.0);
  EXPECT_GT(form->Envelope()[537], 0.5);
}

TEST_F(MainWindowTest, TestCurveHasItsAnchorsInRows1_136_271_406) {
  auto form = Window();
  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  EXPECT_EQ(Coeff(*form, 0), QStringLiteral("1.00"));
  EXPECT_EQ(Coeff(*form, 135), QStringLiteral("0.10"));
  EXPECT_EQ(Coeff(*form, 270), QStringLiteral("0.70"));
  EXPECT_EQ(Coeff(*form, 405), QStringLiteral("0.20"));
  EXPECT_DOUBLE_EQ(form->Envelope()[270], static_cast<double>(0.7f));
  // Between the anchors the curve falls smoothly from 1 to 0.1.
  EXPECT_GT(form->Envelope()[30], form->Envelope()[100]);
}

TEST_F(MainWindowTest, AssignAndApplyReadTheLocalesSeparator) {
  struct Case {
    QLocale locale;
    QString text;  // null: the edit's own starting text
    double expected;
    QString shown;
  };
  const QLocale german(QLocale::German);
  const std::vector<Case> cases = {
      {QLocale::c(), QString(), 0.25, QStringLiteral("0.25")},
      {german, QString(), 0.25, QStringLiteral("0,25")},
      {QLocale::c(), QStringLiteral("0,25"), 0.0, QStringLiteral("0,25")},
      {german, QStringLiteral("0.25"), 0.25, QStringLiteral("0.25")},
      {QLocale::c(), QStringLiteral(""), 0.0, QString()},
      {QLocale::c(), QStringLiteral("1.5"), 1.0, QStringLiteral("1.00")},
  };
  for (const Case& c : cases) {
    auto form = Window(c.locale);
    if (!c.text.isNull()) form->AssignEdit->setText(c.text);
    QTest::mouseClick(form->AssignButton, Qt::LeftButton);
    for (int i = 0; i < 539; ++i) ASSERT_FLOAT_EQ(form->Envelope()[i], c.expected) << qPrintable(c.text) << " " << i;
    EXPECT_EQ(Coeff(*form, 538), c.shown) << qPrintable(c.text);
  }
}

TEST_F(MainWindowTest, ApplyTakesTypedCellsAndClamps) {
  auto form = Window();
  QAbstractItemModel* table = form->RhythmGrid->model();
  table->setData(table->index(3, 1), QStringLiteral("0.5"));
  table->setData(table->index(4, 1), QStringLiteral("-3"));
  table->setData(table->index(5, 1), QStringLiteral("abc"));
  // One typed into the table as the user does, through its cell editor; the offsets take nothing.
  EXPECT_FALSE(table->setData(table->index(6, 0), QStringLiteral("0.3")));
  form->RhythmGrid->edit(table->index(6, 1));
  auto* editor = form->RhythmGrid->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->clear();
  QTest::keyClicks(editor, QStringLiteral("0.75"));
  QTest::keyClick(editor, Qt::Key_Return);  // the editor hands its text over through the event queue
  EXPECT_TRUE(QTest::qWaitFor([&] { return Coeff(*form, 6) == QStringLiteral("0.75"); }, 2000));
  EXPECT_EQ(form->Envelope()[6], 0.0);  // not before Apply
  QTest::mouseClick(form->RhythmApplyBtn, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(form->Envelope()[3], 0.5);
  EXPECT_FLOAT_EQ(form->Envelope()[6], 0.75);
  EXPECT_EQ(form->Envelope()[4], 0.0);
  EXPECT_EQ(form->Envelope()[5], 0.0);
  EXPECT_EQ(Coeff(*form, 4), QStringLiteral("0.00"));  // clamped, so the table was rewritten
}

TEST_F(MainWindowTest, MouseReleaseSetsThePointUnderItFromTopOrBottom) {
  auto form = Window();
  // 539 points share the picture's width: each point owns a strip of width / 539 pixels.
  const float strip = static_cast<float>(static_cast<double>(form->RhythmImage->width()) / 539);
  const int x = 100;
  const int point = static_cast<int>(x / static_cast<double>(strip));
  QTest::mouseClick(form->RhythmImage, Qt::LeftButton, {}, QPoint(x, 0));
  EXPECT_EQ(Coeff(*form, point), QStringLiteral("1.00"));
  EXPECT_EQ(form->Envelope()[point], 1.0);
  QTest::mouseClick(form->RhythmImage, Qt::RightButton, {}, QPoint(x, form->RhythmImage->height() - 1));
  EXPECT_EQ(Coeff(*form, point), QStringLiteral("0.00"));
  EXPECT_EQ(form->Envelope()[point], 0.0);
  // A release dragged out past the right edge is taken as the last point.
  QTest::mouseClick(form->RhythmImage, Qt::LeftButton, {}, QPoint(form->RhythmImage->width() + 40, -30));
  EXPECT_EQ(form->Envelope()[538], 1.0);
}

// A move with the left button held, as the window system sends it while dragging.
void DragTo(QWidget* widget, QPoint at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
}

TEST_F(MainWindowTest, ADragSetsThePointsItPassedAndNothingElse) {
  auto form = Window();
  const int bottom = form->RhythmImage->height() - 1;
  const double strip = static_cast<float>(static_cast<double>(form->RhythmImage->width()) / 539);
  auto pointUnder = [&](int x) { return static_cast<int>(x / strip); };
  // Up from the bottom at x 20 to the top at x 60, then down to the bottom at x 100.
  const int x0 = 20, x1 = 60, x2 = 100;
  QTest::mousePress(form->RhythmImage, Qt::LeftButton, {}, QPoint(x0, bottom));
  DragTo(form->RhythmImage, QPoint(x1, 0));
  // The table and the picture follow before the release.
  EXPECT_EQ(Coeff(*form, pointUnder(x1)), QStringLiteral("1.00"));
  EXPECT_EQ(form->Envelope()[pointUnder(x1)], 1.0);
  DragTo(form->RhythmImage, QPoint(x2, bottom));
  QTest::mouseRelease(form->RhythmImage, Qt::LeftButton, {}, QPoint(x2, bottom));

  const int p0 = pointUnder(x0), p1 = pointUnder(x1), p2 = pointUnder(x2);
  ASSERT_TRUE(p0 < p1 && p1 < p2);
  for (int i = 0; i < 539; ++i) {
    double expected = 0.0;
    if (i >= p0 && i <= p1) expected = static_cast<double>(i - p0) / (p1 - p0);
    if (i >= p1 && i <= p2) expected = static_cast<double>(p2 - i) / (p2 - p1);
    EXPECT_NEAR(form->Envelope()[i], expected, 0.00501) << "point " << i;
    if (i < p0 || i > p2) {
      EXPECT_EQ(Coeff(*form, i), QStringLiteral("0.00")) << "point " << i;
    }
  }
  // The curve's peak is drawn: the picture's top plot rows hold black above p1's strip.
  const QImage& picture = form->RhythmImage->Image();
  bool inked = false;
  for (int y = 0; y < picture.height() / 3; ++y) inked = inked || picture.pixelColor(x1, y) == Qt::black;
  EXPECT_TRUE(inked);

  // A click afterwards changes its one point as it always did.
  const int x3 = 200;
  QTest::mouseClick(form->RhythmImage, Qt::LeftButton, {}, QPoint(x3, 0));
  EXPECT_EQ(form->Envelope()[pointUnder(x3)], 1.0);
  EXPECT_EQ(form->Envelope()[pointUnder(x3) - 1], 0.0);
  EXPECT_EQ(form->Envelope()[pointUnder(x3) + 1], 0.0);
  EXPECT_NEAR(form->Envelope()[p1 + 1], static_cast<double>(p2 - p1 - 1) / (p2 - p1), 0.00501);
}

// What the window shows: the sound's samples (none without a sound) and the envelope's stored values.
struct WindowState {
  bool hasSound;
  std::vector<std::int16_t> samples;
  std::vector<double> values;
  QString cell0;
  bool operator==(const WindowState&) const = default;
};

WindowState StateOf(TForm1& form) {
  WindowState state{form.CurrentSound() != nullptr, {}, {}, Coeff(form, 0)};
  if (const WaveSignal* sound = form.CurrentSound()) {
    state.samples.assign(sound->GetSamples(0), sound->GetSamples(0) + sound->GetLength());
  }
  state.values.assign(form.Envelope().GetData(), form.Envelope().GetData() + form.Envelope().GetSize());
  return state;
}

TEST_F(MainWindowTest, UndoAndRedoWalkThroughEveryStepExactly) {
  auto form = Window();
  Block loaded(301);  // an envelope file of 300 points and a seam point, 0 .. 3
  for (int i = 0; i < 301; ++i) loaded[i] = (i % 4);
  const QString envelopePath = folder.filePath(QStringLiteral("steps.env"));
  ASSERT_TRUE(loaded.WriteToFile(envelopePath.toLocal8Bit().constData()));

  std::vector<WindowState> states = {StateOf(*form)};
  EXPECT_FALSE(form->UndoButton->isEnabled());
  Create(*form, prompts, 0.5, 1000, 400);
  states.push_back(StateOf(*form));
  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  states.push_back(StateOf(*form));
  const int bottom = form->RhythmImage->height() - 1;
  QTest::mousePress(form->RhythmImage, Qt::LeftButton, {}, QPoint(10, bottom));
  DragTo(form->RhythmImage, QPoint(40, 0));
  DragTo(form->RhythmImage, QPoint(80, bottom));
  QTest::mouseRelease(form->RhythmImage, Qt::LeftButton, {}, QPoint(80, bottom));
  states.push_back(StateOf(*form));
  QTest::mouseClick(form->RhythmButton, Qt::LeftButton);
  states.push_back(StateOf(*form));
  prompts.fileNames = {envelopePath};
  QTest::mouseClick(form->RhythmLoadButton, Qt::LeftButton);
  states.push_back(StateOf(*form));
  ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'|').toStdString();
  // Each step changed what it should, so that restoring the wrong one shows.
  for (std::size_t i = 1; i < states.size(); ++i) EXPECT_FALSE(states[i] == states[i - 1]) << i;
  EXPECT_NE(states[4].samples, states[3].samples);  // Rhythm reworked the sound
  EXPECT_EQ(states[5].values.size(), 301u);
  EXPECT_EQ(form->History().UndoCount(), 5u);

  // Undo all the way back, by the key and by the button in turn, then one more does nothing.
  form->ExitButton->setFocus();  // not an edit, whose own Ctrl+Z would take the key
  for (int step = 4; step >= 0; --step) {
    if (step % 2 == 0) {
      QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    } else {
      QTest::mouseClick(form->UndoButton, Qt::LeftButton);
    }
    EXPECT_TRUE(StateOf(*form) == states[step]) << "undone to " << step;
  }
  EXPECT_FALSE(form->UndoButton->isEnabled());
  EXPECT_EQ(form->CurrentSound(), nullptr);
  QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(StateOf(*form) == states[0]);

  // Redo forward with both redo keys and the button: Rhythm's samples come back bit for bit.
  for (std::size_t step = 1; step < states.size(); ++step) {
    if (step % 3 == 0) {
      QTest::keyClick(form.get(), Qt::Key_Y, Qt::ControlModifier);
    } else if (step % 3 == 1) {
      QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    } else {
      QTest::mouseClick(form->RedoButton, Qt::LeftButton);
    }
    EXPECT_TRUE(StateOf(*form) == states[step]) << "redone to " << step;
  }
  EXPECT_FALSE(form->RedoButton->isEnabled());
  EXPECT_EQ(form->CurrentSound()->GetSampleRate(), 44100);

  // A new change after an undo forgets the steps that could be redone.
  QTest::mouseClick(form->UndoButton, Qt::LeftButton);
  QTest::mouseClick(form->RhythmImage, Qt::LeftButton, {}, QPoint(5, bottom));  // Test's curve is high there
  EXPECT_FALSE(form->RedoButton->isEnabled());
  QTest::mouseClick(form->UndoButton, Qt::LeftButton);
  EXPECT_TRUE(StateOf(*form) == states[4]);
  // Commands that change nothing leave no step: Apply over an applied table, a cancelled Create.
  const std::size_t steps = form->History().UndoCount();
  QTest::mouseClick(form->RhythmApplyBtn, Qt::LeftButton);
  prompts.modelAnswer = false;
  QTest::mouseClick(form->NoiseButton, Qt::LeftButton);
  EXPECT_EQ(form->History().UndoCount(), steps);
}

TEST(EditHistoryTest, KeepsTheNewestStepsWithinItsCountAndBytes) {
  using kadenzo::EditHistory;
  using kadenzo::EditStep;
  using kadenzo::EnvelopeSnapshot;
  auto envelope = [](double value, std::size_t count) {
    return EditStep{EnvelopeSnapshot{std::vector<double>(count, value)}, std::nullopt};
  };
  // Three steps of at most 100 values each (800 bytes).
  EditHistory history(3, 800);
  for (int i = 0; i < 5; ++i) history.Record(envelope(i, 10));
  EXPECT_EQ(history.UndoCount(), 3u);  // steps 2, 3 and 4
  EXPECT_EQ(history.Bytes(), 240u);
  EditStep restored = history.Undo(envelope(5, 10));
  EXPECT_EQ(restored.envelope->values[0], 4.0);
  EXPECT_EQ(history.Bytes(), 240u);
  restored = history.Redo(envelope(4, 10));
  EXPECT_EQ(restored.envelope->values[0], 5.0);
  // A large step pushes out the oldest until the bytes fit.
  history.Record(envelope(6, 80));
  EXPECT_EQ(history.UndoCount(), 3u);  // steps 3, 4 and 6: 80 + 80 + 640 bytes, the budget exactly
  EXPECT_EQ(history.Bytes(), 800u);
  history.Record(envelope(9, 20));
  EXPECT_EQ(history.UndoCount(), 2u);  // steps 6 and 9; 3 went for the count, 4 for the bytes
  EXPECT_EQ(history.Bytes(), 800u);
  EXPECT_EQ(history.Undo(envelope(10, 1)).envelope->values[0], 9.0);
  EXPECT_EQ(history.Undo(envelope(9, 1)).envelope->values[0], 6.0);
  EXPECT_EQ(history.NextUndo(), nullptr);
  // A step larger than the whole budget is not kept at all.
  history.Record(envelope(8, 101));
  EXPECT_EQ(history.UndoCount(), 0u);
  EXPECT_EQ(history.RedoCount(), 0u);
  EXPECT_EQ(history.Bytes(), 0u);
}

void TurnWheel(QWidget* widget, QPoint at, int notches) {
  QWheelEvent wheel(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &wheel);
}

// Blue rows [first, last) of one column of the waveform picture.
std::pair<int, int> BlueRows(const QImage& picture, int x) {
  int first = -1, last = -1;
  for (int y = 0; y < picture.height(); ++y) {
    if (picture.pixelColor(x, y) != QColor(0, 0, 255)) continue;
    if (first < 0) first = y;
    last = y + 1;
  }
  return {first, last};
}

TEST_F(MainWindowTest, TheWheelZoomsAroundThePointerAndTheViewShowsTheMinMaxOfWhatIsInIt) {
  auto form = Window();
  Create(*form, prompts, 1, 1000, 400);
  WaveSignal* sound = form->CurrentSound();
  ASSERT_NE(sound, nullptr);
  const int frames = sound->GetLength();
  const int width = form->Image1->width();
  EXPECT_EQ(sound->ViewCount(), frames);

  // Four notches in at a quarter of the width: the frame under the pointer stays there.
  const int x = width / 4;
  const double pivot = static_cast<double>(x) / width * frames;
  TurnWheel(form->Image1, QPoint(x, 40), 4);
  const int count = sound->ViewCount();
  EXPECT_NEAR(count, frames * std::pow(0.8, 4), 1.0);
  EXPECT_NEAR(sound->ViewFirst() + static_cast<double>(x) / width * count, pivot, 1.0);

  // Every column shows the extent of its own frames of the visible range.
  const QImage& picture = form->Image1->Image();
  const double k = picture.height() / 65535.0;
  const int middle = picture.height() / 2;
  const std::int16_t* samples = sound->GetSamples(0);
  for (int column = 0; column < width; column += 7) {
    const double perColumn = static_cast<double>(count) / width;
    const int a = sound->ViewFirst() + static_cast<int>(column * perColumn);
    const int b = sound->ViewFirst() + std::min(static_cast<int>((column + 1) * perColumn), count);
    const auto [lo, hi] = std::minmax_element(samples + a, samples + b);
    const int top = static_cast<int>(middle - *hi * k);
    const int bottom = std::max(static_cast<int>(middle - *lo * k), top + 1);
    EXPECT_EQ(BlueRows(picture, column), std::make_pair(top, bottom)) << "column " << column;
  }

  // Dragging right with the right button shows earlier frames by the dragged width.
  const int before = sound->ViewFirst();
  QTest::mousePress(form->Image1, Qt::RightButton, {}, QPoint(300, 40));
  QMouseEvent move(QEvent::MouseMove, QPointF(350, 40), form->Image1->mapToGlobal(QPointF(350, 40)), Qt::NoButton,
                   Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(form->Image1, &move);
  QTest::mouseRelease(form->Image1, Qt::RightButton, {}, QPoint(350, 40));
  EXPECT_NEAR(sound->ViewFirst(), before - 50.0 * count / width, 1.0);
  EXPECT_EQ(sound->ViewCount(), count);

  // Zoomed in to a few frames, the samples are drawn one by one; a double-click shows all again.
  TurnWheel(form->Image1, QPoint(x, 40), 60);
  ASSERT_EQ(sound->ViewCount(), 16);
  // Each frame in view sits on its own point, as the point mode places it.
  const double s = 16.0 / width;
  for (int f = 0; f < 15; ++f) {
    const QPoint at(static_cast<int>(f / s + 0.5), static_cast<int>(middle - samples[sound->ViewFirst() + f] * k));
    EXPECT_EQ(picture.pixelColor(at), QColor(0, 0, 255)) << "frame " << f;
  }
  QTest::mouseDClick(form->Image1, Qt::LeftButton, {}, QPoint(x, 40));
  EXPECT_EQ(sound->ViewFirst(), 0);
  EXPECT_EQ(sound->ViewCount(), frames);
}

TEST_F(MainWindowTest, TheTimeAxisLabelsTheSecondsInViewAtTheirColumns) {
  auto form = Window();
  EXPECT_TRUE(form->WaveAxis->Labels().empty());
  Create(*form, prompts, 2, 1000, 400);
  const WaveSignal* sound = form->CurrentSound();
  // Labels at their seconds' columns, inside the view, a step of 1, 2 or 5 times a power of ten apart.
  const auto step = [&] {
    const std::vector<TimeAxis::Label> labels = form->WaveAxis->Labels();
    EXPECT_GE(labels.size(), 3u);
    const double first = sound->ViewFirst() / 44100.0, span = sound->ViewCount() / 44100.0;
    const int width = form->WaveAxis->width();
    std::vector<double> seconds;
    for (const TimeAxis::Label& label : labels) {
      EXPECT_TRUE(label.text.endsWith(QStringLiteral(" s"))) << label.text.toStdString();
      const double t = label.text.chopped(2).toDouble();
      EXPECT_TRUE(t >= first && t < first + span) << t;
      EXPECT_NEAR(label.x, (t - first) / span * width, 1.0) << t;
      seconds.push_back(t);
    }
    const double step = seconds.size() > 1 ? seconds[1] - seconds[0] : 0.0;
    for (std::size_t i = 1; i < seconds.size(); ++i) EXPECT_NEAR(seconds[i] - seconds[i - 1], step, step * 1e-6);
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 || std::fabs(mantissa - 5) < 1e-6)
        << step;
    return step;
  };
  EXPECT_EQ(form->WaveAxis->width(), form->Image1->width());
  const double whole = step();
  TurnWheel(form->Image1, QPoint(200, 40), 10);
  EXPECT_LT(step(), whole);
}

TEST_F(MainWindowTest, PeriodTicksAndThePlayStartAreMarkedOverTheWholeHeightAndGoWithTheirSound) {
  auto form = Window();
  Create(*form, prompts, 1, 1000, 400);
  form->PeriodEdit->setText(QStringLiteral("0.1"));
  QTest::mouseClick(form->RhythmButton, Qt::LeftButton);
  WaveView* view = form->Image1;
  const std::vector<std::int64_t> ticks = view->PeriodStarts();
  ASSERT_GE(ticks.size(), 8u);
  ASSERT_LE(ticks.size(), 12u);
  EXPECT_EQ(ticks.front(), 0);
  EXPECT_TRUE(std::is_sorted(ticks.begin(), ticks.end()));
  EXPECT_LT(ticks.back(), 44100);

  // A press sets where Play starts; the marks cross the picture from top to bottom.
  const auto marked = [&](const QColor& colour, std::int64_t frame) {
    const QImage shown = view->grab().toImage();
    const std::optional<int> x = view->ColumnOf(frame);
    return x && shown.pixelColor(*x, 0) == colour && shown.pixelColor(*x, shown.height() - 1) == colour;
  };
  const int x = view->width() / 3;
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(x, 40));
  ASSERT_TRUE(view->PlayStart().has_value());
  EXPECT_EQ(*view->PlayStart(), view->FrameAt(x));
  EXPECT_EQ(view->ColumnOf(*view->PlayStart()), x);
  EXPECT_TRUE(marked(WaveView::kStartColour, *view->PlayStart()));
  for (const std::int64_t tick : ticks) EXPECT_TRUE(marked(WaveView::kTickColour, tick)) << tick;
  // Zoomed in, they stay on their frames.
  TurnWheel(view, QPoint(x + 30, 40), 3);
  EXPECT_TRUE(marked(WaveView::kStartColour, *view->PlayStart()));
  for (const std::int64_t tick : ticks) {
    if (view->ColumnOf(tick)) {
      EXPECT_TRUE(marked(WaveView::kTickColour, tick)) << tick;
    }
  }

  // Undoing the Rhythm takes its ticks, redoing brings them back; a new sound has none.
  form->ExitButton->setFocus();
  QTest::mouseClick(form->UndoButton, Qt::LeftButton);
  EXPECT_TRUE(view->PeriodStarts().empty());
  EXPECT_FALSE(view->PlayStart().has_value());
  QTest::mouseClick(form->RedoButton, Qt::LeftButton);
  EXPECT_EQ(view->PeriodStarts(), ticks);
  Create(*form, prompts, 1, 1000, 400);
  EXPECT_TRUE(view->PeriodStarts().empty());
}

TEST_F(MainWindowTest, ThePlayCursorMovesForwardFromWhereAPressSetTheStart) {
  if (qEnvironmentVariableIsEmpty("KIT_SOUND_SERVER")) GTEST_SKIP() << "no sound server";
  auto form = Window();
  Create(*form, prompts, 1.5, 1000, 400);
  WaveView* view = form->Image1;
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(view->width() / 3, 40));
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(view->width() / 3, 40));
  const std::int64_t start = view->PlayStart().value_or(-1);
  ASSERT_GT(start, 0);
  QTest::mouseClick(form->PlayBtn, Qt::LeftButton);
  ASSERT_EQ(form->PlayBtn->text(), QStringLiteral("Sto&p"));
  std::vector<std::int64_t> seen;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (const std::optional<std::int64_t> at = view->PlayCursor(); at && (seen.empty() || *at != seen.back())) {
          seen.push_back(*at);
        }
        return seen.size() >= 3;
      },
      5000));
  EXPECT_GE(seen.front(), start);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_GT(seen.back(), seen.front());
  // Drawn in its column from top to bottom.
  const QImage shown = view->grab().toImage();
  const std::optional<int> column = view->ColumnOf(*view->PlayCursor());
  ASSERT_TRUE(column.has_value());
  EXPECT_EQ(shown.pixelColor(*column, 0), WaveView::kCursorColour);
  EXPECT_EQ(shown.pixelColor(*column, shown.height() - 1), WaveView::kCursorColour);
  // A press while playing moves nothing; at the end the cursor goes and the start stays.
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(5, 40));
  EXPECT_EQ(view->PlayStart(), start);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->PlayBtn->text() == QStringLiteral("&Play"); }, 5000));
  EXPECT_FALSE(view->PlayCursor().has_value());
  EXPECT_EQ(view->PlayStart(), start);
}

TEST_F(MainWindowTest, RhythmChecksTheSoundBeforeThePeriod) {
  auto form = Window();
  form->PeriodEdit->setText(QStringLiteral("0"));
  QTest::mouseClick(form->RhythmButton, Qt::LeftButton);
  Create(*form, prompts, 0.5, 1000, 400);
  QTest::mouseClick(form->RhythmButton, Qt::LeftButton);
  EXPECT_EQ(prompts.messages, QStringList({kNoSource, kWrongPeriod}));
}

TEST_F(MainWindowTest, CreateMakesTenSecondsAndRhythmReworksThem) {
  auto form = Window();
  prompts.modelAnswer = false;
  QTest::mouseClick(form->NoiseButton, Qt::LeftButton);
  EXPECT_EQ(form->CurrentSound(), nullptr);  // cancelled

  Create(*form, prompts, 10, 1000, 400);
  ASSERT_NE(form->CurrentSound(), nullptr);
  EXPECT_EQ(form->CurrentSound()->GetLength(), 441000);
  EXPECT_EQ(form->CurrentSound()->GetSampleRate(), 44100);
  EXPECT_EQ(form->ProgressBar1->value(), 0);
  EXPECT_TRUE(form->Image1->HintShown());
  EXPECT_EQ(form->Image1->Hint(), QStringLiteral("441000 counts\n10.00 sec"));

  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  const std::vector<std::int16_t> before(form->CurrentSound()->GetSamples(0),
                                         form->CurrentSound()->GetSamples(0) + 441000);
  form->ModulationItems->button(0)->click();
  QTest::mouseClick(form->RhythmButton, Qt::LeftButton);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_EQ(form->CurrentSound()->GetLength(), 441000);
  EXPECT_NE(std::vector<std::int16_t>(form->CurrentSound()->GetSamples(0),
                                      form->CurrentSound()->GetSamples(0) + 441000),
            before);
  EXPECT_EQ(form->ProgressBar1->value(), 0);
}

TEST_F(MainWindowTest, LoadTakesTheAnsweredChannelOfAStereoFile) {
  const QString path = folder.filePath(QStringLiteral("stereo.wav"));
  WriteStereoWave(path, 300);
  auto form = Window();
  prompts.fileNames = {path};
  prompts.channels = {1};
  QTest::mouseClick(form->LoadButton, Qt::LeftButton);
  ASSERT_NE(form->CurrentSound(), nullptr);
  EXPECT_EQ(prompts.channelQuestions, QStringList({path}));
  EXPECT_EQ(form->CurrentSound()->GetLength(), 300);
  EXPECT_EQ(form->CurrentSound()->GetSampleRate(), 22050);
  EXPECT_EQ(*form->CurrentSound()->GetSamples(0), -1);
  EXPECT_EQ(*form->CurrentSound()->GetSamples(299), -300);
}

TEST_F(MainWindowTest, AStereoSoundLoadsRhythmsPlaysSavesAndUndoesAsTwoChannels) {
  const QString path = folder.filePath(QStringLiteral("stereo.wav"));
  WriteStereoWave(path, 3000);
  auto form = Window();
  prompts.fileNames = {path};
  prompts.channels = {kBothChannels};
  QTest::mouseClick(form->LoadButton, Qt::LeftButton);
  const WaveSignal* sound = form->CurrentSound();
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->GetChannels(), 2);
  EXPECT_EQ(sound->GetLength(), 6000);
  EXPECT_EQ(*sound->GetSamples(0), 1);
  EXPECT_EQ(*sound->GetSamples(5999), -3000);
  EXPECT_EQ(form->Image1->Hint(), QStringLiteral("3000 counts\n0.14 sec"));

  // Mirror-image channels: the rhythm keeps them mirror images.
  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  form->PeriodEdit->setText(QStringLiteral("0.01"));
  QTest::mouseClick(form->RhythmButton, Qt::LeftButton);
  ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(';').toStdString();
  sound = form->CurrentSound();
  ASSERT_EQ(sound->GetLength(), 6000);
  int differing = 0;
  for (int i = 0; i < 3000; ++i) {
    ASSERT_NEAR(*sound->GetSamples(2 * i), -*sound->GetSamples(2 * i + 1), 1) << i;
    differing += *sound->GetSamples(2 * i) != 2 * i + 1;
  }
  EXPECT_GT(differing, 1000);
  const std::vector<std::int16_t> rhythm(sound->GetSamples(0), sound->GetSamples(0) + 6000);

  if (!qEnvironmentVariableIsEmpty("KIT_SOUND_SERVER")) {
    QTest::mouseClick(form->PlayBtn, Qt::LeftButton);
    EXPECT_EQ(form->PlayBtn->text(), QStringLiteral("Sto&p"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->PlayBtn->text() == QStringLiteral("&Play"); }, 5000));
  }

  const QString saved = folder.filePath(QStringLiteral("saved.wav"));
  prompts.fileNames = {saved};
  QTest::mouseClick(form->SaveButton, Qt::LeftButton);
  const WaveFileContent content = ReadWaveFile(QFile::encodeName(saved).toStdString());
  ASSERT_EQ(content.result, WaveReadResult::Loaded);
  EXPECT_EQ(content.format.nChannels, 2);
  EXPECT_EQ(content.format.wBitsPerSample, 16);
  EXPECT_EQ(std::vector<std::int16_t>(content.samples.get(), content.samples.get() + 6000), rhythm);

  // Undo gives back the loaded stereo sound, redo the rhythm.
  QTest::mouseClick(form->UndoButton, Qt::LeftButton);
  EXPECT_EQ(form->CurrentSound()->GetChannels(), 2);
  EXPECT_EQ(*form->CurrentSound()->GetSamples(1), -1);
  QTest::mouseClick(form->RedoButton, Qt::LeftButton);
  EXPECT_EQ(std::vector<std::int16_t>(form->CurrentSound()->GetSamples(0), form->CurrentSound()->GetSamples(0) + 6000),
            rhythm);
}

TEST_F(MainWindowTest, SaveWithoutSoundAsksNothing) {
  auto form = Window();
  prompts.fileNames = {folder.filePath(QStringLiteral("never.wav"))};
  QTest::mouseClick(form->SaveButton, Qt::LeftButton);
  EXPECT_EQ(prompts.fileNames.size(), 1u);
  EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("never.wav"))));
  QTest::mouseClick(form->PlayBtn, Qt::LeftButton);
  EXPECT_EQ(form->PlayBtn->text(), QStringLiteral("&Play"));
}

TEST_F(MainWindowTest, EnvelopeSavesToANewFileAndLoadsBackNormalised) {
  auto form = Window();
  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  const QString path = folder.filePath(QStringLiteral("new.env"));
  prompts.fileNames = {path};
  QTest::mouseClick(form->RhythmSaveButton, Qt::LeftButton);
  // A save dialog that takes new names and asks before replacing a file.
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].mode, FileDialogOptions::Mode::Save);
  EXPECT_EQ(prompts.asked[0].filter, QStringLiteral("Envelop files (*.env)"));
  EXPECT_EQ(prompts.asked[0].defaultSuffix, QStringLiteral("env"));
  EXPECT_FALSE(prompts.asked[0].fileMustExist);
  EXPECT_TRUE(prompts.asked[0].confirmOverwrite);
  ASSERT_TRUE(QFile::exists(path));
  EXPECT_EQ(QFile(path).size(), 32 + 8 * 540);

  form->AssignEdit->setText(QStringLiteral("0"));
  QTest::mouseClick(form->AssignButton, Qt::LeftButton);
  prompts.fileNames = {path};
  QTest::mouseClick(form->RhythmLoadButton, Qt::LeftButton);
  // The saved curve ran from 0.1 to 1 over the points and 0 at the seam point,
  // so it comes back spread over [0, 1] by that range.
  EXPECT_DOUBLE_EQ(form->Envelope()[0], 1.0);
  EXPECT_NEAR(form->Envelope()[135], 0.1, 1e-7);
  EXPECT_EQ(Coeff(*form, 0), QStringLiteral("1.00"));
}

TEST_F(MainWindowTest, EnvelopeSaveFailureIsReportedAndWritesNothing) {
  auto form = Window();
  const QString path = folder.filePath(QStringLiteral("missing-folder/x.env"));
  prompts.fileNames = {path};
  QTest::mouseClick(form->RhythmSaveButton, Qt::LeftButton);
  EXPECT_EQ(prompts.messages, QStringList({QStringLiteral("Error: Can not create ") + path}));
  EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(MainWindowTest, AssignWritesEveryPointOfALongerEnvelope) {
  Block values(1001);
  for (int i = 0; i < 1001; ++i) values[i] = i % 7;
  const QString path = folder.filePath(QStringLiteral("long.env"));
  ASSERT_TRUE(values.WriteToFile(QFile::encodeName(path).constData()));
  auto form = Window();
  prompts.fileNames = {path};
  QTest::mouseClick(form->RhythmLoadButton, Qt::LeftButton);
  ASSERT_EQ(form->Envelope().GetCount(), 1000);
  form->AssignEdit->setText(QStringLiteral("0.75"));
  QTest::mouseClick(form->AssignButton, Qt::LeftButton);
  for (int i = 0; i < 1000; ++i) ASSERT_FLOAT_EQ(form->Envelope()[i], 0.75) << i;
}

// A command that throws is reported and the window goes on working.
class ThrowingPrompts : public ScriptedKadenzoPrompts {
 public:
  QString AskFileName(const FileDialogOptions&) override { throw std::runtime_error("Floating point overflow"); }
};

TEST_F(MainWindowTest, AnErrorEscapingACommandIsShownAndTheProgramGoesOn) {
  ThrowingPrompts throwing;
  auto form = std::make_unique<TForm1>(&throwing);
  form->show();
  QTest::mouseClick(form->LoadButton, Qt::LeftButton);
  EXPECT_EQ(throwing.messages, QStringList({QStringLiteral("Floating point overflow")}));
  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  EXPECT_EQ(Coeff(*form, 0), QStringLiteral("1.00"));
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
  auto form = Window();
  QTest::mouseClick(form->ExitButton, Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindowTest, PlayTurnsIntoStopAndBackWhenTheSoundEnds) {
  if (qEnvironmentVariableIsEmpty("KIT_SOUND_SERVER")) GTEST_SKIP() << "no sound server";
  auto form = Window();
  Create(*form, prompts, 0.3, 1000, 400);
  QTest::mouseClick(form->PlayBtn, Qt::LeftButton);
  EXPECT_EQ(form->PlayBtn->text(), QStringLiteral("Sto&p"));
  EXPECT_EQ(form->PlayBtn->toolTip(), QStringLiteral("Stop playback"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->PlayBtn->text() == QStringLiteral("&Play"); }, 5000));
  EXPECT_EQ(form->PlayBtn->toolTip(), QStringLiteral("Play the sound been created"));
  EXPECT_FALSE(form->CurrentSound()->IsPlaying());

  // Stopped by a click, then replaced while playing: the new sound starts idle.
  QTest::mouseClick(form->PlayBtn, Qt::LeftButton);
  ASSERT_TRUE(form->CurrentSound()->IsPlaying());
  QTest::mouseClick(form->PlayBtn, Qt::LeftButton);
  EXPECT_EQ(form->PlayBtn->text(), QStringLiteral("&Play"));
  QTest::mouseClick(form->PlayBtn, Qt::LeftButton);
  Create(*form, prompts, 0.3, 0, 0);
  EXPECT_FALSE(form->CurrentSound()->IsPlaying());
  EXPECT_EQ(form->PlayBtn->text(), QStringLiteral("&Play"));
  QTest::qWait(600);
  EXPECT_EQ(form->PlayBtn->text(), QStringLiteral("&Play"));
}

// The precondition reporter of the programs shows the text in a message box
// before the library ends the program.
TEST(PreconditionReporterDeathTest, ShowsTheFailureBeforeTheProgramEnds) {
  EXPECT_EXIT(
      {
        SetPreconditionReporter(&ShowPreconditionFailure);
        QTimer::singleShot(0, [] {
          if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "box: %s\n", qPrintable(box->text()));
            box->accept();
          }
        });
        Block block(2);
        block[2] = 1.0;
      },
      testing::ExitedWithCode(3), "box: Assertion failed: !m_bDoCheckRange, file Block.h, line [0-9]+");
}

}  // namespace

TEST_F(MainWindowTest, KeptSeedGivesTheRenderersFileByteForByte) {
  // The German separator in the fields: the window's numbers are the locale's.
  auto form = Window(QLocale(QLocale::German));
  EXPECT_TRUE(form->SeedEdit->isReadOnly());
  Create(*form, prompts, 1.5, 800, 300);
  EXPECT_EQ(form->SeedEdit->text(), QStringLiteral("1700000000"));  // the clock's

  QTest::mouseClick(form->KeepSeedBox, Qt::LeftButton);
  EXPECT_FALSE(form->SeedEdit->isReadOnly());
  form->SeedEdit->setText(QStringLiteral("987654321"));
  Create(*form, prompts, 1.5, 800, 300);
  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  form->PeriodEdit->setText(QStringLiteral("0,3"));
  form->TimeDeviationEdit->setText(QStringLiteral("15"));
  form->MagnDeviationEdit->setText(QStringLiteral("20"));
  form->MaxDelayEdit->setText(QStringLiteral("40"));
  prompts.modelFrequency = 120;
  prompts.modelBand = 30;
  form->ModulationItems->button(5)->click();  // Amp+Freq: the modulator draws from the seed too
  QTest::mouseClick(form->RhythmButton, Qt::LeftButton);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_EQ(form->SeedEdit->text(), QStringLiteral("987654321"));
  const QString windowFile = folder.filePath(QStringLiteral("window.wav"));
  prompts.fileNames = {windowFile};
  QTest::mouseClick(form->SaveButton, Qt::LeftButton);

  const QString renderFile = folder.filePath(QStringLiteral("render.wav"));
  const QString command = QStringLiteral(KADENZO_RENDER) +
                          QStringLiteral(" -q --create --duration 1.5 --frequency 800 --band 300 --period 0.3"
                                         " --time-deviation 15 --magnitude-deviation 20 --max-delay 40 -t amp+freq"
                                         " --modulator-frequency 120 --modulator-band 30 --seed 987654321 -o ") +
                          renderFile;
  ASSERT_EQ(std::system(command.toLocal8Bit().constData()), 0);
  QFile window(windowFile), render(renderFile);
  ASSERT_TRUE(window.open(QIODevice::ReadOnly));
  ASSERT_TRUE(render.open(QIODevice::ReadOnly));
  const QByteArray bytes = window.readAll();
  EXPECT_EQ(bytes.size(), 44 + 2 * 66150);
  EXPECT_TRUE(bytes == render.readAll());

  // A kept seed that is no number refuses the run.
  form->SeedEdit->setText(QString());
  prompts.messages.clear();
  QTest::mouseClick(form->RhythmButton, Qt::LeftButton);
  EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("Wrong seed value.")});
}

TEST_F(MainWindowTest, FailedLoadsKeepTheSoundAndNothingHangsOnAPipe) {
  auto form = Window();
  Create(*form, prompts, 0.5, 1000, 400);
  const WaveSignal* sound = form->CurrentSound();
  ASSERT_NE(sound, nullptr);
  const std::vector<std::int16_t> samples(sound->GetSamples(0), sound->GetSamples(0) + sound->GetLength());
  const QString pipe = folder.filePath(QStringLiteral("pipe"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
  const QString garbage = folder.filePath(QStringLiteral("garbage.wav"));
  {
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF....WAVEnothing useful");
  }
  for (const QString& path : {pipe, garbage, folder.path()}) {
    prompts.messages.clear();
    prompts.fileNames = {path};
    QTest::mouseClick(form->LoadButton, Qt::LeftButton);
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("Error: Can not load ") + path});
    ASSERT_EQ(form->CurrentSound(), sound) << path.toStdString();
    EXPECT_EQ(std::vector<std::int16_t>(sound->GetSamples(0), sound->GetSamples(0) + sound->GetLength()), samples);
  }
  // The open dialog offers every sound file first.
  EXPECT_EQ(prompts.asked.back().filter,
            QStringLiteral("Sound files (*.wav *.flac *.ogg *.aif *.aiff);;Sound files (*.wav)"));
  // An envelope "file" that is a pipe is ignored like an unreadable one.
  QTest::mouseClick(form->TestButton, Qt::LeftButton);
  const double before = form->Envelope()[0];
  prompts.fileNames = {pipe};
  QTest::mouseClick(form->RhythmLoadButton, Qt::LeftButton);
  EXPECT_EQ(form->Envelope()[0], before);
  EXPECT_EQ(form->Envelope().GetCount(), 539);
}

TEST_F(MainWindowTest, LearnTakesTheRhythmOfASoundFileOrChangesNothing) {
  const QString rhythm = folder.filePath(QStringLiteral("rhythm.wav"));
  ASSERT_EQ(std::system((QStringLiteral(KADENZO_RENDER) +
                         QStringLiteral(" -q --create --duration 30 --period 0.4 --time-deviation 6 "
                                        "--magnitude-deviation 8 -t amplitude --seed 2 -o ") +
                         rhythm)
                            .toLocal8Bit()
                            .constData()),
            0);
  auto form = Window();
  EXPECT_EQ(form->LearnButton->toolTip(), QStringLiteral("Take the rhythm from a sound file"));
  prompts.fileNames = {rhythm};
  QTest::mouseClick(form->LearnButton, Qt::LeftButton);
  EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
  EXPECT_NEAR(form->PeriodEdit->text().toDouble(), 0.4, 0.004);
  EXPECT_NEAR(form->TimeDeviationEdit->text().toDouble(), 6, 3);
  // The fields say what the renderer's --learn says of the same file.
  const QString printed = folder.filePath(QStringLiteral("learned.txt"));
  ASSERT_EQ(std::system((QStringLiteral(KADENZO_RENDER) + " --learn " + rhythm + " > " + printed).toLocal8Bit().constData()),
            0);
  double period, time, magnitude;
  QFile learned(printed);
  ASSERT_TRUE(learned.open(QIODevice::ReadOnly));
  ASSERT_EQ(std::sscanf(learned.readAll().constData(), "period=%lf time-deviation=%lf magnitude-deviation=%lf", &period,
                        &time, &magnitude),
            3);
  EXPECT_NEAR(form->PeriodEdit->text().toDouble(), period, 5e-5);
  EXPECT_NEAR(form->TimeDeviationEdit->text().toDouble(), time, 0.05);
  EXPECT_NEAR(form->MagnDeviationEdit->text().toDouble(), magnitude, 0.05);
  // The Test curve's shape, learned back: its peak is the highest point.
  EXPECT_EQ(form->Envelope().GetCount(), 539);
  double highest = 0;
  for (int i = 0; i < 539; ++i) highest = std::max(highest, form->Envelope()[i]);
  EXPECT_EQ(highest, 1.0);
  EXPECT_EQ(Coeff(*form, 0).isEmpty(), false);

  // Noise has no rhythm: a message, and the fields and envelope stay.
  const QString noise = folder.filePath(QStringLiteral("noise.wav"));
  ASSERT_EQ(std::system(("sox -D -n -r 44100 -b 16 " + noise.toStdString() + " synth 8 whitenoise vol 0.5").c_str()), 0);
  const QString periodText = form->PeriodEdit->text();
  const double first = form->Envelope()[0];
  prompts.fileNames = {noise};
  QTest::mouseClick(form->LearnButton, Qt::LeftButton);
  ASSERT_EQ(prompts.messages.size(), 1);
  EXPECT_TRUE(prompts.messages[0].startsWith(QStringLiteral("No clear rhythm in ") + noise)) << prompts.messages[0].toStdString();
  EXPECT_EQ(form->PeriodEdit->text(), periodText);
  EXPECT_EQ(form->Envelope()[0], first);
}
