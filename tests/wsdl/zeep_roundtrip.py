"""Loads the WSDL that a wsgate host publishes with zeep and calls add
through the address it names. Usage: zeep_roundtrip.py <wsdl_host binary>"""
import subprocess
import sys

try:
    import requests
    import zeep
except ImportError as error:
    sys.exit(f"python3-zeep is required: {error}")


def roundtrip(port):
    # Closing the session ends its kept-alive connection; the host's stop
    # waits for every connection in progress.
    with requests.Session() as session:
        session.trust_env = False  # no proxy between us and 127.0.0.1
        transport = zeep.Transport(session=session, timeout=10, operation_timeout=10)
        client = zeep.Client(f"http://127.0.0.1:{port}/test?wsdl", transport=transport)
        address = client.service._binding_options["address"]
        assert address == f"http://127.0.0.1:{port}/test", address
        total = client.service.add(2, 40)
        assert total == 42, total


def main(host_binary):
    host = subprocess.Popen([host_binary], stdin=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        roundtrip(int(host.stderr.readline()))
    finally:
        # Closes the host's stdin, which stops it, and keeps what it reported.
        try:
            _, errors = host.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            host.kill()
            _, errors = host.communicate()
            raise
        finally:
            sys.stderr.write(errors or "")
    if host.returncode != 0:
        sys.exit(f"host exited with {host.returncode}")
    print("zeep round trip: 2 + 40 = 42")


if __name__ == "__main__":
    main(sys.argv[1])
