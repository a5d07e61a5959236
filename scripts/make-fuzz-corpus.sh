#!/usr/bin/env bash
# Regenerates the seed corpora of the fuzz targets (fuzz/corpus/<target>) from the test fixtures.
# The player's seeds are the MP3 fixtures themselves (tests/fixtures/mp3), read by scripts/fuzz.sh.
# Usage: scripts/make-fuzz-corpus.sh
set -euo pipefail
cd "$(dirname "$0")/.."
rm -rf fuzz/corpus/pos_file fuzz/corpus/picture_archive fuzz/corpus/text_file fuzz/corpus/player
mkdir -p fuzz/corpus/pos_file fuzz/corpus/picture_archive fuzz/corpus/text_file fuzz/corpus/player
python3 - <<'PY'
import struct, pathlib

fx = pathlib.Path("tests/fixtures")
out = pathlib.Path("fuzz/corpus")

def pos(n, records, tail=b""):
    a = b"".join(struct.pack("<iii", *r[:3]) for r in records)
    b = b"".join(struct.pack("<hhhhhh", *r[3:]) for r in records)
    return struct.pack("<i", n) + a + b + tail

saved = [(1 if i % 3 else 0, i * 11025, i * 11025 + 9000, i % 6, i, i + 1, 2, 3, 4) for i in range(500)]
seeds = {
    "saved-500": pos(500, saved),
    "saved-500-tail": pos(500, saved, b"kept tail bytes"),
    "three": pos(3, saved[:3]),
    "zero": pos(0, []),
    "negative": struct.pack("<i", -5) + bytes(40),
    "short-3-bytes": b"\x03\x00\x00",
    "cut-in-table-a": pos(500, saved)[:1000],
    "cut-in-table-b": pos(500, saved)[:9001],
    "oversized-600": pos(600, [saved[i % 500] for i in range(600)]),
}
for name, data in seeds.items():
    (out / "pos_file" / name).write_bytes(data)

def archive(pictures, count=None, fmt=1):
    sizes = [len(p) for p in pictures] + [0] * (500 - len(pictures))
    head = struct.pack("<ii", fmt, len(pictures) if count is None else count) + struct.pack("<500i", *sizes)
    return head + b"".join(pictures)

jpegs = {p.stem: p.read_bytes() for p in sorted((fx / "jpeg").glob("*.jpg")) if p.stem != "gradient"}
(out / "picture_archive" / "empty").write_bytes(archive([]))
for name, data in jpegs.items():
    (out / "picture_archive" / ("one-" + name)).write_bytes(archive([data]))
(out / "picture_archive" / "three").write_bytes(archive([jpegs["red"], jpegs["progressive"], jpegs["cmyk"]]))
(out / "picture_archive" / "count-past-sizes").write_bytes(archive([jpegs["gray"]], count=7))
(out / "picture_archive" / "format-word-9").write_bytes(archive([jpegs["blue"]], fmt=9))

texts = {
    "crlf-mixed": b"first line\r\nsecond\nthird\rfourth\r\n\n\rlast",
    "utf8-russian": "Мама мыла раму.\nРаму мыла мама.\n".encode("utf-8"),
    "cp1251-russian": "Мама мыла раму.\r\nРаму мыла мама.".encode("cp1251"),
    "utf8-bom": b"\xef\xbb\xbf" + "Привет\n".encode("utf-8"),
    "invalid-utf8": b"ok \xc3\x28 \xa0\xe2\x82 \xff\xfe\x98 end\n",
    "empty": b"",
    "nul-and-controls": b"a\x00b\x01\x1b[0m\tc\r\n",
    "separators-utf8": "one\u2028two\u2029three\ufdd0".encode("utf-8"),
}
for name, data in texts.items():
    (out / "text_file" / name).write_bytes(data)

# Short cuts of the recordings: the fuzzer mutates a few frames far faster than a whole file.
mp3 = fx / "mp3"
for name, length in [("mpeg1-l3-44100-stereo-cbr", 12000), ("mpeg2-l3-22050-mono", 6000),
                     ("mpeg25-l3-8000-mono", 5000), ("mpeg1-l2-44100-stereo", 8000),
                     ("vbr-xing", 12000), ("id3v2-front-id3v1-back", 9000)]:
    (out / "player" / (name + "-cut")).write_bytes((mp3 / (name + ".mp3")).read_bytes()[:length])
PY
