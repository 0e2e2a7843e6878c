# python3-zeep against the demo: loads each WSDL and calls every operation.
import os
import zeep
import zeep.exceptions

url = os.environ["DEMO_URL"]
calc = zeep.Client(url + "/calc?wsdl").service
assert calc.add(2, 3) == 5
assert calc.subtract(2, 3) == -1
assert calc.multiply(2.5, 4) == 10
assert calc.divide(1, 4) == 0.25
try:
    calc.divide(1, 0)
    raise AssertionError("division by zero returned a result")
except zeep.exceptions.Fault as fault:
    assert fault.message == "Division by zero", fault.message
assert zeep.Client(url + "/echo?wsdl").service.echo("grüße <&>") == "grüße <&>"
