// The echo service's operation (echo.h).
#include "EchoH.h"

int Echo::ns__echo(struct soap *, std::string text, std::string &reply)
{
    reply = text;
    return SOAP_OK;
}
