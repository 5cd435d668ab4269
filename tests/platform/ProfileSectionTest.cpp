// Section names that come from devices, batched writes and whole-section
// reads of profile files.

#include "tests/platform/ProfileFixture.h"

namespace varnholt::test {
namespace {

const QString kRefused = QStringLiteral(" holds a line break or another control character");

TEST_F(ProfileTest, DeviceNamesWithBracketsAndEqualSignsReadBackAsWritten) {
  auto ini = FileWith("[Cam]\nx=1\n");
  const QStringList names = {"Cam]", "Cam] x=[y", "[Cam]", ";Cam", "Cam=1", "]", "x=1]"};
  for (int i = 0; i < names.size(); ++i)
    ini.WriteInteger(names[i], "x", 10 + i);
  for (int i = 0; i < names.size(); ++i) {
    EXPECT_EQ(ini.ReadInteger(names[i], "x", -1), 10 + i) << names[i].toStdString();
    EXPECT_EQ(ini.ReadSection(names[i]), QStringList{"x"}) << names[i].toStdString();
  }
  EXPECT_EQ(ini.ReadInteger("Cam", "x", -1), 1) << "the plain name's own section is untouched";
  // A zero-width no-break space is no byte-order mark inside a file.
  const QString marked = QChar(0xFEFF) + QString("Cam");
  ini.WriteString(marked, QChar(0xFEFF) + QString("k"), QChar(0xFEFF) + QString("v"));
  ini.WriteString(marked, QChar(0xFEFF) + QString("k"), QChar(0xFEFF) + QString("w"));
  EXPECT_EQ(ini.ReadString(marked, QChar(0xFEFF) + QString("k"), "-"),
            QChar(0xFEFF) + QString("w"));
  EXPECT_EQ(ini.ReadSection(marked).size(), 1);
  EXPECT_EQ(Bytes().count("[\xEF\xBB\xBF"
                          "Cam]"),
            1)
      << "one section, written once";
  EXPECT_TRUE(Bytes().startsWith("[Cam]\nx=1\n\n[Cam]]\nx=10\n\n[Cam] x=[y]\nx=11\n"));
}

TEST_F(ProfileTest, NamesThatWouldBreakTheFileAreRefusedAndNeverMatch) {
  const QByteArray before("[Cam]\nx=1\n[Cam\0X]\nx=2\n", 22);
  auto ini = FileWith(before);
  const QString path = PathOf();
  const std::pair<QString, QString> cases[] = {
      {"Cam\n[Other]", "Cam\\n[Other]"},
      {"Cam\r", "Cam\\r"},
      {QString::fromLatin1("Cam\0X", 5), "Cam\\u0000X"},
      {"Cam\x1b", "Cam\\u001b"},
      {QString("Cam") + QChar(0x2028), "Cam\\u2028"},
      {QString("Cam") + QChar(0x85), "Cam\\u0085"},
      {QString("Cam") + QChar(0xD800), "Cam\\ud800"},
  };
  for (const auto& [section, shown] : cases) {
    const QString& name = section;  // lambdas cannot capture a structured binding in clang 14
    EXPECT_EQ(
        WriteErrorOf([&] { ini.WriteString(name, "x", "9"); }),
        UnableToWrite(path) + (": the section name \"" + shown + "\"" + kRefused).toStdString());
    EXPECT_EQ(
        WriteErrorOf([&] {
          ini.WriteStrings(name, {{"x", "9"}});
        }),
        UnableToWrite(path) + (": the section name \"" + shown + "\"" + kRefused).toStdString());
    EXPECT_EQ(ini.ReadInteger(name, "x", -1), -1) << shown.toStdString();
    EXPECT_FALSE(ini.SectionExists(name));
    EXPECT_FALSE(ini.ReadSectionValues(name).ValueExists("x"));
    ini.DeleteKey(name, "x");
    ini.EraseSection(name);
  }
  EXPECT_EQ(Bytes(), before);
  // Tabs are blanks, and valid characters beyond the basic plane are fine.
  ini.WriteString("Tab\tCam \U0001F4F7", "x", "3");
  EXPECT_EQ(ini.ReadInteger("Tab\tCam \U0001F4F7", "x", -1), 3);
  // Values and keys follow the same rule.
  EXPECT_EQ(WriteErrorOf([&] { ini.WriteString("Cam", "x", QString::fromLatin1("a\0b", 3)); }),
            UnableToWrite(path, "the value holds a line break or another control character"));
  EXPECT_EQ(
      WriteErrorOf([&] { ini.WriteString("Cam", QString("k") + QChar(0x2029), "1"); }),
      UnableToWrite(path, "the key \"k\\u2029\" is blank or holds \"=\" or a control character"));
}

TEST_F(ProfileTest, WriteStringsIsOneReplacementOfAllOrNothing) {
  auto ini = FileWith("; head\n[B]\nkeep=1\n\n[a]\nz=old\nmine=1\n");
  ini.WriteStrings("A", {{"y", "1"}, {"Z", "2"}, {"x", "3"}});
  EXPECT_EQ(Bytes(), "; head\n[B]\nkeep=1\n\n[a]\nz=2\nmine=1\ny=1\nx=3\n");

  ini.WriteStrings("New", {{"b", "1"}, {"a", "2"}});
  EXPECT_EQ(Bytes(), "; head\n[B]\nkeep=1\n\n[a]\nz=2\nmine=1\ny=1\nx=3\n\n[New]\nb=1\na=2\n");

  // A bad entry late in the list stops the whole batch before the file.
  const QByteArray before = Bytes();
  EXPECT_EQ(WriteErrorOf([&] {
              ini.WriteStrings("New", {{"b", "9"}, {"c", "1\n[B]"}});
            }),
            UnableToWrite(PathOf(), "the value holds a line break or another control character"));
  EXPECT_EQ(Bytes(), before);
}

TEST_F(ProfileTest, ASectionReadInOneGoAnswersAsSingleReadsDo) {
  const QByteArray text = "[S]\nk=1\nK=2\n Quoted = \"a b\" \nn=0x10\nbad=1x\n[s]\nlate=1\n";
  auto ini = FileWith(text);
  const TIniSection section = ini.ReadSectionValues(" s ");
  for (const char* key : {"k", "quoted", "n", "bad", "late", "missing"}) {
    EXPECT_EQ(section.ReadString(key, "def "), ini.ReadString("S", key, "def ")) << key;
    EXPECT_EQ(section.ReadInteger(key, -1), ini.ReadInteger("S", key, -1)) << key;
    EXPECT_EQ(section.ValueExists(key), ini.ValueExists("S", key)) << key;
  }
  EXPECT_EQ(section.ReadString("K", ""), "1") << "the first line of a name wins";

  // The same from bytes, here UTF-16 big-endian with its mark.
  QByteArray utf16("\xFE\xFF", 2);
  for (char c : text)
    utf16.append('\0').append(c);
  EXPECT_EQ(TIniSection::FromBytes(utf16, "S").ReadInteger("n", 0), 16);
  EXPECT_FALSE(TIniSection::FromBytes(utf16, "S").ValueExists("late"));
}

}  // namespace
}  // namespace varnholt::test
