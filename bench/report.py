"""Turns the raw figures of bench/run.sh into the Markdown table it prints,
and with --svg into a chart of requests per second and p99 per case and server.

usage: report.py RAW.tsv OUT.md --machine TEXT --header TEXT [--svg OUT.svg]

A run with any non-200 answer is invalid and left out; each figure is the
median over the valid runs of its server and case. The chart needs
python3-matplotlib (scripts/install-deps.sh --bench); run it with
/usr/bin/python3.
"""
import argparse
import csv
import statistics

SERVERS = ["wsgate", "wsgate+haproxy", "wsgate+haproxy-close", "gsoap-pool", "gsoap-thread", "nginx"]
CASES = ["keep-alive-1", "keep-alive-10", "keep-alive-50", "close-10", "wsdl-get-10", "many-1000"]
PROXIES = ["wsgate+haproxy", "wsgate+haproxy-close"]
METRICS = ["rps", "p50_us", "p99_us", "cpu_us"]


def load(path):
    rows = {}
    with open(path, newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            rows.setdefault((row["server"], row["case"]), []).append(row)
    return rows


def summarise(runs):
    valid = [r for r in runs if int(r["non200"]) == 0]
    result = {"valid": len(valid), "runs": len(runs),
              "busy": max(float(r["busy"]) for r in runs),
              "errors": sum(int(r["socket_errors"]) for r in valid)}
    for metric in METRICS:
        result[metric] = statistics.median(float(r[metric]) for r in valid) if valid else None
    # The host's share of a proxied row's CPU (raw files from before it was recorded lack it).
    hosts = [float(r["host_cpu_us"]) for r in valid if r.get("host_cpu_us") not in (None, "", "-")]
    result["host_cpu_us"] = statistics.median(hosts) if hosts else None
    return result


def fmt(value, digits=0):
    return "-" if value is None else f"{value:,.{digits}f}"


def ratio(a, b):
    if not a or not b or a["rps"] is None or b["rps"] is None or b["rps"] == 0:
        return None
    return a["rps"] / b["rps"]


def fmt_ratio(value):
    return "-" if value is None else f"{value:.2f}x"


def chart(figures, servers, path, title):
    """Grouped bars, one group per case: req/s above, p99 below (log scale: it spans 100 µs to seconds)."""
    import matplotlib
    matplotlib.use("svg")
    import matplotlib.pyplot as plt
    import matplotlib.ticker as ticker
    plt.rcParams["svg.hashsalt"] = "wsgate-bench"  # the same figures give the same file
    cases = [c for c in CASES if any((s, c) in figures for s in servers)]
    shown = [s for s in servers if any((s, c) in figures for c in cases)]
    width = 0.8 / len(shown)
    fig, axes = plt.subplots(2, 1, figsize=(11, 7.5), sharex=True)
    for axis, metric, label in ((axes[0], "rps", "requests per second"), (axes[1], "p99_us", "p99 latency, ms")):
        for i, server in enumerate(shown):
            xs, ys = [], []
            for x, case in enumerate(cases):
                f = figures.get((server, case))
                if f and f[metric] is not None:
                    xs.append(x - 0.4 + width * (i + 0.5))
                    ys.append(f[metric] / 1000 if metric == "p99_us" else f[metric])
            axis.bar(xs, ys, width, label=server)
        axis.set_ylabel(label)
        axis.grid(axis="y", alpha=0.3)
    axes[1].set_yscale("log")
    axes[1].yaxis.set_major_locator(ticker.LogLocator(subs=(1, 2, 5)))
    axes[1].yaxis.set_major_formatter(ticker.FuncFormatter(lambda v, _: f"{v:g}"))
    axes[1].set_xticks(range(len(cases)), cases)
    axes[0].yaxis.set_major_formatter(ticker.FuncFormatter(lambda v, _: f"{v:,.0f}"))
    fig.suptitle(title, fontsize="medium")
    fig.legend(*axes[0].get_legend_handles_labels(), loc="lower center", ncol=len(shown), fontsize="small")
    fig.tight_layout(rect=(0, 0.04, 1, 1))
    fig.savefig(path, metadata={"Date": None})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("raw")
    parser.add_argument("out")
    parser.add_argument("--machine", required=True)
    parser.add_argument("--header", required=True)
    parser.add_argument("--svg", help="also draw req/s and p99 per case and server into this SVG file")
    parser.add_argument("--title", default="wsgate and the alternatives (bench/run.sh, medians)")
    args = parser.parse_args()

    figures = {key: summarise(runs) for key, runs in load(args.raw).items()}
    servers = SERVERS + sorted({s for s, _ in figures if s not in SERVERS})
    if args.svg:
        chart(figures, [s for s in servers if not s.startswith("wsgate:")], args.svg, args.title)
    get = figures.get
    lines = [f"Machine: {args.machine}", "", f"Setup: {args.header}", "",
             "| case | server | req/s | p50 µs | p99 µs | server CPU µs/req | valid runs | max busy % before run |",
             "|---|---|---:|---:|---:|---:|---:|---:|"]
    for case in CASES:
        for server in servers:
            f = get((server, case))
            if not f:
                continue
            note = f" ({f['errors']} socket errors)" if f["errors"] and case != "wsdl-get-10" else ""
            lines.append(f"| {case} | {server} | {fmt(f['rps'])} | {fmt(f['p50_us'])} | "
                         f"{fmt(f['p99_us'])} | {fmt(f['cpu_us'], 1)} | {f['valid']}/{f['runs']}{note} | "
                         f"{fmt(f['busy'])} |")

    lines += ["", "Throughput ratios (req/s):", "",
              "| case | wsgate / gSOAP pool | wsgate / thread-per-connection | wsgate / nginx ceiling |",
              "|---|---:|---:|---:|"]
    for case in CASES:
        w = get(("wsgate", case))
        if not w:
            continue
        lines.append(f"| {case} | {fmt_ratio(ratio(w, get(('gsoap-pool', case))))} | "
                     f"{fmt_ratio(ratio(w, get(('gsoap-thread', case))))} | "
                     f"{fmt_ratio(ratio(w, get(('nginx', case))))} |")
    lines += ["", "| server | keep-alive-10 / close-10 |", "|---|---:|"]
    for server in servers:
        lines.append(f"| {server} | "
                     f"{fmt_ratio(ratio(get((server, 'keep-alive-10')), get((server, 'close-10'))))} |")

    def goal(text, met):
        return f"- {text}: {'-' if met is None else ('met' if met else 'MISSED')}"

    def at_least(case, other, bound):
        r = ratio(get(("wsgate", case)), get((other, case)))
        return None if r is None else r >= bound

    def p99_ok(case):
        w, p = get(("wsgate", case)), get(("gsoap-pool", case))
        if not w or not p or w["p99_us"] is None or p["p99_us"] is None:
            return None
        return w["p99_us"] <= p["p99_us"]

    wsdl = ratio(get(("wsgate", "keep-alive-10")), get(("wsgate", "wsdl-get-10")))
    lines += ["", "Goals:",
              goal("wsgate >= 1.1x gSOAP pool, keep-alive 10", at_least("keep-alive-10", "gsoap-pool", 1.1)),
              goal("wsgate >= 1.1x gSOAP pool, keep-alive 50", at_least("keep-alive-50", "gsoap-pool", 1.1)),
              goal("wsgate >= 1.5x gSOAP pool, Connection: close", at_least("close-10", "gsoap-pool", 1.5)),
              *[goal(f"wsgate p99 <= gSOAP pool p99, {case}", p99_ok(case))
                for case in CASES[:4]],
              goal(f"WSDL GET within 2x of keep-alive add at 10 connections "
                   f"(add / WSDL = {fmt_ratio(wsdl)})", None if wsdl is None else wsdl <= 2.0)]

    # Many slow clients: every run counts, refusals and time-outs included.
    many = [(server, runs) for (server, case), runs in sorted(load(args.raw).items()) if case == "many-1000"]
    if many:
        lines += ["", "Many clients (1,000 kept-alive connections, each calling every 250-750 ms; "
                  "medians over the runs, worst run for errors):", "",
                  "| server | calls answered 200 | calls/s | p99 µs | non-200 | socket time-outs |",
                  "|---|---:|---:|---:|---:|---:|"]
        for server, runs in many:
            med = lambda key: statistics.median(float(r[key]) for r in runs)  # noqa: E731
            worst = lambda key: max(int(r[key]) for r in runs)  # noqa: E731
            lines.append(f"| {server} | {fmt(med('requests') - med('non200'))} | {fmt(med('rps'))} | "
                         f"{fmt(med('p99_us'))} | {worst('non200')} | {worst('timeouts')} |")
        for proxy in PROXIES:
            runs = dict(many).get(proxy)
            if runs:
                ok = all(float(r["p99_us"]) <= 20000 and int(r["non200"]) == 0 and int(r["socket_errors"]) == 0
                         for r in runs)
                lines.append(goal(f"{proxy}, many clients: p99 <= 20 ms, no errors or time-outs", ok))
    for proxy in PROXIES:
        r = ratio(get((proxy, "keep-alive-10")), get(("wsgate", "keep-alive-10")))
        lines.append(goal(f"{proxy} keep-alive-10 >= 0.7x wsgate direct ({fmt_ratio(r)})",
                          None if r is None else r >= 0.7))
        host = (get((proxy, "keep-alive-10")) or {}).get("host_cpu_us")
        lines.append(goal(f"{proxy} keep-alive-10: host CPU per call <= 70 µs ({fmt(host, 1)} µs)",
                          None if host is None else host <= 70))

    variants = [s for s in servers if s.startswith("wsgate:")]
    if variants:
        lines += ["", "Allocator settings (wsgate-demo under GLIBC_TUNABLES, req/s and CPU µs/req "
                  "relative to wsgate with glibc's defaults):", "",
                  "| case | variant | req/s | vs default | CPU µs/req | p99 µs |", "|---|---|---:|---:|---:|---:|"]
        for case in CASES:
            for server in ["wsgate"] + variants:
                f = get((server, case))
                if not f:
                    continue
                lines.append(f"| {case} | {server} | {fmt(f['rps'])} | "
                             f"{fmt_ratio(ratio(f, get(('wsgate', case))))} | {fmt(f['cpu_us'], 1)} | "
                             f"{fmt(f['p99_us'])} |")

    with open(args.out, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
