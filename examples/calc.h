// The demo's calculator, published at /calc on the shared pool.
// Declarations only: soapcpp2 generates the service from them and
// calc_service.cpp implements the operations.

//gsoap ns service name: Calculator
//gsoap ns service style: document
//gsoap ns service encoding: literal
//gsoap ns service namespace: urn:wsgate-demo-calc
//gsoap ns service location: http://localhost:8080/calc
//gsoap ns schema namespace: urn:wsgate-demo-calc

/// Returns a + b.
int ns__add(double a, double b, double &result);

/// Returns a - b.
int ns__subtract(double a, double b, double &result);

/// Returns a * b.
int ns__multiply(double a, double b, double &result);

/// Returns a / b; a SOAP sender fault when b is zero.
int ns__divide(double a, double b, double &result);
