// node-soap against the demo: the cases in cases.tsv, then a calc and an echo
// client alternating. Both clients use Node's default agent, which keeps
// connections alive and hands them to whichever client asks next.
const fs = require('fs');
const http = require('http');
const soap = require('soap');

const url = process.env.DEMO_URL;
let connections = 0;
const createConnection = http.globalAgent.createConnection;
http.globalAgent.createConnection = function (...args) {
  connections++;
  return createConnection.apply(this, args);
};

async function check(name, call, want) {
  let got;
  try {
    got = await call();
  } catch (error) {
    // A SOAP fault, or a reply node-soap could not read
    const fault = error.root?.Envelope?.Body?.Fault ?? error.Fault;
    got = fault ? `fault ${fault.faultstring}` : String(error);
  }
  const ok = JSON.stringify(got) === JSON.stringify(want);
  console.log(ok ? `${name}: ok` : `${name}: FAIL, got ${JSON.stringify(got).slice(0, 300)}`);
}

(async () => {
  const calc = await soap.createClientAsync(`${url}/calc?wsdl`);
  const echo = await soap.createClientAsync(`${url}/echo?wsdl`);
  const add = async (i) => (await calc.addAsync({ a: i, b: 1 }))[0].result;
  const say = async (text) => (await echo.echoAsync({ text }))[0].reply ?? '';
  const range = (n) => [...Array(n).keys()];
  for (const line of fs.readFileSync(process.env.INTEROP_CASES, 'utf8').split('\n')) {
    const [kind, ...fields] = line.split('\t');
    if (kind === 'calc') {
      const [op, a, b, want] = fields;
      await check(`${op} ${a} ${b}`, async () => (await calc[`${op}Async`]({ a: +a, b: +b }))[0].result,
        want.startsWith('fault ') ? want : +want);
    } else if (kind === 'echo') {
      const [name, text, times] = fields;
      await check(`echo ${name}`, () => say(text.repeat(+times)), text.repeat(+times));
    } else if (kind === 'calls') {
      const n = +fields[0];
      await check(`${n} calls`, async () => { const r = []; for (const i of range(n)) r.push(await add(i)); return r; },
        range(n).map((i) => i + 1));
    }
  }
  const before = connections;
  await check('shared agent, 40 calls', async () => {
    const r = [];
    for (const i of range(40)) r.push(i % 2 ? await add(i) : await say(String(i)));
    return [r, connections - before <= 1];
  }, [range(40).map((i) => (i % 2 ? i + 1 : String(i))), true]);
  process.exit(); // the agent may keep idle connections open
})();
