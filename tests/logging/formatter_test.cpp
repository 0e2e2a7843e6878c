#include "MessageFormatter.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct Case {
    const char *name;
    std::string message;
    std::vector<FormatArg> args;
    std::string expected;
};

const std::string kLongText(1100, 'm');

const std::vector<Case> kCases = {
    {"NoArguments", "plain {0} text", {}, "plain  text"},
    {"AddressAndPort", "ip:{0}, port:{1}", {FormatArg("10.0.0.1"), FormatArg(8080)},
     "ip:10.0.0.1, port:8080"},
    {"OutOfOrderAndRepeated", "{1}{0}{1}", {FormatArg("a"), FormatArg(2)}, "2a2"},
    {"DoubledBraces", "{{0}}", {FormatArg("a")}, "{0}"},
    {"DoubledOpeningBraceOnly", "{{0}", {FormatArg("a")}, "{0"},
    {"LoneClosingBracesDropped", "}a}b}", {FormatArg("x")}, "ab"},
    {"LoneOpeningBraceAtEndDropped", "a{", {FormatArg("x")}, "a"},
    {"NonDigitAfterBrace", "{x}", {FormatArg("a")}, "x"},
    {"ThreeDigitsDropped", "{123}", {FormatArg("a")}, "3"},
    {"UnclosedAtEnd", "a{0", {FormatArg("b")}, "a"},
    {"TwoDigitNumbers", "{01}{10}", {FormatArg("a"), FormatArg(7)}, "7"},
    {"MissingArgumentIsEmpty", "<{1}{5}>", {FormatArg("a")}, "<>"},
    {"MissingArgumentGivesPattern", "{5:abc}", {FormatArg("a")}, "abc"},
    {"LowerHex", "{0:x}", {FormatArg(255)}, "ff"},
    {"UpperHex", "{0:X}", {FormatArg(255)}, "FF"},
    {"NegativeHexIsSignExtended", "{0:x}", {FormatArg(-1)}, "ffffffffffffffff"},
    {"TimeOfInteger", "{0:t}", {FormatArg(5)}, "(parse error)"},
    {"TimeOfText", "{0:t}|{0:T}", {FormatArg("a")}, "(parse error)|(parse error)"},
    {"LongPatternCopied", "{0:xx}", {FormatArg(255)}, "xx"},
    {"UnknownPatternCopied", "{0:q}", {FormatArg(255)}, "q"},
    {"EmptyPatternIsDefault", "{0:}", {FormatArg(-42)}, "-42"},
    {"PatternAbandonedByBrace", "{0:ab{1}", {FormatArg("a"), FormatArg(9)}, "ab9"},
    {"PatternAbandonedAtEnd", "{0:ab", {FormatArg("a"), FormatArg(9)}, "ab"},
    {"NullText", "[{0}][{0:x}]", {FormatArg(static_cast<const char *>(nullptr))}, "[][0]"},
    {"HighBytesCopied", "\xc3\xa9{0}\xff", {FormatArg("\x80")}, "\xc3\xa9\x80\xff"},
    {"LongMessageKeptWhole", kLongText + "{0}z", {FormatArg("end")}, kLongText + "endz"},
};

// Keeps test names and failure reports readable instead of a byte dump.
void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class FormatMessageCases : public ::testing::TestWithParam<Case> {};

TEST_P(FormatMessageCases, Renders)
{
    const Case &c = GetParam();
    EXPECT_EQ(c.expected, formatMessage(c.message.c_str(), c.args.data(),
                                        static_cast<int>(c.args.size())));
}

INSTANTIATE_TEST_SUITE_P(Formatter, FormatMessageCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             return std::string(info.param.name);
                         });

}  // namespace
