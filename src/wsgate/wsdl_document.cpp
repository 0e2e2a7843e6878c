#include "wsdl_document.h"

#include <sys/stat.h>
#include <tinyxml.h>

#include <cstring>
#include <vector>

namespace {

// Prefixes compare literally: no namespace resolution, so SOAP:address or
// s:address are left alone.
bool is_soap_address(const TiXmlElement *element)
{
    const std::string &name = element->ValueStr();
    return (name == "soap:address" || name == "soap12:address") &&
           element->Attribute("location") != nullptr;
}

// Depth-first from the root, iteratively: document order, whatever the depth.
void rewrite_addresses(TiXmlElement *root, const std::string &ws_address)
{
    std::vector<TiXmlElement *> pending{root};
    while (!pending.empty()) {
        TiXmlElement *element = pending.back();
        pending.pop_back();
        if (is_soap_address(element))
            element->SetAttribute("location", ws_address);
        std::vector<TiXmlElement *> children;
        for (TiXmlElement *child = element->FirstChildElement(); child;
             child = child->NextSiblingElement())
            children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

// TinyXML aborts the process on some non-files (a directory) and blocks on
// others (a FIFO), so only regular files get near it.
bool is_regular_file(const std::string &path)
{
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool split_wsdl_request(const char *path, std::string &uri)
{
    if (!path)
        return false;
    const char *query = std::strchr(path, '?');
    if (!query || std::strcmp(query, "?wsdl") != 0)
        return false;
    uri.assign(path, query);
    return true;
}

bool render_wsdl(const std::string &wsdl, const std::string &ws_address, std::string &wsdl_buffer)
{
    if (!is_regular_file(wsdl))
        return false;
    TiXmlDocument xmlDoc;
    if (!xmlDoc.LoadFile(wsdl.c_str()))
        return false;
    TiXmlElement *root = xmlDoc.RootElement();
    if (!root)
        return false;  // only a declaration or comments: not a WSDL
    rewrite_addresses(root, ws_address);

    TiXmlPrinter printer;
    xmlDoc.Accept(&printer);
    wsdl_buffer.assign(printer.CStr(), printer.Size());
    return true;
}
