// Writing profile files the way WritePrivateProfileString does: only the
// concerned lines change, everything else stays byte for byte.

#include <QStringEncoder>

#include "tests/platform/ProfileFixture.h"

namespace varnholt::test {
namespace {

QByteArray Utf16Le(const QString& text) {
  QStringEncoder encoder(QStringEncoder::Utf16LE);
  const QByteArray body = encoder(text);
  return "\xFF\xFE" + body;
}

TEST_F(ProfileTest, NewFileGetsKeysInWriteOrderAndSectionsAtTheEnd) {
  TIniFile ini(PathOf("new.ini"));
  ini.WriteInteger("Window", "Height", 480);
  ini.WriteInteger("Window", "Top", -20);
  ini.WriteInteger("window", "Left", 10);
  ini.WriteString("WINDOW", "width", "640");
  ini.WriteString("Camera", " Name ", " USB [HD]; \"x\" ");
  EXPECT_EQ(Bytes("new.ini"),
            "[Window]\nHeight=480\nTop=-20\nLeft=10\nwidth=640\n"
            "\n[Camera]\nName= USB [HD]; \"x\" \n");
  EXPECT_EQ(ini.ReadSection("window"), (QStringList{"Height", "Top", "Left", "width"}));
  EXPECT_EQ(ini.ReadInteger("Window", "Top", 0), -20);
  EXPECT_EQ(ini.ReadString("camera", "name", "-"), "USB [HD]; \"x\"");
}

TEST_F(ProfileTest, RewritesOnlyTheConcernedLines) {
  const QByteArray before =
      "; settings\n"
      "junk line\n"
      "[Main]\n"
      "  BrightNess = 10 ; kept\n"
      "Contrast=5\n"
      "\n"
      "; end of main\n"
      "\n"
      "[Other]\t\n"
      "x=1";
  auto ini = FileWith(before);
  ini.WriteString("main", "BRIGHTNESS", "20");
  ini.WriteString("MAIN", "Gamma", "3");
  ini.WriteString("Other", "y", "2");
  ini.WriteString("main", "contrast", "5");  // unchanged value: nothing to do
  EXPECT_EQ(Bytes(),
            "; settings\n"
            "junk line\n"
            "[Main]\n"
            "BrightNess=20\n"
            "Contrast=5\n"
            "\n"
            "; end of main\n"
            "Gamma=3\n"
            "\n"
            "[Other]\t\n"
            "x=1\n"
            "y=2\n");
}

TEST_F(ProfileTest, NewSectionIsSeparatedByOneBlankLine) {
  auto ini = FileWith("[A]\nx=1", "a.ini");
  ini.WriteString("B", "k", "v");
  EXPECT_EQ(Bytes("a.ini"), "[A]\nx=1\n\n[B]\nk=v\n");

  auto blank = FileWith("[A]\nx=1\n  \n", "b.ini");
  blank.WriteString("B", "k", "v");
  EXPECT_EQ(Bytes("b.ini"), "[A]\nx=1\n  \n[B]\nk=v\n");

  auto header = FileWith("[A]", "c.ini");
  header.WriteString("a", "k", "v");
  EXPECT_EQ(Bytes("c.ini"), "[A]\nk=v\n");
}

TEST_F(ProfileTest, CrLfFilesKeepCrLf) {
  auto ini = FileWith("[A]\r\nx=1\r\n\r\n[B]\r\ny=2");
  ini.WriteString("a", "z", "3");
  ini.WriteString("b", "w", "4");
  ini.WriteString("C", "k", "5");
  ini.WriteString("A", "x", "9");
  EXPECT_EQ(Bytes(), "[A]\r\nx=9\r\nz=3\r\n\r\n[B]\r\ny=2\r\nw=4\r\n\r\n[C]\r\nk=5\r\n");
}

TEST_F(ProfileTest, Utf16FilesAreReadAndWritten) {
  auto ini = FileWith(Utf16Le("[Kamera]\r\nName = Gr\u00FCn\r\n"));
  EXPECT_EQ(ini.ReadString("KAMERA", "name", "-"), "Gr\u00FCn");
  ini.WriteString("Kamera", "Name", "Blau");
  ini.WriteString("Neu", "\u00DC", "\u20AC");
  EXPECT_EQ(Bytes(), Utf16Le("[Kamera]\r\nName=Blau\r\n\r\n[Neu]\r\n\u00DC=\u20AC\r\n"));
  EXPECT_EQ(ini.ReadString("neu", "\u00FC", "-"), "\u20AC");

  auto bigEndian = FileWith(QByteArray("\xFE\xFF\0[\0B\0]\0\n\0k\0=\0\xE9", 16), "be.ini");
  EXPECT_EQ(bigEndian.ReadString("b", "K", "-"), "\u00E9");
}

TEST_F(ProfileTest, Utf8MarkAndInvalidBytesSurviveRewrites) {
  const char raw[] = "bad=\xFF\xFE\x00!\n\xC3(=1\n";
  const QByteArray bad(raw, sizeof raw - 1);
  auto ini = FileWith("\xEF\xBB\xBF[A]\n" + bad + "x=1\n");
  EXPECT_EQ(ini.ReadInteger("a", "x", 0), 1);
  ini.WriteString("A", "x", "\u00E9");
  EXPECT_EQ(Bytes(), "\xEF\xBB\xBF[A]\n" + bad + "x=\xC3\xA9\n");
}

TEST_F(ProfileTest, RejectsWritesThatWouldBreakLines) {
  const QByteArray before = "[A]\nx=1\n";
  auto ini = FileWith(before);
  const std::string message = UnableToWrite(PathOf());
  const std::string value = ": the value holds a line break or another control character";
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "x", "1\n[B]"); }), message + value);
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "x", "1\r2"); }), message + value);
  EXPECT_EQ(
      WriteErrorOf([&] { ini.WriteString("A\nB", "x", "1"); }),
      message + ": the section name \"A\\nB\" holds a line break or another control character");
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "x\ny", "1"); }),
            message + ": the key \"x\\ny\" is blank or holds \"=\" or a control character");
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "x=y", "1"); }),
            message + ": the key \"x=y\" is blank or holds \"=\" or a control character");
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "", "1"); }),
            message + ": the key \"\" is blank or holds \"=\" or a control character");
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", " \t", "1"); }),
            message + ": the key \" \t\" is blank or holds \"=\" or a control character");
  EXPECT_EQ(Bytes(), before);
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("A", "y", "a=b;\"c\""); }), "none");
  EXPECT_EQ(ini.ReadString("A", "y", "-"), "a=b;\"c\"");
}

TEST_F(ProfileTest, DeleteKeyAndEraseSection) {
  auto ini = FileWith("[A]\nx=1\nX=2\ny=3\n\n[B]\nz=3\n\n[a]\nw=4\n");
  ini.DeleteKey("a", "X");
  EXPECT_EQ(Bytes(), "[A]\nX=2\ny=3\n\n[B]\nz=3\n\n[a]\nw=4\n");
  ini.DeleteKey("B", "missing");
  ini.EraseSection(" A ");
  EXPECT_EQ(Bytes(), "[B]\nz=3\n\n");
  EXPECT_FALSE(ini.SectionExists("A"));
  ini.EraseSection("B");
  EXPECT_EQ(Bytes(), "");

  TIniFile absent(PathOf("absent.ini"));
  absent.DeleteKey("A", "x");
  absent.EraseSection("A");
  EXPECT_FALSE(QFileInfo::exists(absent.FileName())) << "nothing to change, nothing written";
}

}  // namespace
}  // namespace varnholt::test
