<?php
// PHP's SoapClient in WSDL mode against the demo: the cases in cases.tsv.
$url = getenv('DEMO_URL');

function check(string $name, callable $call, $want): void
{
    try {
        $got = $call();
    } catch (SoapFault $fault) {
        $got = 'fault ' . $fault->getMessage();
    }
    echo $got === $want ? "$name: ok\n" : "$name: FAIL, got " . substr(var_export($got, true), 0, 300) . "\n";
}

$options = ['cache_wsdl' => WSDL_CACHE_NONE, 'trace' => false];
$calc = new SoapClient("$url/calc?wsdl", $options);
$echo = new SoapClient("$url/echo?wsdl", $options);
foreach (file(getenv('INTEROP_CASES'), FILE_IGNORE_NEW_LINES) as $line) {
    $fields = explode("\t", $line);
    switch ($fields[0]) {
    case 'calc':
        [, $op, $a, $b, $want] = $fields;
        check("$op $a $b", fn () => $calc->$op(['a' => (float) $a, 'b' => (float) $b])->result,
              str_starts_with($want, 'fault ') ? $want : (float) $want);
        break;
    case 'echo':
        [, $name, $text, $times] = $fields;
        $text = str_repeat($text, (int) $times);
        check("echo $name", fn () => $echo->echo(['text' => $text])->reply, $text);
        break;
    case 'calls':
        $n = (int) $fields[1];
        check("$n calls", fn () => array_map(fn ($i) => $calc->add(['a' => $i, 'b' => 1])->result, range(0, $n - 1)),
              array_map(fn ($i) => $i + 1.0, range(0, $n - 1)));
    }
}
