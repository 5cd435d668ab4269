// Reading profile files the way GetPrivateProfileString does.

#include "tests/platform/ProfileFixture.h"

namespace varnholt::test {
namespace {

TEST_F(ProfileTest, NamesCompareCaseInsensitivelyAfterTrimming) {
  auto ini = FileWith("[Camera]\n  BrightNess = 42 \n[Kamera \xC3\x84]\n\xC3\xA4pfel=1\n");
  EXPECT_EQ(ini.ReadString("camera", "BRIGHTNESS", "-"), "42");
  EXPECT_EQ(ini.ReadString(" CAMERA\t", " brightness ", "-"), "42");
  EXPECT_EQ(ini.ReadString("KAMERA \u00E4", "\u00C4PFEL", "-"), "1");
  EXPECT_EQ(ini.ReadSection("camera"), QStringList{"BrightNess"});
}

TEST_F(ProfileTest, SectionAndLineRules) {
  auto ini = FileWith(
      "orphan=0\n"
      "[USB Camera [HD]]\n"
      "Width=1\n"
      "width=2\n"
      " ; Height=3\n"
      "NoEquals\n"
      "=empty\n"
      "Gain==5=\n"
      "[usb camera [hd]]\n"
      "Height=4\n"
      "[Other]\n"
      "Width=5\n");
  const QString cam = "USB Camera [HD]";
  EXPECT_EQ(ini.ReadString(cam, "Width", "-"), "1");
  EXPECT_EQ(ini.ReadString(cam, "Gain", "-"), "=5=");
  EXPECT_EQ(ini.ReadString(cam, "Height", "-"), "-") << "comments and later duplicates are unseen";
  EXPECT_EQ(ini.ReadString(cam, "NoEquals", "-"), "-");
  EXPECT_EQ(ini.ReadString("", "orphan", "-"), "-");
  EXPECT_EQ(ini.ReadString("Other", "Width", "-"), "5");
  EXPECT_EQ(ini.ReadSection(cam), (QStringList{"Width", "Gain"}));
  EXPECT_TRUE(ini.ValueExists("usb camera [hd]", "WIDTH"));
  EXPECT_FALSE(ini.ValueExists(cam, "Height"));
}

TEST_F(ProfileTest, OneEnclosingPairOfQuotesIsRemoved) {
  auto ini = FileWith(
      "[Q]\n"
      "a=\"x y\"\n"
      "b= 'y' \n"
      "c=\"z'\n"
      "d=\"\n"
      "e=\"\"q\"\"\n"
      "f=\" padded \"\n"
      "n=\"12\"\n");
  EXPECT_EQ(ini.ReadString("Q", "a", "-"), "x y");
  EXPECT_EQ(ini.ReadString("Q", "b", "-"), "y");
  EXPECT_EQ(ini.ReadString("Q", "c", "-"), "\"z'");
  EXPECT_EQ(ini.ReadString("Q", "d", "-"), "\"");
  EXPECT_EQ(ini.ReadString("Q", "e", "-"), "\"q\"");
  EXPECT_EQ(ini.ReadString("Q", "f", "-"), " padded ");
  EXPECT_EQ(ini.ReadInteger("Q", "n", 0), 12);
}

TEST_F(ProfileTest, MissingFileSectionOrKeyReadsDefaults) {
  TIniFile missing(PathOf("absent.ini"));
  EXPECT_EQ(missing.ReadString("A", "b", "fallback"), "fallback");
  EXPECT_EQ(missing.ReadString("A", "b", "trailing  "), "trailing") << "as Windows trims defaults";
  EXPECT_EQ(missing.ReadInteger("A", "b", -3), -3);
  EXPECT_FALSE(missing.SectionExists("A"));
  EXPECT_TRUE(missing.ReadSection("A").isEmpty());
  EXPECT_FALSE(QFileInfo::exists(PathOf("absent.ini")));

  auto ini = FileWith("[Empty]\n\n[Full]\nA=1\nB=\na=3\n");
  EXPECT_FALSE(ini.SectionExists("empty")) << "a header without keys";
  EXPECT_TRUE(ini.SectionExists("FULL"));
  EXPECT_EQ(ini.ReadSection("full"), (QStringList{"A", "B"}));
  EXPECT_TRUE(ini.ValueExists("full", "b"));
  EXPECT_EQ(ini.ReadString("full", "b", "-"), "");
  EXPECT_EQ(ini.ReadString("full", "c", "-"), "-");
  EXPECT_EQ(ini.ReadString("none", "A", "-"), "-");
}

TEST_F(ProfileTest, IntegersDecimalOrHexadecimal) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"0x2A0", 672},
      {"$1F", 31},
      {"0X10", 16},
      {"-5", -5},
      {"+7", 7},
      {" 12 ", 12},
      {"007", 7},
      {"$FFFFFFFF", -1},
      {"0x80000000", -2147483647 - 1},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"12abc", 99},
      {"99999999999", 99},
      {"2147483648", 99},
      {"$100000000", 99},
      {"0x", 99},
      {"$", 99},
      {"", 99},
      {"-", 99},
      {"1 2", 99},
      {"$-1", 99},
      {"-0x10", 99},
      {"0xG", 99},
      {"1.5", 99},
  };
  QByteArray content = "[N]\n";
  for (size_t i = 0; i < std::size(cases); ++i)
    content += "k" + QByteArray::number(qulonglong(i)) + "=" + cases[i].text + "\n";
  auto ini = FileWith(content);
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(ini.ReadInteger("N", "k" + QString::number(i), 99), cases[i].expected)
        << "value '" << cases[i].text << "'";
  }
}

TEST_F(ProfileTest, ReadsEveryCallAfreshFromDisk) {
  auto ini = FileWith("[A]\nx=1\n");
  EXPECT_EQ(ini.ReadInteger("A", "x", 0), 1);
  ASSERT_TRUE(WriteFile(PathOf(), "[A]\nx=2\n"));
  EXPECT_EQ(ini.ReadInteger("A", "x", 0), 2);
}

}  // namespace
}  // namespace varnholt::test
