#include "EnvelopeFile.h"

#include <QFile>

#include "BlockFile.h"

bool WriteEnvelopeFile(const Block& envelope, const QString& fileName) {
  return SaveBlockFile(envelope, QFile::encodeName(fileName).toStdString());
}
