#!/usr/bin/env python3
"""Runs every bench_* program of a build folder and writes bench/report.json there.

Each figure is a benchmark's mean real time in milliseconds, or a ratio of two of them; the
report lists the figures that have a target (lower is better) and the table on standard output
shows every figure, with its target and how far it is from it.
"""
import json
import pathlib
import subprocess
import sys

# Targets in milliseconds, by benchmark name.
TARGETS = {
    "updateContentAscii1MB": 0.5,
    "updateContentMixed1MB": 5.0,
    "updateContentAscii10MB": 5.0,
    "BM_SnapshotOnGuiThread": 1.0,
    "BM_EncodeAndWrite": 300.0,
    "BM_Restore": 300.0,
    "parseAndRender100KB": 5.0,
    "parseAndRender1MB": 50.0,
    "keystrokeToModel1MB": 2.0,
    "keystrokeToModel10MB": 10.0,
    "tabSwitch10MB": 5.0,
    "keystrokeAtEndOfLine1MB": 50.0,
    "showTab10MB": 150.0,
    "editToRepaint100KB": 8.0,
    "editToRepaint1MB": 100.0,
    "reparse1MB": 10.0,
    "editInTable20kRows": 100.0,
    "openFile200MB": 1500.0,
}
# Figures a benchmark reports as a counter in milliseconds: (benchmark, counter) -> name, target.
COUNTERS = {
    ("editToRepaint1MB", "longest_gui_ms"): ("editToRepaint1MB longest GUI-thread stretch", 8.0),
    # The same stretch in the GUI thread's own CPU time, apart from waiting for a core.
    ("editToRepaint1MB", "longest_gui_cpu_ms"): ("editToRepaint1MB longest stretch, CPU", None),
    ("editInTable20kRows", "longest_gui_ms"):
        ("editInTable20kRows longest GUI-thread stretch", 8.0),
    ("editInTable20kRows", "longest_gui_cpu_ms"): ("editInTable20kRows longest stretch, CPU", None),
    ("openFile200MB", "longest_gui_ms"): ("openFile200MB longest GUI-thread stretch", 8.0),
    ("showTab200MB", "longest_gui_ms"): ("showTab200MB longest GUI-thread stretch", 16.0),
    ("showTab200MB", "longest_gui_cpu_ms"): ("showTab200MB longest stretch, CPU", None),
    ("showTab200MB", "first_lines_ms"): ("showTab200MB until its first lines show", None),
}
# Ratios: (name, numerator, denominator, target).
RATIOS = [("parseAndRender1MB / cmark-gfm tool 1MB", "parseAndRender1MB", "cmarkGfmTool1MB", 1.5)]
TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def main() -> int:
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build")
    programs = sorted(p for p in (build / "bin").glob("bench_*") if p.is_file())
    if not programs:
        print(f"no bench_* programs in {build / 'bin'}", file=sys.stderr)
        return 1
    times = {}
    for program in programs:
        print(f"== {program.name}", file=sys.stderr, flush=True)
        result = subprocess.run(
            [str(program), "--benchmark_format=json", "--benchmark_min_time=0.2"],
            check=True, capture_output=True, text=True,
            env={"QT_QPA_PLATFORM": "offscreen", **__import__("os").environ})
        for entry in json.loads(result.stdout)["benchmarks"]:
            if entry.get("run_type", "iteration") != "iteration":
                continue
            benchmark_name = entry["name"].split("/")[0]
            # One figure per input of a benchmark run over several, named by its label.
            name = f"{benchmark_name} {entry['label']}" if entry.get("label") else benchmark_name
            times[name] = entry["real_time"] * TO_MS[entry["time_unit"]]
            for (benchmark, counter), (figure, _) in COUNTERS.items():
                if benchmark == benchmark_name and counter in entry:
                    times[figure] = entry[counter]

    report, rows = [], []
    for name, value in times.items():
        target = TARGETS.get(name)
        if target is None:
            target = next((t for f, t in COUNTERS.values() if f == name), None)
        rows.append((name, value, "ms", target))
        if target is not None:
            report.append({"name": name, "value": value, "unit": "ms", "target": target})
    for name, top, bottom, target in RATIOS:
        if top in times and bottom in times and times[bottom] > 0:
            value = times[top] / times[bottom]
            rows.append((name, value, "ratio", target))
            report.append({"name": name, "value": value, "unit": "ratio", "target": target})

    out = build / "bench"
    out.mkdir(parents=True, exist_ok=True)
    (out / "report.json").write_text(json.dumps(report, indent=2) + "\n")

    print(f"| {'figure':<48} | {'value':>10} | {'target':>8} | {'value/target':>12} |")
    print(f"|{'-' * 50}|{'-' * 12}:|{'-' * 9}:|{'-' * 13}:|")
    for name, value, unit, target in rows:
        shown = f"{value:.3f} {unit}" if unit == "ms" else f"{value:.2f}"
        goal = "-" if target is None else f"{target:g}"
        ratio = "-" if target is None else f"{value / target:.2f}"
        print(f"| {name:<48} | {shown:>10} | {goal:>8} | {ratio:>12} |")
    print(f"written: {out / 'report.json'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
