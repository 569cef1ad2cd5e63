// The codecs' numbers do not follow the user's locale: on a desktop with a
// decimal comma the fields still show and read "2.2", "0.640", "1.50:1".

#include "edid/CodecTestSupport.h"

#include <QProcess>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>

namespace {

using codec_test::Block;
using codec_test::Put;

class CommaLocale : public codec_test::CodecFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    const int rc = QProcess::execute(QStringLiteral("localedef"),
                                     {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                                      QStringLiteral("UTF-8"), dir_.filePath(QStringLiteral("de_DE.UTF-8"))});
    if (rc != 0) GTEST_SKIP() << "localedef cannot build de_DE here";
    qputenv("LOCPATH", dir_.path().toLocal8Bit());
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%g", 2.2);
    ASSERT_STREQ(probe, "2,2") << "the locale did not take effect";
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    qunsetenv("LOCPATH");
  }
  QTemporaryDir dir_;
};

TEST_F(CommaLocale, FieldsShowAndReadPointDecimals) {
  Block b = codec_test::DigitalBase14();
  Put(b, 21, {51, 0});  // landscape 1.50:1
  Put(b, 72, {0, 0, 0, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53, 0x10, 0x04, 0x11, 0x17, 0xF0, 0xC8, 0x38, 0xF0, 0x3C});
  edid_test::FixChecksum(b);
  ASSERT_EQ(Add(b), 0);
  const QString basic = QStringLiteral("Basic Display Parameters and Features/");
  EXPECT_EQ(Text(basic + QStringLiteral("Feature Support/Display Transfer characteristics (Gamma)")),
            QStringLiteral("2.2"));
  EXPECT_EQ(Text(QStringLiteral("Display x,y Chromacity coordinates/Red X")), QStringLiteral("0.640"));
  EXPECT_EQ(Text(basic + QStringLiteral("Screen size or Aspect ratio/Aspect Ratio")), QStringLiteral("Landscape 1.50:1"));
  const QString cvt = QStringLiteral("18-Byte data blocks/Descriptor 2/Video Timing support/");
  EXPECT_EQ(Text(cvt + QStringLiteral("Max pixel clock, HI-res")), QStringLiteral("158.75"));

  // Typed texts with a point are read as such.
  SetText(basic + QStringLiteral("Screen size or Aspect ratio/Aspect Ratio"), QStringLiteral("2.5:1"));
  EXPECT_EQ(Byte(21), 151);
  SetText(cvt + QStringLiteral("CVT Version"), QStringLiteral("2.1"));
  EXPECT_EQ(Byte(72 + 11), 0x21);
  EXPECT_TRUE(Errors().isEmpty());
}

}  // namespace
