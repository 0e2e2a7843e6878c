#!/usr/bin/env bash
# gsoap_client.sh <gsoap_client.cpp>: builds a gSOAP client (wsdl2h, soapcpp2)
# from the WSDL files the demo publishes, then runs it.
set -euo pipefail
quiet() { "$@" > tool.log 2>&1 || { cat tool.log; return 1; }; }
for service in calc echo; do curl -sS -o $service.wsdl "$DEMO_URL/$service?wsdl"; done
quiet wsdl2h -o client.h calc.wsdl echo.wsdl
quiet soapcpp2 -j -C -x -L -I/usr/share/gsoap/import client.h
g++ -O1 -I. -o client "$1" soapC.cpp soapCalculatorProxy.cpp soapEchoProxy.cpp $(pkg-config --cflags --libs gsoap++)
./client
