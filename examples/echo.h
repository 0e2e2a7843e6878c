// The demo's echo service, published at /echo on a pool of its own.
// Declarations only: soapcpp2 generates the service from them and
// echo_service.cpp implements the operation.

//gsoap ns service name: Echo
//gsoap ns service style: document
//gsoap ns service encoding: literal
//gsoap ns service namespace: urn:wsgate-demo-echo
//gsoap ns service location: http://localhost:8080/echo
//gsoap ns schema namespace: urn:wsgate-demo-echo

/// Returns text unchanged.
int ns__echo(std::string text, std::string &reply);
