// The program's own INI text reader, on hand-written file texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/ini_text.h"

namespace qvtk {
namespace {

TEST(IniTextTest, IntegerValues) {
    const std::string text = "[S]\r\na=010\r\nb=0x10\r\nc=-25\r\nd=   42  \r\ng:7\r\ne=\r\nf";
    EXPECT_EQ(IniGetInt("S", "a", -1, text), 8); // octal
    EXPECT_EQ(IniGetInt("S", "b", -1, text), 16);
    EXPECT_EQ(IniGetInt("S", "c", -1, text), -25);
    EXPECT_EQ(IniGetInt("S", "d", -1, text), 42);
    EXPECT_EQ(IniGetInt("S", "g", -1, text), 7);  // any character separates
    EXPECT_EQ(IniGetInt("S", "e", -1, text), -1); // empty value
    EXPECT_EQ(IniGetInt("S", "f", -1, text), -1); // the key ends the text
    EXPECT_EQ(IniGetInt("S", "h", -1, text), -1);
    EXPECT_EQ(IniGetInt("s", "a", -1, text), -1); // section names are case-sensitive
    EXPECT_EQ(IniGetInt("S", "a", -1, ""), -1);
    EXPECT_EQ(IniGetInt("S", "a", -1, "  \r\n "), -1);
    // The first occurrence of the key text counts, even inside a longer key.
    EXPECT_EQ(IniGetInt("W", "Z", -1, "[W]\r\nMC_Z=500\r\nZ=7\r\n"), 500);
}

TEST(IniTextTest, SectionsEndAtTheNextBracketLine) {
    const std::string crlf = "[A]\r\nk=1\r\n[B]\r\nj=2\r\n";
    EXPECT_EQ(IniGetInt("A", "k", -1, crlf), 1);
    EXPECT_EQ(IniGetInt("A", "j", -1, crlf), -1);
    EXPECT_EQ(IniGetInt("B", "k", -1, crlf), -1);
    EXPECT_EQ(IniGetInt("B", "j", -1, crlf), 2);

    const std::string cr = "[A]\rk=1\r[B]\rj=2\r";
    EXPECT_EQ(IniGetInt("A", "j", -1, cr), -1);
    EXPECT_EQ(IniGetInt("B", "j", -1, cr), 2);
    const std::string lf = "[A]\nk=1\n[B]\nj=2\n";
    EXPECT_EQ(IniGetInt("A", "j", -1, lf), -1);
    EXPECT_EQ(IniGetInt("B", "j", -1, lf), 2);

    // A CR "[" anywhere after the start ends the section before any LF "[" does.
    const std::string mixed = "[A]\nk=1\n[B]\nj=2\r[C]\nm=3\n";
    EXPECT_EQ(IniGetInt("A", "j", -1, mixed), 2);
    EXPECT_EQ(IniGetInt("A", "m", -1, mixed), -1);
    std::string out;
    EXPECT_EQ(IniGetString("A", "m", "none", out, 16, mixed), -1);
    EXPECT_EQ(out, "none");
}

TEST(IniTextTest, StringValues) {
    const std::string text =
        "[Path]\r\nDataDir=x\r\nData=   C:\\Logs\\My Runs  \r\nBMP C:\\Pics\r\nEmpty=\r\n"
        "Seven=abcdefg\r\nSix=abcdef\r\nLast=end";
    std::string out;
    // "DataDir" is not followed by "=" or a blank: the search goes on to "Data=".
    EXPECT_EQ(IniGetString("Path", "Data", "dflt", out, 260, text), 17);
    EXPECT_EQ(out, "C:\\Logs\\My Runs  ");
    EXPECT_EQ(IniGetString("Path", "BMP", "dflt", out, 260, text), 7);
    EXPECT_EQ(out, "C:\\Pics");
    EXPECT_EQ(IniGetString("Path", "Last", "dflt", out, 260, text), 3);
    EXPECT_EQ(out, "end");

    EXPECT_EQ(IniGetString("Path", "Empty", "dflt", out, 260, text), 0);
    EXPECT_EQ(out, "dflt");
    // With a buffer of 8, values of 7 characters or more do not fit.
    EXPECT_EQ(IniGetString("Path", "Seven", "dflt", out, 8, text), 0);
    EXPECT_EQ(out, "dflt");
    EXPECT_EQ(IniGetString("Path", "Six", "dflt", out, 8, text), 6);
    EXPECT_EQ(out, "abcdef");

    EXPECT_EQ(IniGetString("Path", "Missing", "dflt", out, 260, text), -1);
    EXPECT_EQ(out, "dflt");
    EXPECT_EQ(IniGetString("Other", "Data", "dflt", out, 260, text), -1);
    EXPECT_EQ(out, "dflt");
}

TEST(IniTextTest, StringKeyAtTheEndOfTheTextIsNotFound) {
    // Followed by neither "=" nor a blank, the occurrence is passed over.
    std::string out;
    EXPECT_EQ(IniGetString("S", "k", "dflt", out, 260, "[S]\r\nk"), -1);
    EXPECT_EQ(out, "dflt");
}

TEST(IniTextTest, ReadTextFile) {
    const std::string path = ::testing::TempDir() + "ini_text_test_QVTK2.ini";
    const std::string bytes = "[ModeSet]\r\nExpertMode=1\r\n";
    {
        std::ofstream f(path, std::ios::binary);
        f << bytes;
    }
    auto text = ReadTextFile(path);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, bytes);
    EXPECT_EQ(IniGetInt("ModeSet", "ExpertMode", 2, *text), 1);
    std::remove(path.c_str());
    EXPECT_FALSE(ReadTextFile(path).has_value());
}

} // namespace
} // namespace qvtk
