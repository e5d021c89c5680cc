#!/usr/bin/env python3
"""Reads one run of the micro-benchmarks (the JSON files bench/run_micro.sh writes) and prints
the figures and ratios that docs/performance.md quotes, as Markdown table rows.

Compute-bound figures use processor time, which a busy machine disturbs less than the wall
clock; figures about waiting (a loop that sleeps while it polls) use the wall clock.

Usage: bench/ratios.py RESULTS_FOLDER
"""
import json
import sys
from pathlib import Path

NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(folder):
    runs, context = {}, None
    for path in sorted(Path(folder).glob("*.json")):
        data = json.loads(path.read_text())
        context = context or data["context"]
        for bench in data["benchmarks"]:
            name = bench["name"].split("/iterations:")[0]
            runs[(path.stem, name)] = bench
    return runs, context


def ns(bench, clock):
    return bench[clock + "_time"] * NS_PER_UNIT[bench["time_unit"]]


def show_time(value_ns):
    for unit, size in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if value_ns >= size:
            return f"{value_ns / size:.3g} {unit}"
    return f"{value_ns:.3g} ns"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    runs, context = load(sys.argv[1])
    if not runs:
        sys.exit("no benchmark results in " + sys.argv[1])

    def get(program, name):
        return runs.get((program, name))

    rows = []

    def time(program, name, what, clock="cpu"):
        bench = get(program, name)
        if bench:
            rows.append((f"bench_{program}", what, show_time(ns(bench, clock))))

    def ratio(program, slow, fast, what, clock="cpu"):
        a, b = get(program, slow), get(program, fast)
        if a and b:
            rows.append((f"bench_{program}", what, f"{ns(a, clock) / ns(b, clock):.2f} ×"))

    def counter(program, name, key, what, unit=""):
        bench = get(program, name)
        if bench and key in bench:
            value = bench[key]
            shown = f"{value:,.0f}" if value >= 1000 else f"{value:.3g}"
            rows.append((f"bench_{program}", what, shown + unit))

    # One statement of string work against std::string.
    time("strings", "runtime_statement", "statement `line$ = name$ + \" is here\": part$ = MID$(...)`")
    ratio("strings", "runtime_statement", "std_string_statement",
          "same statement, runtime ÷ std::string")

    # Number texts against the C library, both value families.
    for family in ("everyday", "wide"):
        for ours, theirs, what in (
            ("BM_str_from_single", "BM_snprintf_single", "single to text (temporary) ÷ snprintf"),
            ("BM_format_single", "BM_snprintf_single", "single to text (text core) ÷ snprintf"),
            ("BM_str_from_double", "BM_snprintf_double", "double to text (temporary) ÷ snprintf"),
            ("BM_format_double", "BM_snprintf_double", "double to text (text core) ÷ snprintf"),
            ("BM_number_from_str", "BM_strtod", "text to number (from a string) ÷ strtod"),
            ("BM_parse_number", "BM_strtod", "text to number (parser alone) ÷ strtod"),
        ):
            ratio("numbers", f"{ours}/{family}", f"{theirs}/{family}", f"{what}, {family} values")

    # Text output.
    time("print", "print_line/0", "one printed line, text screen")
    time("print", "print_line/12", "one printed line, 640 × 480 graphics page")
    ratio("print", "scroll_window/0", "block_move/0", "scroll of the text screen ÷ plain block move")
    ratio("print", "scroll_window/12", "block_move/12",
          "scroll of a 640 × 480 page ÷ plain block move")

    # Drawing and fills.
    ratio("draw", "flood_fill_mode13_full_screen", "plain_store_mode13",
          "flood fill of a whole mode-13 screen ÷ plain store of its pixels")
    time("draw", "flood_fill_mode12_around_circles", "flood fill of a 640 × 480 screen around 48 circles")
    time("draw", "line_splash_diagonal", "the splash's diagonal line")

    # Melodies rendered against the time they play.
    for name, what in (("BM_VictoryTune", "victory tune"), ("BM_Chords", "three-note chords"),
                       ("BM_ToneOneSecond", "one second of tone")):
        counter("music", name, "x_realtime", f"{what}: seconds of sound rendered per second",
                " ×")

    # Keys.
    time("keys", "BM_KeyEventTranslation", "key event (down with text, up) into the key buffer")
    time("keys", "BM_KeyPressToInkey", "key press to INKEY$ read")
    counter("keys", "BM_IdleWaitCpuShare/1", "cpu_percent",
            "program thread polling INKEY$ for a key, share of one processor", " %")
    counter("keys", "BM_IdleWaitCpuShare/0", "cpu_percent",
            "the same wait with a bare yield per poll", " %")
    counter("keys", "BM_KeyLatencyAfterIdle", "worst_ms",
            "key in the buffer to INKEY$ after 0.7 s idle, worst of 8", " ms")
    for work in (2, 5, 100):
        ratio("keys", f"BM_WorkingLoopWithKeyRead/{work}", f"BM_WorkingLoopWithYield/{work}",
              f"loop with {work} µs of work and an INKEY$ ÷ same loop with a yield", clock="real")

    # Display refresh.
    time("refresh", "BM_TextFullRedraw", "text page drawn in full")
    time("refresh", "BM_TextUnchanged", "text page unchanged")
    ratio("refresh", "BM_TextFullRedraw", "BM_TextUnchanged", "text page: full ÷ unchanged")
    time("refresh", "BM_Mode13Changed", "mode-13 page with a changed pixel")
    time("refresh", "BM_Mode13Unchanged", "mode-13 page unchanged")
    full = get("refresh", "BM_TextFullRedraw")
    if full:
        rows.append(("bench_refresh", "full text redraw, share of one 33 ms refresh period",
                     f"{100 * ns(full, 'cpu') / 33.3e6:.2f} %"))

    load_avg = ", ".join(f"{x:.2f}" for x in context.get("load_avg", []))
    print(f"Run of {context['date']} on {context['num_cpus']} processors, load {load_avg}\n")
    print("| program | figure | value |")
    print("|---|---|---|")
    for program, what, value in rows:
        print(f"| {program} | {what} | {value} |")


if __name__ == "__main__":
    main()
