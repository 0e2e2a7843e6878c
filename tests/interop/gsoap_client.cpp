// A gSOAP client built from the WSDL files the demo publishes: the cases in
// cases.tsv, through the addresses the WSDL files were rewritten to.
#include "soapCalculatorProxy.h"
#include "soapEchoProxy.h"
#include "Calculator.nsmap"  // both services' namespaces

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// Kept alive as other clients are; std::string carries UTF-8 both ways.
CalculatorProxy calc(SOAP_IO_KEEPALIVE | SOAP_C_UTFSTRING);
EchoProxy echo(SOAP_IO_KEEPALIVE | SOAP_C_UTFSTRING);

void check(const std::string &name, const std::string &got, const std::string &want)
{
    std::printf(got == want ? "%s: ok\n" : "%s: FAIL, got %.300s\n", name.c_str(), got.c_str());
}

// A call's outcome as the cases spell it; only a sender's fault reads "fault".
template <class Value>
std::string outcome(struct soap *soap, int status, const Value &value)
{
    if (status != SOAP_OK) {
        const char *fault = *soap_faultstring(soap);
        return (status == SOAP_CLI_FAULT ? "fault " : "error ") + std::string(fault ? fault : "");
    }
    std::ostringstream text;
    text << value;
    return text.str();
}

template <class Request, class Response>
std::string calculate(int (CalculatorProxy::*op)(Request *, Response &), double a, double b)
{
    Request request;
    Response response;
    request.a = a, request.b = b;
    return outcome(calc.soap, (calc.*op)(&request, response), response.result);
}

std::string calculate(const std::string &op, double a, double b)
{
    return op == "add"        ? calculate(&CalculatorProxy::add, a, b)
           : op == "subtract" ? calculate(&CalculatorProxy::subtract, a, b)
           : op == "multiply" ? calculate(&CalculatorProxy::multiply, a, b)
                              : calculate(&CalculatorProxy::divide, a, b);
}

}  // namespace

int main()
{
    std::ifstream cases(std::getenv("INTEROP_CASES"));
    for (std::string line; std::getline(cases, line);) {
        std::vector<std::string> field;
        std::istringstream in(line);
        for (std::string text; std::getline(in, text, '\t');)
            field.push_back(text);
        if (field[0] == "calc") {
            check(field[1] + " " + field[2] + " " + field[3], calculate(field[1], std::stod(field[2]), std::stod(field[3])),
                  field[4]);
        } else if (field[0] == "echo") {
            _ns2__echo request;
            _ns2__echoResponse response;
            for (int i = std::stoi(field[3]); i > 0; --i)
                request.text += field[2];
            check("echo " + field[1], outcome(echo.soap, echo.echo(&request, response), response.reply), request.text);
        } else if (field[0] == "calls") {
            std::string got, want;
            for (int i = 0; i < std::stoi(field[1]); ++i)
                got += calculate("add", i, 1) + " ", want += std::to_string(i + 1) + " ";
            check(field[1] + " calls", got, want);
        }
    }
}
