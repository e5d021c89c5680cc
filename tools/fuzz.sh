#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# writes their seed corpora and runs each for a bounded time: the first argument in seconds
# (default 25), two targets at a time; further arguments name the targets to run (default all).
# What a target grows is kept in build/fuzz/corpus for the next run; a failing input lands in
# build/fuzz/findings. FUZZ_SEED picks libFuzzer's seed (default 1, so that a run can be
# repeated; 0 draws a fresh one each run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-25}
dir=build/fuzz
all=(number_parser music sound_files sound_loaders_sdl line_editor)
shift || true
targets=("${@:-${all[@]}}")

# Line tables are all that a finding's backtrace needs.
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DRT_SANITIZE=address -DRT_FUZZ=ON -DRT_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

# Seeds: well-formed and nearly well-formed inputs of each parser.
seeds=$dir/seeds
rm -rf "$seeds"
mkdir -p "${all[@]/#/$seeds/}" "$dir"/findings
seed() { # target, then the seed's bytes as printf's format
  local target=$1
  shift
  # shellcheck disable=SC2059
  printf "$@" >"$seeds/$target/$(ls "$seeds/$target" | wc -l)"
}
for text in '  12 56' '&H1F' '&O17' '1E2' '12abc' '.5' '1.2.3' '--5' '5E+3' '0.005' '1D3' \
  '&HFFFFFFFFFFFFFFFF' '&H10000000000000000' '&O1777777777777777777777' '-' '+7' \
  '1.5E-07' '3.402823E+38' '123456789012345678901234567890' '0.000000000000000000001D-300'; do
  seed number_parser '%s' "$text"
done
for text in 'O3L6C' 'p8' 'B-A+' 'C,E,G' 'L0' 'O7' 'C0' 'MBCDE' 'MFCDE' 'T60C' 'N44' \
  'MLC.MS.D..' '<>C#4' 'V0C' 'P64' 'T255L64O6B' 'C+-' 'MX' 'L8GFEDC4'; do
  seed music '%s' "$text"
done
seed music 'N=\004\002\000'  # a single-precision variable
seed music 'L=\010\022\000C' # a double variable
seed music 'T=\310\041\000'  # a signed 8-bit field
# Line editor: a scene byte and keys (Backspace is \010, Tab \011), or from \200 on a type
# byte and a field.
for keys in '\000123.5' '\0003.5E38' '\0001.12345678\010\0109' '\001-1D5' '\002.5e-4000' \
  '\003&HFF' '\004-32768\010' '\005&O377\011' '\006"quoted, text"x' '\007a,b,"c"' \
  '\0101234567890123456789' '\013abc\011def\010\010' '\0141.5,"x",12'; do
  seed line_editor "$keys"
done
for field in '\2003.4E38' '\2001E-45' '\201&O1777777777777777777777' '\2021D308' \
  '\203-128' '\204255' '\211-9223372036854775808' '\21218446744073709551615' '\200-.5e+3'; do
  seed line_editor "$field"
done
# Sound files. For sound_files a choice byte, the capability text's length and the text come
# first; sound_loaders_sdl takes the files as they are.
python3 - "$seeds" <<'PY'
import struct, sys
folder = sys.argv[1]
def chunk(tag, body):
    return tag + struct.pack("<I", len(body)) + body
def wav(channels=2, rate=22050, bits=16, frames=16, data_size=None, extra=b"", cut=None):
    align = channels * bits // 8
    samples = bytes((i * 37) & 0xFF for i in range(frames * align))
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits)
    size = len(samples) if data_size is None else data_size
    body = b"WAVE" + chunk(b"fmt ", fmt) + extra + b"data" + struct.pack("<I", size) + samples
    whole = b"RIFF" + struct.pack("<I", len(body)) + body
    return whole if cut is None else whole[:cut]
def loops(count, held):
    return chunk(b"smpl", struct.pack("<9I", 0, 0, 45351, 60, 0, 0, 0, count, 0) +
                 struct.pack("<6I", 1, 0, 4, 12, 0, 0) * held)
def aiff(frames=16):
    def be_chunk(tag, body):
        return tag + struct.pack(">I", len(body)) + body
    # Two 16-bit channels at 22,050 frames a second (an 80-bit extended float).
    comm = struct.pack(">hIh", 2, frames, 16) + bytes([0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0])
    body = b"AIFF" + be_chunk(b"COMM", comm) + be_chunk(b"SSND", bytes(8 + frames * 4))
    return be_chunk(b"FORM", body)
cases = [
    (0x01, "SYNC", wav()),
    (0x05, "SYNC,LEN,VOL,PAUSE", wav(channels=1, bits=8, rate=8000)),
    (0x21, "LEN", wav(extra=chunk(b"LIST", b"INFOINAM" + struct.pack("<I", 5) + b"tune\0\0"))),
    (0x7f, "sync , vol", wav(frames=2000)),
    (0x03, "SETPOS", b""),
    (0xfc, "", wav(data_size=0x7FFFFFF0)),
    (0x85, "SYNC", wav(cut=40)),
    (0x09, "PAUSE,PAUSE", wav()),
    (0x41, "LEN,SETPOS", wav(bits=24, channels=6, rate=48000)),
    (0x04, "", wav(extra=loops(1, 1))),
    (0x05, "SYNC", wav(extra=loops(2, 1))),
    (0x00, "", aiff()),
]
for n, (choice, caps, data) in enumerate(cases):
    with open(f"{folder}/sound_files/{n}", "wb") as f:
        f.write(bytes([choice, len(caps)]) + caps.encode() + data)
    with open(f"{folder}/sound_loaders_sdl/{n}", "wb") as f:
        f.write(data)
PY

run() { # target
  local target=$1 corpus=$dir/corpus/$1 dict=fuzz/$1.dict asan=detect_leaks=1 leaks=1
  # SDL keeps allocations of its own for the whole run, and meets an impossible size with a
  # null it checks for: only our targets are held to leaks and sizes.
  if [[ $target == *_sdl ]]; then
    asan=detect_leaks=0:allocator_may_return_null=1 leaks=0 dict=fuzz/sound_files.dict
  fi
  mkdir -p "$corpus"
  if ASAN_OPTIONS=$asan UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$dir/fuzz/fuzz_$target" "$corpus" "$seeds/$target" -dict="$dict" -detect_leaks=$leaks \
    -seed="$fuzz_seed" -max_len=4096 -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$dir/findings/$target-" >"$dir/$target.log" 2>&1; then
    echo "fuzz_$target: $(grep -o 'Done [0-9]* runs' "$dir/$target.log" | tail -1)"
  else
    tail -40 "$dir/$target.log"
    echo "fuzz_$target failed; the input is in $dir/findings" >&2
    return 1
  fi
}
export -f run
fuzz_seed=${FUZZ_SEED:-1}
export dir seeds seconds fuzz_seed
printf '%s\n' "${targets[@]}" | xargs -P "$(nproc)" -I{} bash -c 'run {}'
