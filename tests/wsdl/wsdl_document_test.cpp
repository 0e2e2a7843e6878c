#include "wsdl_document.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(SplitWsdlRequest, OnlyExactlyWsdlAfterTheFirstQuestionMarkCounts)
{
    const std::pair<const char *, const char *> cases[] = {  // path, uri or null
        {"/a?wsdl", "/a"},       {"?wsdl", ""},          {"/a/B?wsdl", "/a/B"},
        {"/a?WSDL", nullptr},    {"/a?wsdlx", nullptr},  {"/a?wsdl&x", nullptr},
        {"/a?foo=wsdl", nullptr}, {"/a", nullptr},        {"/a?x?wsdl", nullptr},
        {"/a?wsdl?wsdl", nullptr}, {"", nullptr},         {nullptr, nullptr}};
    for (const auto &[path, expected] : cases) {
        std::string uri = "unset";
        EXPECT_EQ(expected != nullptr, split_wsdl_request(path, uri)) << (path ? path : "null");
        EXPECT_EQ(expected ? expected : "unset", uri) << (path ? path : "null");
    }
}

class RenderWsdl : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "wsdl_document_XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        _dir = pattern;
    }
    void TearDown() override { fs::remove_all(_dir); }

    std::string Write(const std::string &name, const std::string &content)
    {
        std::ofstream(_dir / name, std::ios::binary) << content;
        return (_dir / name).string();
    }

    fs::path _dir;
};

TEST_F(RenderWsdl, RewritesLiteralSoapAndSoap12AddressesAtAnyDepthAndReprints)
{
    const std::string path = Write("a.wsdl",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<definitions xmlns:soap=\"urn:s\"><port>"
        "<soap:address location=\"a\"/><soap12:address location=\"b\" x=\"1\"/><SOAP:address location=\"c\"/>"
        "<s:address location=\"d\"/><soap:address/><address location=\"e\"/></port>"
        "<x><y><z><soap:address location=\"f\">t</soap:address></z></y></x></definitions>");
    std::string out;
    ASSERT_TRUE(render_wsdl(path, "http://h:1/p", out));
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
              "<definitions xmlns:soap=\"urn:s\">\n"
              "    <port>\n"
              "        <soap:address location=\"http://h:1/p\" />\n"
              "        <soap12:address location=\"http://h:1/p\" x=\"1\" />\n"
              "        <SOAP:address location=\"c\" />\n"
              "        <s:address location=\"d\" />\n"
              "        <soap:address />\n"
              "        <address location=\"e\" />\n"
              "    </port>\n"
              "    <x>\n"
              "        <y>\n"
              "            <z>\n"
              "                <soap:address location=\"http://h:1/p\">t</soap:address>\n"
              "            </z>\n"
              "        </y>\n"
              "    </x>\n"
              "</definitions>\n",
              out);

    ASSERT_TRUE(render_wsdl(Write("root.wsdl", "<soap:address location=\"x\"/>"), "y", out));
    EXPECT_EQ("<soap:address location=\"y\" />\n", out);
}

TEST_F(RenderWsdl, NothingToSendWithoutARegularWellFormedFileWithARoot)
{
    fs::create_directory(_dir / "sub");
    for (const std::string &path :
         {std::string(), (_dir / "missing.wsdl").string(), (_dir / "sub").string(), Write("empty.wsdl", ""),
          Write("bad.wsdl", "<definitions><service></definitions>"),
          Write("prolog.wsdl", "<?xml version=\"1.0\"?>\n<!-- only a comment -->\n")}) {
        std::string out = "untouched";
        EXPECT_FALSE(render_wsdl(path, "http://h:1/p", out)) << path;
        EXPECT_EQ("untouched", out) << path;
    }
}

}  // namespace
