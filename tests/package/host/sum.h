//gsoap ns service name: Sum
//gsoap ns service style: document
//gsoap ns service encoding: literal
//gsoap ns service namespace: urn:wsgate-package-sum
//gsoap ns service location: http://localhost/sum
//gsoap ns schema namespace: urn:wsgate-package-sum
int ns__add(int a, int b, int &sum);
