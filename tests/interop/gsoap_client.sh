#!/usr/bin/env bash
# A gSOAP client generated (wsdl2h, soapcpp2) from the WSDL the demo publishes:
# its proxy's default endpoint is the address the WSDL was rewritten to.
set -euo pipefail
curl -sS -o calc.wsdl "$DEMO_URL/calc?wsdl"
wsdl2h -o calc_client.h calc.wsdl >/dev/null
soapcpp2 -j -C -x -L -I/usr/share/gsoap/import calc_client.h >/dev/null
cat > client.cpp <<'CPP'
#include "soapCalculatorProxy.h"
#include "Calculator.nsmap"

int main()
{
    CalculatorProxy calc;
    _ns1__add add;
    _ns1__addResponse sum;
    _ns1__divide divide;
    _ns1__divideResponse quotient;
    add.a = 2.5, add.b = 4, divide.a = 1, divide.b = 0;
    const int addResult = calc.add(&add, sum), divideResult = calc.divide(&divide, quotient);
    std::printf("add: %d %g, divide by zero: %d\n", addResult, sum.result, divideResult);
    return addResult == SOAP_OK && sum.result == 6.5 && divideResult == SOAP_CLI_FAULT ? 0 : 1;
}
CPP
g++ -o client client.cpp soapC.cpp soapCalculatorProxy.cpp $(pkg-config --cflags --libs gsoap++)
./client
