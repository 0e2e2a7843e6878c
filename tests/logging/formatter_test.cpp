#include "MessageFormatter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Formatter, RendersEachCase)
{
    using A = FormatArg;
    struct Case { const char *name; std::string in; std::vector<A> args; std::string out; };
    const std::string kLong(1100, 'm');
    const Case cases[] = {
        {"NoArguments", "plain {0} text", {}, "plain  text"},
        {"OutOfOrderAndRepeated", "{1}{0}{1}", {A("a"), A(2)}, "2a2"},
        {"DoubledBraces", "{{0}}|{{0}", {A("a")}, "{0}|{0"},
        {"LoneBracesDropped", "}a}b}c{", {A("x")}, "abc"},
        {"NonDigitOrThreeDigitsDropped", "{x}{123}", {A("a")}, "x3"},
        {"UnclosedAtEnd", "a{0", {A("b")}, "a"},
        {"TwoDigitNumbers", "{01}{10}", {A("a"), A(7)}, "7"},
        {"MissingArgumentIsEmptyOrThePattern", "<{1}{5}{5:abc}>", {A("a")}, "<abc>"},
        {"Hex", "{0:x}{0:X}", {A(255)}, "ffFF"},
        {"NegativeHexIsSignExtended", "{0:x}", {A(-1)}, "ffffffffffffffff"},
        {"TimeIsRefused", "{0:t}|{1:T}", {A("a"), A(5)}, "(parse error)|(parse error)"},
        {"LongOrUnknownPatternCopied", "{0:xx}{0:q}", {A(255)}, "xxq"},
        {"EmptyPatternIsDefault", "{0:}", {A(-42)}, "-42"},
        {"PatternAbandonedByBrace", "{0:ab{1}", {A("a"), A(9)}, "ab9"},
        {"PatternAbandonedAtEnd", "{0:ab", {A("a"), A(9)}, "ab"},
        {"NullText", "[{0}][{0:x}]", {A(static_cast<const char *>(nullptr))}, "[][0]"},
        {"HighBytesCopied", "\xc3\xa9{0}\xff", {A("\x80")}, "\xc3\xa9\x80\xff"},
        {"LongMessageKeptWhole", kLong + "{0}z", {A("end")}, kLong + "endz"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.out, formatMessage(c.in.c_str(), c.args.data(), int(c.args.size()))) << c.name;
}
