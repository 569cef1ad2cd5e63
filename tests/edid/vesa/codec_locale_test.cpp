// The codecs' numbers do not follow the user's locale: on a desktop with a
// decimal comma the fields still show and read "2.2", "0.640", "1.50:1".

#include "edid/CodecTestSupport.h"
#include "support/DecimalCommaLocale.h"

namespace {

using codec_test::Block;
using codec_test::Put;

class CommaLocale : public codec_test::CodecFixture {
protected:
    void SetUp() override { ASSERT_EQ(locale_.Failure(), ""); }
    DecimalCommaLocale locale_;
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
    EXPECT_EQ(Text(basic + QStringLiteral("Screen size or Aspect ratio/Aspect Ratio")),
              QStringLiteral("Landscape 1.50:1"));
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
