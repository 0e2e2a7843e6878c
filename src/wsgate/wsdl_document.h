// The WSDL side of a "?wsdl" request, apart from gSOAP: which requests ask
// for a WSDL, and the document with its SOAP addresses pointed at us.
#ifndef WSGATE_WSDL_DOCUMENT_H
#define WSGATE_WSDL_DOCUMENT_H

#include <string>

// True when path ends in exactly "?wsdl" after its first "?" (byte-wise,
// nothing after it); uri is then the part before the "?", possibly empty.
bool split_wsdl_request(const char *path, std::string &uri);

// Reads the file afresh, sets the location of every element literally named
// soap:address or soap12:address that has one to ws_address, and prints the
// document with TinyXML's default printer. False (nothing to send) when the
// file is not a readable regular file holding well-formed XML with a root.
bool render_wsdl(const std::string &wsdl, const std::string &ws_address, std::string &wsdl_buffer);

#endif
