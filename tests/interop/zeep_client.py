# python3-zeep against the demo: a calc and an echo client sharing a requests
# Session, so one connection carries requests for both services: the cases in
# cases.tsv through the address each WSDL names.
import os

import requests
import zeep
import zeep.exceptions

url = os.environ["DEMO_URL"]


def check(name, call, want):
    try:
        got = call()
    except zeep.exceptions.Fault as fault:
        got = "fault " + fault.message
    except Exception as error:  # one broken case must not hide the others
        got = repr(error)
    print(f"{name}: ok" if got == want else f"{name}: FAIL, got {got!r:.300}")


session = requests.Session()
calc, echo = (zeep.Client(f"{url}/{path}?wsdl", transport=zeep.Transport(session=session)).service
              for path in ("calc", "echo"))
with open(os.environ["INTEROP_CASES"], encoding="utf-8") as cases:
    for kind, *fields in (line.rstrip("\n").split("\t") for line in cases if line[0] != "#"):
        if kind == "calc":
            op, a, b, want = fields
            check(f"{op} {a} {b}", lambda: getattr(calc, op)(float(a), float(b)),
                  want if want.startswith("fault ") else float(want))
        elif kind == "echo":
            name, text, times = fields
            # zeep reads an empty element as None
            check("echo " + name, lambda: echo.echo(text * int(times)) or "", text * int(times))
        elif kind == "calls":
            n = int(fields[0])
            check(f"{n} calls", lambda: [calc.add(i, 1) for i in range(n)], [i + 1.0 for i in range(n)])
