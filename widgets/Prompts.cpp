#include "Prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

void QtPrompts::ShowMessage(const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? QApplication::applicationName() : caption,
                  text, QMessageBox::Ok, m_pWindow);
  box.exec();
}

QString QtPrompts::AskFileName(const FileDialogOptions& options) {
  QFileDialog dialog(m_pWindow, options.title);
  dialog.setNameFilter(options.filter);
  dialog.setDefaultSuffix(options.defaultSuffix);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (options.mode == FileDialogOptions::Mode::Open) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(options.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}
