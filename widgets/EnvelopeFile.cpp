#include "EnvelopeFile.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

namespace {

// What a plain create would give: the target's own permissions when it exists,
// otherwise read and write for everyone the umask allows.
QFileDevice::Permissions TargetPermissions(const QString& fileName) {
  if (QFileInfo::exists(fileName)) return QFile::permissions(fileName);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  QFileDevice::Permissions permissions;
  if (!(mask & S_IRUSR)) permissions |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
  if (!(mask & S_IWUSR)) permissions |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
  if (!(mask & S_IRGRP)) permissions |= QFileDevice::ReadGroup;
  if (!(mask & S_IWGRP)) permissions |= QFileDevice::WriteGroup;
  if (!(mask & S_IROTH)) permissions |= QFileDevice::ReadOther;
  if (!(mask & S_IWOTH)) permissions |= QFileDevice::WriteOther;
  return permissions;
}

}  // namespace

bool WriteEnvelopeFile(const Block& envelope, const QString& fileName) {
  // The temporary name is reserved by creating the file, so nothing else is overwritten.
  QTemporaryFile temporary(fileName + QStringLiteral(".XXXXXX"));
  if (!temporary.open()) return false;
  temporary.close();
  if (!temporary.setPermissions(TargetPermissions(fileName))) return false;
  const QByteArray temporaryName = QFile::encodeName(temporary.fileName());
  if (!envelope.WriteToFile(temporaryName.constData())) return false;
  // rename() replaces the target in one step; QFile::rename would refuse an existing one.
  std::error_code error;
  std::filesystem::rename(temporaryName.constData(), QFile::encodeName(fileName).constData(), error);
  if (error) return false;
  temporary.setAutoRemove(false);
  return true;
}
