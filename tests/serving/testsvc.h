// Test service for the end-to-end tests, implemented in tests/support/e2e:
// document/literal, so that python-zeep could call it from the published WSDL.

//gsoap ns service name: Test
//gsoap ns service style: document
//gsoap ns service encoding: literal
//gsoap ns service namespace: urn:wsgate-test
//gsoap ns service location: http://localhost/test
//gsoap ns schema namespace: urn:wsgate-test

/// Returns a + b.
int ns__add(int a, int b, int &sum);

/// Returns the id of the worker thread that ran the call: which pool served a request.
int ns__threadId(ULONG64 &id);

/// Holds its worker until the test releases it, then returns token.
int ns__block(int token, int &result);

/// Returns size bytes: enough that a client closing early leaves the server with a failed send.
int ns__big(int size, std::string &data);

/// Returns text as received.
int ns__echo(char *text, char *&reply);
