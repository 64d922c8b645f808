#include "engine/settings/ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/param_name.h"
#include "support/temp_dir.h"

namespace {

struct ValueCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class IniValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(IniValueTest, ReadsByTheFileRules) {
    const ValueCase& c = GetParam();
    EXPECT_EQ(IniFile::FromText(c.text).ReadValue(c.section, c.key), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniValueTest,
    ::testing::Values(ValueCase{"plain", "[S]\r\nK=v\r\n", "S", "K", "v"},
                      ValueCase{"blanks and control characters trimmed", " \t[ S ]\x01\r\n\t K \t=\t v w \x02\r\n", "S",
                                "K", "v w"},
                      ValueCase{"bare LF and CR line ends", "[S]\nA=1\rK=v", "S", "K", "v"},
                      ValueCase{"comment line skipped", "[S]\r\n;K=v\r\n", "S", "K", std::nullopt},
                      ValueCase{"indented comment skipped", "[S]\r\n  ;K=v\r\n", "S", "K", std::nullopt},
                      ValueCase{"semicolon inside a value kept", "[S]\r\nK=a;b\r\n", "S", "K", "a;b"},
                      ValueCase{"key before any section ignored", "K=v\r\n[S]\r\n", "S", "K", std::nullopt},
                      ValueCase{"split at the first equals sign", "[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
                      ValueCase{"line without equals matches nothing", "[S]\r\nK\r\n", "S", "K", std::nullopt},
                      ValueCase{"section name case", "[settings]\r\nK=v\r\n", "Settings", "K", "v"},
                      ValueCase{"key name case", "[S]\r\nnIcK=v\r\n", "S", "Nick", "v"},
                      ValueCase{"empty value is empty text", "[S]\r\nK=\r\n", "S", "K", ""},
                      ValueCase{"last key wins", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "2"},
                      ValueCase{"last key wins across case", "[S]\r\nK=1\r\nk=2\r\n", "S", "K", "2"},
                      ValueCase{"last section wins", "[S]\r\nK=1\r\n[T]\r\n[S]\r\nL=2\r\n", "S", "K", std::nullopt},
                      ValueCase{"last section keeps its own keys", "[S]\r\nK=1\r\n[s]\r\nK=2\r\n", "S", "K", "2"},
                      ValueCase{"key of another section not seen", "[T]\r\nK=v\r\n", "S", "K", std::nullopt},
                      ValueCase{"unclosed bracket is no section", "[S]\r\n[T\r\nK=v\r\n", "S", "K", "v"},
                      ValueCase{"no trailing line end", "[S]\r\nK=v", "S", "K", "v"},
                      ValueCase{"empty text", "", "S", "K", std::nullopt}),
    [](const auto& caseInfo) { return ParamName(caseInfo.param.name, caseInfo.index); });

struct IntegerCase {
    const char* value;
    int32_t expected;  // the default is 7
};

class IniIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IniIntegerTest, ReadsStandardIntegerSyntaxOrDefault) {
    const IntegerCase& c = GetParam();
    const IniFile ini = IniFile::FromText(std::string("[S]\r\nK=") + c.value + "\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", 7), c.expected) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Syntax, IniIntegerTest,
                         ::testing::Values(IntegerCase{"31", 31}, IntegerCase{"-3", -3}, IntegerCase{"+4", 4},
                                           IntegerCase{"0", 0}, IntegerCase{"0x1F", 31}, IntegerCase{"0X1f", 31},
                                           IntegerCase{"$1F", 31}, IntegerCase{"x1F", 31}, IntegerCase{"X1F", 31},
                                           IntegerCase{"-$10", -16}, IntegerCase{"2147483647", 2147483647},
                                           IntegerCase{"-2147483648", INT32_MIN}, IntegerCase{"2147483648", 7},
                                           IntegerCase{"12abc", 7}, IntegerCase{"1.5", 7}, IntegerCase{"yes", 7},
                                           IntegerCase{"", 7}, IntegerCase{"$", 7}, IntegerCase{"0x", 7},
                                           IntegerCase{"1 2", 7}),
                         [](const auto& caseInfo) { return ParamName(caseInfo.param.value, caseInfo.index); });

TEST(IniFileTest, BooleanIsAnyNonZeroIntegerAndOtherwiseTheDefault) {
    const IniFile ini = IniFile::FromText("[S]\r\nTwo=2\r\nZero=0\r\nWord=yes\r\nMinus=-1\r\n");
    EXPECT_TRUE(ini.ReadBool("S", "Two", false));
    EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "Word", true));
    EXPECT_FALSE(ini.ReadBool("S", "Word", false));
    EXPECT_TRUE(ini.ReadBool("S", "Minus", false));
    EXPECT_TRUE(ini.ReadBool("S", "Missing", true));
}

TEST(IniFileTest, MissingFileReadsAsEmptyAndAnExistingOneIsRead) {
    TempDir dir;
    EXPECT_EQ(IniFile::FromFile(dir.File("none.ini")).ReadValue("S", "K"), std::nullopt);
    WriteFile(dir.File("a.ini"), "[S]\r\nK=\xE9t\xE9\r\n");
    EXPECT_EQ(IniFile::FromFile(dir.File("a.ini")).ReadValue("S", "K"), "\xE9t\xE9");
}

}  // namespace
