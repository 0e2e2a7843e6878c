// The calculator's operations (calc.h).
#include "CalculatorH.h"

int Calculator::ns__add(struct soap *, double a, double b, double &result)
{
    result = a + b;
    return SOAP_OK;
}

int Calculator::ns__subtract(struct soap *, double a, double b, double &result)
{
    result = a - b;
    return SOAP_OK;
}

int Calculator::ns__multiply(struct soap *, double a, double b, double &result)
{
    result = a * b;
    return SOAP_OK;
}

int Calculator::ns__divide(struct soap *soap, double a, double b, double &result)
{
    // The caller sent a bad request: a client (sender) fault, not a server one.
    if (b == 0)
        return soap_sender_fault(soap, "Division by zero", nullptr);
    result = a / b;
    return SOAP_OK;
}
