// A picture named on Vistemp's command line is loaded as its Load command
// loads one: the same profile, preview, picture and messages. Also the exit
// codes of the program's own command line.
#include <gtest/gtest.h>


#include "CommandLineCases.h"
#include "PictureWidget.h"
#include "TestPictures.h"
#include "TracedPictureView.h"

using vistemp_test::Rising;
using vistemp_test::TestFolder;

namespace {

struct WindowState {
  std::vector<double> profile;
  QImage preview;
  QStringList messages;
  bool operator==(const WindowState&) const = default;
};

WindowState StateOf(const vistemp::TForm1& form, const ScriptedPrompts& prompts) {
  const Block& profile = form.GetProfile();
  return {std::vector<double>(profile.GetData(), profile.GetData() + profile.GetSize()), form.Image1->Image(),
          prompts.messages};
}

TEST(VistempOpenFile, GivesWhatTheLoadCommandGives) {
  TestFolder folder;
  QFile bad(folder.Path("bad.bmp"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("BM this is not a picture") > 0);
  bad.close();
  const QString files[] = {folder.SaveBmp(Rising(40)), folder.SaveAs(Rising(30), "rising.png", "PNG"),
                           bad.fileName(), folder.Path("missing.bmp")};
  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    ScriptedPrompts loadPrompts, openPrompts;
    vistemp::TForm1 loaded(&loadPrompts), opened(&openPrompts);
    loaded.show();
    opened.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&loaded) && QTest::qWaitForWindowExposed(&opened));
    loadPrompts.fileNames = {file};
    QTest::mouseClick(loaded.LoadButton, Qt::LeftButton);
    opened.OpenFile(file);
    const WindowState state = StateOf(opened, openPrompts);
    EXPECT_TRUE(state == StateOf(loaded, loadPrompts));
    EXPECT_TRUE(openPrompts.asked.empty());
    // The oracle: the diagonal's column heights.
    if (file.endsWith("picture.bmp")) {
      ASSERT_EQ(state.profile.size(), 40u);
      EXPECT_EQ(state.profile[39], 40.0);
    }
    if (file == bad.fileName()) {
      EXPECT_EQ(state.messages, QStringList{"Bitmap image is not valid"});
    }
  }
}

TEST(VistempCommandLine, HelpVersionAndUsageErrors) {
  ExpectCommandLines(QStringLiteral(VISTEMP), {
      {{"--version"}, 0, "Vistemp " KIT_VERSION "\n"},
      {{"--help"}, 0, "Usage: "},
      {{"--no-such-option"}, 2, ""},
      {{"one.bmp", "two.bmp"}, 2, ""},
  });
}

}  // namespace
