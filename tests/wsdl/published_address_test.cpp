#include "published_address.h"

#include <gtest/gtest.h>

namespace {

TEST(PlainAuthority, OnlyAHostAndAnOptionalPortOfAtMost255Bytes)
{
    const std::pair<std::string, bool> cases[] = {
        {"example.com", true}, {"a-b_c.example:8443", true}, {"127.0.0.1:1", true}, {"[::1]:8080", true},
        {"[2001:db8::ff]", true}, {"x:65535", true}, {std::string(249, 'a') + ":12345", true},
        {std::string(256, 'a'), false}, {"", false}, {":80", false}, {"x:", false}, {"x:123456", false},
        {"x:8a", false}, {"x:1:2", false}, {"[]", false}, {"[::1", false}, {"[::1]x", false},
        {"[fe80::1%eth0]", false}, {"a\"b", false}, {"a'b", false}, {"a<b>", false}, {"a b", false},
        {"a/b", false}, {"a\\b", false}, {"a\tb", false}, {"a\x01" "b", false}, {"a@b", false},
        {"a,b", false}, {"a&b", false}, {"\xc3\xa9t\xc3\xa9", false}};
    for (const auto &[value, plain] : cases)
        EXPECT_EQ(plain, is_plain_authority(value)) << value;
}

TEST(ForwardedParameter, FromTheFirstElementOnlyUnquotedAndElseEmpty)
{
    const std::tuple<const char *, const char *, std::string> cases[] = {  // header, name, value
        {"host=a.example", "host", "a.example"},
        {"for=1.2.3.4;Host=\"a.example:8443\";proto=https", "host", "a.example:8443"},
        {"for=1.2.3.4; proto=https ;host=a", "proto", "https"},
        {"for=1.2.3.4, host=b.example", "host", ""},
        {"host=a, host=b", "host", "a"},
        {"host=a;host=b", "host", "a"},
        {"host=\"a;b,c\";proto=https", "proto", "https"},
        {"host=\"a\\\"b\"", "host", ""},
        {"host=\"a", "host", ""},
        {"host", "host", ""},
        {"=a", "host", ""},
        {"host=a b", "host", ""},
        {nullptr, "host", ""}};
    for (const auto &[header, name, value] : cases)
        EXPECT_EQ(value, forwarded_parameter(header, name)) << (header ? header : "null");
}

TEST(RequestedAuthority, FirstPlainOfForwardedHostThenXForwardedHostThenHost)
{
    const struct { request_origin origin; const char *expected; } cases[] = {
        {{"host=f:1", "x:2", nullptr, "h:3"}, "f:1"},
        {{"for=1.2.3.4", "x:2", nullptr, "h:3"}, "x:2"},
        {{"host=\"f/1\"", "x 2", nullptr, "h:3"}, "h:3"},
        {{nullptr, nullptr, nullptr, "h\"><a"}, nullptr},
        {{}, nullptr}};
    for (const auto &c : cases) {
        std::string authority = "unset";
        EXPECT_EQ(c.expected != nullptr, requested_authority(c.origin, authority));
        EXPECT_EQ(c.expected ? c.expected : "unset", authority);
    }
}

TEST(RequestedScheme, HttpsWhenForwardedProtoOrXForwardedProtoSaysSo)
{
    EXPECT_STREQ("https", requested_scheme({"proto=https", nullptr, nullptr, nullptr}));
    EXPECT_STREQ("https", requested_scheme({nullptr, nullptr, "HTTPS", nullptr}));
    EXPECT_STREQ("https", requested_scheme({"proto=http", nullptr, "https", nullptr}));
    EXPECT_STREQ("http", requested_scheme({"proto=\"https ", nullptr, "http", nullptr}));
    EXPECT_STREQ("http", requested_scheme({nullptr, nullptr, "https, http", nullptr}));
    EXPECT_STREQ("http", requested_scheme({}));
}

}  // namespace
