// main <port>: serves Sum on 127.0.0.1:<port>, calls add once through curl and
// exits 0 when the answer is right.
#include "SumH.h"
#include "Sum_entry.h"
#include <wsgate/wsgate.h>

#include <cstdio>
#include <string>

int Sum::ns__add(struct soap *, int a, int b, int &sum)
{
    sum = a + b;
    return SOAP_OK;
}

int main(int argc, char **argv)
{
    std::string port = argc > 1 ? argv[1] : "";
    std::string reply;
    if (gsoapws_init()) {
        void *server = gsoapws_create("127.0.0.1", std::stoi(port));
        if (server && gsoapws_add_service(server, "/sum", Sum_entry, SUM_WSDL, false, 0) &&
            gsoapws_start(server, nullptr)) {
            std::string curl = "curl -sS -H 'Content-Type: text/xml' http://127.0.0.1:" + port +
                               "/sum -d '<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                               "<s:Body><n:add xmlns:n=\"urn:wsgate-package-sum\"><a>40</a><b>2</b>"
                               "</n:add></s:Body></s:Envelope>'";
            if (FILE *out = popen(curl.c_str(), "r")) {
                char buffer[4096];
                for (size_t n; (n = fread(buffer, 1, sizeof buffer, out)) > 0;)
                    reply.append(buffer, n);
                pclose(out);
            }
        }
        gsoapws_fini();
    }
    bool answered = reply.find("<sum>42</sum>") != std::string::npos;
    std::printf("%s%s\n", answered ? "add answered 42" : "no answer: ", answered ? "" : reply.c_str());
    return answered ? 0 : 1;
}
