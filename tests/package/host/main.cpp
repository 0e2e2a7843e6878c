// main <port>: serves Sum on 127.0.0.1:<port> and exits 0 when add, called
// once through curl, answers 42.
#include "SumH.h"
#include "Sum_entry.h"
#include <wsgate/wsgate.h>

#include <cstdlib>
#include <string>

int Sum::ns__add(struct soap *, int a, int b, int &sum)
{
    sum = a + b;
    return SOAP_OK;
}

int main(int argc, char **argv)
{
    const std::string port = argc > 1 ? argv[1] : "0";
    const std::string call = "curl -sS -H 'Content-Type: text/xml' http://127.0.0.1:" + port +
                             "/sum -d '<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
                             "<n:add xmlns:n=\"urn:wsgate-package-sum\"><a>40</a><b>2</b></n:add></s:Body></s:Envelope>'"
                             " | grep '<sum>42</sum>'";
    void *server = gsoapws_init() ? gsoapws_create("127.0.0.1", std::stoi(port)) : nullptr;
    const bool answered = server && gsoapws_add_service(server, "/sum", Sum_entry, SUM_WSDL, false, 0) &&
                          gsoapws_start(server, nullptr) && std::system(call.c_str()) == 0;
    gsoapws_fini();
    return answered ? 0 : 1;
}
