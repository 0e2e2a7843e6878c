#ifndef WSGATE_WSDL_GET_HANDLER_H
#define WSGATE_WSDL_GET_HANDLER_H

struct soap;

// gSOAP's HTTP GET callback, reached inside soap_begin_recv. Sends the WSDL
// for "<path>?wsdl", its SOAP addresses set to the scheme and authority the
// request was sent to (published_address.h) and the path as requested, and
// returns SOAP_OK; SOAP_GET_METHOD for any other GET; 404 when there is
// nothing to send, no address to publish or sending failed; -1 when the
// context carries no server. Logs nothing.
int wsdl_get_handler(struct soap *ctx);

#endif
