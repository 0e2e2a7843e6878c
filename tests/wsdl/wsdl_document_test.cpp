#include "wsdl_document.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(SplitWsdlRequest, OnlyExactlyWsdlAfterTheFirstQuestionMarkCounts)
{
    const std::pair<const char *, const char *> cases[] = {  // path, uri or null
        {"/a?wsdl", "/a"},     {"?wsdl", ""},            {"/a/B?wsdl", "/a/B"},    {"/a?WSDL", nullptr},
        {"/a?wsdlx", nullptr}, {"/a?wsdl&x", nullptr},   {"/a?foo=wsdl", nullptr}, {"/a", nullptr},
        {"/a?x?wsdl", nullptr}, {"/a?wsdl?wsdl", nullptr}, {"", nullptr},          {nullptr, nullptr}};
    for (const auto &[path, expected] : cases) {
        std::string uri = "unset";
        EXPECT_EQ(expected != nullptr, split_wsdl_request(path, uri)) << (path ? path : "null");
        EXPECT_EQ(expected ? expected : "unset", uri) << (path ? path : "null");
    }
}

// Files that are not a WSDL are covered on the wire (wsdl_publish_test).
TEST(RenderWsdl, PointsLiteralSoapAndSoap12AddressesAtAnyDepthAtUsAndReprints)
{
    const std::pair<const char *, const char *> cases[] = {  // file, document sent
        {"<?xml version=\"1.0\"?><soap:address location=\"x\"/>",
         "<?xml version=\"1.0\" ?>\n<soap:address location=\"new\" />\n"},
        {"<d><soap12:address location=\"x\" y=\"1\"/><b><soap:address location=\"x\">t</soap:address></b></d>",
         "<d>\n    <soap12:address location=\"new\" y=\"1\" />\n    <b>\n"
         "        <soap:address location=\"new\">t</soap:address>\n    </b>\n</d>\n"},
        {"<d><SOAP:address location=\"x\"/><s:address location=\"x\"/><address location=\"x\"/><soap:address/></d>",
         "<d>\n    <SOAP:address location=\"x\" />\n    <s:address location=\"x\" />\n"
         "    <address location=\"x\" />\n    <soap:address />\n</d>\n"}};
    const auto file = std::filesystem::temp_directory_path() / ("wsdl_document_" + std::to_string(getpid()));
    for (const auto &[content, expected] : cases) {
        std::ofstream(file, std::ios::binary) << content;
        std::string out;
        EXPECT_TRUE(render_wsdl(file.string(), "new", out)) << content;
        EXPECT_EQ(expected, out);
    }
    std::filesystem::remove(file);
}

}  // namespace
