#!/usr/bin/env python3
"""Reads the results of bench/run_micro.sh and bench/run_window.sh (JSON files, one per
benchmark program) and prints the figures that docs/performance.md quotes as Markdown tables:
the whole-program figures beside their goals, then the micro-benchmarks' figures and ratios.

Compute-bound figures use processor time, which a busy machine disturbs less than the wall
clock; figures about waiting (a loop that sleeps while it polls) use the wall clock.

Usage: bench/figures.py RESULTS_FOLDER
"""
import json
import sys
from pathlib import Path

NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(folder):
    runs, contexts = {}, {}
    for path in sorted(Path(folder).glob("*.json")):
        data = json.loads(path.read_text())
        contexts[path.stem] = data["context"]
        for bench in data["benchmarks"]:
            name = bench["run_name"].split("/iterations:")[0]
            if bench["run_type"] == "aggregate":
                name += ":" + bench["aggregate_name"]
            elif bench.get("repetitions", 1) > 1:
                continue  # repeated runs count through their aggregates
            runs[(path.stem, name)] = bench
    return runs, contexts


def ns(bench, clock):
    return bench[clock + "_time"] * NS_PER_UNIT[bench["time_unit"]]


def show_time(value_ns):
    for unit, size in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if value_ns >= size:
            return f"{value_ns / size:.3g} {unit}"
    return f"{value_ns:.3g} ns"


# Whole-program figures of bench_window: (benchmark, counter, what, unit, goal, at most).
GOALS = (
    ("BM_IdleCpuShare/game_prompt", "on_cpu_percent", "processor share waiting at \"Type something\"", "%", 0.5),
    ("BM_IdleCpuShare/game_title", "on_cpu_percent", "processor share waiting at the title", "%", 0.3),
    ("BM_IdleCpuShare/game_prompt_scale2", "on_cpu_percent", "processor share waiting at \"Type something\", at scale 2", "%", 0.5),
    ("BM_IdleCpuShare/game_title_scale2", "on_cpu_percent", "processor share waiting at the title, at scale 2", "%", 0.3),
    ("BM_IdleCpuShare/demo_end_prompt", "on_cpu_percent", "processor share waiting at the demo's end prompt", "%", 1.0),
    ("BM_KeyToGlyph/game_prompt", "p50_ms", "key event to its glyph, 50th percentile", "ms", 18.0),
    ("BM_KeyToGlyph/game_prompt", "p95_ms", "key event to its glyph, 95th percentile", "ms", 25.0),
    ("BM_EndPromptToExit/0", "exit_ms", "key at the end prompt to the process gone", "ms", 150.0),
    ("BM_EndPromptToExit/2", "exit_ms", "the same with two busy loops beside it", "ms", 150.0),
    ("BM_StartToFirstFrame/game", "frame_p50_ms", "game: exec to first frame, 50th percentile", "ms", 150.0),
    ("BM_StartToFirstFrame/game", "frame_p95_ms", "game: exec to first frame, 95th percentile", "ms", 150.0),
    ("BM_StartToFirstFrame/demo", "frame_p50_ms", "demo: exec to first frame, 50th percentile", "ms", 150.0),
    ("BM_CloseToExit/game_title", "close_ms", "window closed to process ended, at the title", "ms", 500.0),
    ("BM_CloseToExit/game_prompt", "close_ms", "window closed to process ended, at \"Type something\"", "ms", 500.0),
    ("BM_CloseToExit/demo_end_prompt", "close_ms", "window closed to process ended, at the demo's end prompt", "ms", 500.0),
    ("BM_ResidentMemory/game_played", "rss_mb", "resident memory after a round of play", "MB", 40.0),
    ("BM_ResidentMemory/game_played", "peak_rss_mb", "peak resident memory (VmHWM) by then", "MB", 40.0),
    ("BM_ResidentMemory/game_played", "own_rss_mb", "of the resident memory, the process's own", "MB", None),
    ("BM_ResidentMemory/game_played", "file_rss_mb", "of the resident memory, mapped from files", "MB", None),
)


def print_goals(get):
    rows = []
    for name, key, what, unit, goal in GOALS:
        # A repeated figure is judged by its median and shown with its range.
        bench = get("window", name + ":median") or get("window", name)
        if not bench or key not in bench:
            continue
        value = bench[key]
        shown = f"{value:.3g} {unit}"
        low, high = get("window", name + ":min"), get("window", name + ":max")
        if low and high:
            shown += f" ({low[key]:.3g}–{high[key]:.3g}, median of {bench['repetitions']})"
        verdict = "" if goal is None else ("met" if value <= goal else "**missed**")
        goal_text = "" if goal is None else f"≤ {goal:g} {unit}"
        rows.append(f"| {what} | {shown} | {goal_text} | {verdict} |")
    if rows:
        print("| figure (bench_window) | measured | goal | |")
        print("|---|---|---|---|")
        print("\n".join(rows))
        print()


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    runs, contexts = load(sys.argv[1])
    if not runs:
        sys.exit("no benchmark results in " + sys.argv[1])

    def get(program, name):
        return runs.get((program, name))

    print_goals(get)
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
    for mode, page in (("0", "the text screen"), ("12", "a 640 × 480 page")):
        ratio("print", f"clear_page/{mode}", f"plain_fill_page/{mode}",
              f"CLS of {page} ÷ plain fill")
        ratio("print", f"clear_print_window/{mode}", f"plain_fill_print_window/{mode}",
              f"CLS 2 (print window's rows) of {page} ÷ plain fill")

    # Drawing and fills.
    ratio("draw", "flood_fill_mode13_full_screen", "plain_store_mode13",
          "flood fill of a whole mode-13 screen ÷ plain store of its pixels")
    ratio("draw", "box_filled_mode13_full_screen", "plain_fill_mode13",
          "filled box over a whole mode-13 screen ÷ plain fill (memset)")
    time("draw", "flood_fill_mode12_around_circles", "flood fill of a 640 × 480 screen around 48 circles")
    time("draw", "line_splash_diagonal", "the splash's diagonal line (260 pixels)")
    time("draw", "circle_splash_globe_ring", "one ring of the splash's globes")

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
    counter("keys", "BM_EmptyKeyReads", "worst_ms",
            "1,000 INKEY$ reads back to back without a key, worst of 5", " ms")
    counter("keys", "BM_KeyLatencyAfterIdle", "worst_ms",
            "key in the buffer to INKEY$ after 2 s of polling, worst of 8", " ms")
    for work in (5, 100):
        ratio("keys", f"BM_WorkingLoopWithKeyRead/{work}", f"BM_WorkingLoopWithYield/{work}",
              f"loop with {work} µs of work and an INKEY$ ÷ same loop with a yield", clock="real")

    # Display refresh.
    time("refresh", "BM_TextFullRedraw", "text page drawn in full")
    time("refresh", "BM_TextUnchanged", "text page unchanged")
    ratio("refresh", "BM_TextFullRedraw", "BM_TextUnchanged", "text page: full ÷ unchanged")
    ratio("refresh", "BM_TextFullRedraw", "BM_FrameCopy", "text page: full ÷ memcpy of its frame")
    time("refresh", "BM_Mode13Changed", "mode-13 page with a changed pixel")
    time("refresh", "BM_Mode13Unchanged", "mode-13 page unchanged")
    full = get("refresh", "BM_TextFullRedraw")
    if full:
        rows.append(("bench_refresh", "full text redraw, share of one 33 ms refresh period",
                     f"{100 * ns(full, 'cpu') / 33.3e6:.2f} %"))

    if rows:
        print("| program | figure | value |")
        print("|---|---|---|")
        for program, what, value in rows:
            print(f"| {program} | {what} | {value} |")
    print()
    for program, context in contexts.items():
        load_avg = ", ".join(f"{x:.2f}" for x in context.get("load_avg", []))
        print(f"- bench_{program}: {context['date']}, {context['num_cpus']} processors, "
              f"load average {load_avg}")


if __name__ == "__main__":
    main()
