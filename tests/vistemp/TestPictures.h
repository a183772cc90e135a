#pragma once
// Pictures for the converter's tests: drawn here with QImage, written as BMP files
// by Qt's writer and read back by its reader, as the program reads a user's file.
// The window tests drive the converter's window with them.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ScriptedPrompts.h"
#include "vtMain.h"

namespace vistemp_test {

// A white picture with one black pixel per column at the given heights above
// the bottom (1 = bottom row); 0 leaves the column blank.
inline QImage ColumnPicture(const std::vector<int>& heights, int height) {
  QImage image(static_cast<int>(heights.size()), height, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int x = 0; x < image.width(); ++x) {
    if (heights[x] > 0) image.setPixel(x, height - heights[x], qRgb(0, 0, 0));
  }
  return image;
}

// The diagonal: heights 1 .. n, one column each.
inline QImage Rising(int n) {
  std::vector<int> heights(n);
  for (int x = 0; x < n; ++x) heights[x] = x + 1;
  return ColumnPicture(heights, n);
}

// A chart: a black frame (rows 10 and 189, columns 10 and 289), a red curve
// near the top and a blue one below it, two pixels thick, never crossing;
// either curve alone on white when the other parts are left out.
struct ChartParts {
  bool frame = true, red = true, blue = true;
};
inline QImage Chart(ChartParts parts = {}) {
  QImage image(300, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int x = 10; x < 290 && parts.frame; ++x) {
    image.setPixel(x, 10, qRgb(0, 0, 0));
    image.setPixel(x, 189, qRgb(0, 0, 0));
  }
  for (int y = 10; y < 190 && parts.frame; ++y) {
    image.setPixel(10, y, qRgb(0, 0, 0));
    image.setPixel(289, y, qRgb(0, 0, 0));
  }
  for (int x = 20; x < 280; ++x) {
    const int red = 40 + static_cast<int>(20 * std::sin(x / 20.0));
    const int blue = 120 + static_cast<int>(25 * std::cos(x / 30.0));
    for (int dy = 0; dy < 2; ++dy) {
      if (parts.red) image.setPixel(x, red + dy, qRgb(230, 20, 10));
      if (parts.blue) image.setPixel(x, blue + dy, qRgb(20, 40, 220));
    }
  }
  return image;
}

// The picture with its white turned transparent black: a drawing on a
// transparent ground, as drawing programs export one.
inline QImage OnTransparentGround(const QImage& picture) {
  QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) == qRgb(255, 255, 255)) image.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
  }
  return image;
}

inline std::uint32_t Crc32(const QByteArray& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline QByteArray BigEndian(std::uint32_t value) {
  QByteArray bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
  return bytes;
}

inline QByteArray Chunk(const char* type, const QByteArray& data) {
  const QByteArray typed = QByteArray(type) + data;
  return BigEndian(static_cast<std::uint32_t>(data.size())) + typed + BigEndian(Crc32(typed));
}

// A PNG file that promises width x height RGB pixels but holds only a few.
inline QByteArray PngHeader(int width, int height) {
  const QByteArray header = BigEndian(width) + BigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
  const QByteArray pixels("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10);  // zlib of two zero bytes
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", header) + Chunk("IDAT", pixels) +
         Chunk("IEND", QByteArray());
}

// A folder for the files of one test, removed afterwards.
class TestFolder {
 public:
  TestFolder() { EXPECT_TRUE(m_dir.isValid()); }
  QString Path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
  QStringList Entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }

  // Writes the picture as a BMP file and returns its name.
  QString SaveBmp(const QImage& image, const QString& name = QStringLiteral("picture.bmp")) const {
    const QString path = Path(name);
    EXPECT_TRUE(image.save(path, "BMP"));
    return path;
  }

  // Writes the picture in the given format (quality 100: lossless WebP) and returns its name.
  QString SaveAs(const QImage& image, const QString& name, const char* format) const {
    const QString path = Path(name);
    EXPECT_TRUE(image.save(path, format, 100)) << format;
    return path;
  }

  // The picture as the program gets it: written as a BMP file and read back.
  QImage ThroughBmp(const QImage& image) const {
    QImage loaded;
    EXPECT_TRUE(loaded.load(SaveBmp(image), "BMP"));
    return loaded;
  }

 private:
  QTemporaryDir m_dir;
};

// The window shown on the offscreen platform, its dialogs answered by script.
class VistempWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }

  void Load(const QImage& picture, const QString& name = QStringLiteral("picture.bmp")) {
    LoadFile(folder.SaveBmp(picture, name));
  }
  void LoadFile(const QString& path) {
    prompts.fileNames.push_back(path);
    QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  }

  // Saves under the given name and returns the values written (none when no file).
  std::vector<double> Save(const QString& name = QStringLiteral("out.env")) {
    prompts.fileNames.push_back(folder.Path(name));
    QTest::mouseClick(form.SaveButton, Qt::LeftButton);
    Block block;
    if (!block.ReadFromFile(QFile::encodeName(folder.Path(name)).constData(), 0, -1)) return {};
    return std::vector<double>(block.GetData(), block.GetData() + block.GetSize());
  }

  // A click on a check box's indicator, as a user would.
  static void Click(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

  TestFolder folder;
  ScriptedPrompts prompts;
  vistemp::TForm1 form{&prompts};
};

}  // namespace vistemp_test
