#pragma once
// Pictures for the converter's tests: drawn here with QImage, written as BMP files
// by Qt's writer and read back by its reader, as the program reads a user's file.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <vector>

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

 private:
  QTemporaryDir m_dir;
};

inline QImage LoadBmp(const QString& path) {
  QImage image;
  EXPECT_TRUE(image.load(path, "BMP"));
  return image;
}

}  // namespace vistemp_test
