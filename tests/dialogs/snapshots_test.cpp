#include <gtest/gtest.h>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

TEST(SnapshotsTest, WritesAPictureOfEveryDialogAtItsSize) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  QProcess run;
  run.start(QStringLiteral(QUILLBY_SNAPSHOTS), {out.path() + "/shots"});
  ASSERT_TRUE(run.waitForFinished(60000));
  ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  const struct {
    const char* File;
    QSize Size;
  } shots[] = {
      {"login_dialog.png", QSize(284, 321)},
      {"account_dialog.png", QSize(316, 204)},
      {"message_notice.png", QSize(338, 115)},
      {"message_yes_no.png", QSize(338, 115)},
  };
  for (const auto& shot : shots) {
    QImage image(out.path() + "/shots/" + shot.File);
    ASSERT_FALSE(image.isNull()) << shot.File;
    EXPECT_EQ(image.size() / image.devicePixelRatio(), shot.Size) << shot.File;
    // The grey title bar is drawn: a pixel inside it, right of the caption.
    EXPECT_EQ(QColor(image.pixel(image.width() - 5, 10)), QColor(128, 128, 128)) << shot.File;
  }
  // Each sending tab's fax sheet, as a Letter page at 96 dpi and as a PDF.
  for (const char* sheet : {"fax_1_free_counsel", "fax_2_refer_friend", "fax_3_help_improve"}) {
    EXPECT_EQ(QImage(out.path() + "/shots/" + sheet + ".png").size(), QSize(816, 1056)) << sheet;
    QFile pdf(out.path() + "/shots/" + sheet + ".pdf");
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << sheet;
    EXPECT_TRUE(pdf.read(5) == "%PDF-") << sheet;
  }
  // Nothing usage-like is accepted in place of the folder.
  QProcess bare;
  bare.start(QStringLiteral(QUILLBY_SNAPSHOTS), {});
  ASSERT_TRUE(bare.waitForFinished(60000));
  EXPECT_NE(bare.exitCode(), 0);
}

}  // namespace
