#pragma once
// Everything a command asks the user goes through this interface, which the
// window holds; tests answer it with a scripted implementation.

#include <QString>

class QWidget;

struct FileDialogOptions {
  enum class Mode { Open, Save };
  Mode mode = Mode::Open;
  QString title;          // empty: the platform's default title
  QString filter;         // Qt form, e.g. "Sound files (*.wav)"
  QString defaultSuffix;  // without the dot, e.g. "wav"
  bool fileMustExist = false;
  bool confirmOverwrite = false;

  // A dialog that opens an existing file.
  static FileDialogOptions ForOpening(const QString& filter, const QString& defaultSuffix,
                                      const QString& title = QString()) {
    return {Mode::Open, title, filter, defaultSuffix, true, false};
  }
  // A dialog that names a file to write, asking before an existing one is replaced.
  static FileDialogOptions ForSaving(const QString& filter, const QString& defaultSuffix,
                                     const QString& title = QString()) {
    return {Mode::Save, title, filter, defaultSuffix, false, true};
  }
};

class Prompts {
 public:
  virtual ~Prompts() = default;

  // A plain modal message box; an empty caption means the application title.
  virtual void ShowMessage(const QString& text, const QString& caption = QString()) = 0;

  // The chosen file name, or an empty string when the dialog was cancelled.
  virtual QString AskFileName(const FileDialogOptions& options) = 0;
};

// The real dialogs: QMessageBox and QFileDialog, owned by the given window.
class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* window) : m_pWindow(window) {}

  void ShowMessage(const QString& text, const QString& caption = QString()) override;
  QString AskFileName(const FileDialogOptions& options) override;

 protected:
  QWidget* Window() const { return m_pWindow; }

 private:
  QWidget* m_pWindow;
};
