// Test service for the end-to-end tests: document/literal so that
// python-zeep can call it from the published WSDL. Only declarations live
// here; each test program implements the operations it needs in namespace
// Test (soapcpp2 -qTest puts the operations there).

//gsoap ns service name: Test
//gsoap ns service style: document
//gsoap ns service encoding: literal
//gsoap ns service namespace: urn:wsgate-test
//gsoap ns service location: http://localhost/test
//gsoap ns schema namespace: urn:wsgate-test

/// Returns a + b.
int ns__add(int a, int b, int &sum);

/// Returns an id of the worker thread that ran the call, so tests can tell
/// which pool served a request.
int ns__threadId(ULONG64 &id);

/// Waits until the test releases it, then echoes token; lets tests hold a
/// worker busy for as long as they need.
int ns__block(int token, int &result);

/// Returns a string of size bytes, large enough that a client closing early
/// leaves the server with a failed send.
int ns__big(int size, std::string &data);

/// Returns text as received; tests read what the service saw with e2e::Echoed.
int ns__echo(char *text, char *&reply);
