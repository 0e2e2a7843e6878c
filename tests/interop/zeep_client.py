# python3-zeep against the demo: each WSDL, every operation, through the address it names.
import os
import requests
import zeep.exceptions

url = os.environ["DEMO_URL"]
# A WSDL GET's connection closes although its response says keep-alive.
session = requests.Session()
session.headers["Connection"] = "close"
transport = zeep.Transport(session=session)
calc = zeep.Client(url + "/calc?wsdl", transport=transport).service
assert calc._binding_options["address"] == url + "/calc", calc._binding_options
results = calc.add(2, 3), calc.subtract(2, 3), calc.multiply(2.5, 4), calc.divide(1, 4)
assert results == (5, -1, 10, 0.25), results
try:
    calc.divide(1, 0)
    raise AssertionError("division by zero returned a result")
except zeep.exceptions.Fault as fault:
    assert fault.message == "Division by zero", fault.message
assert zeep.Client(url + "/echo?wsdl", transport=transport).service.echo("grüße <&>") == "grüße <&>"
