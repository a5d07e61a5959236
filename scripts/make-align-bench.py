#!/usr/bin/env python3
"""Makes the narrations that bench/AlignBench.cpp aligns, with the true start and end of every
line's speech. Called by scripts/make-align-bench.sh, which installs the tools it runs.

Sets (each a folder under OUT with p.txt, p.mp3 and truth.tsv):
  espeak    480 lines, about 50 minutes: eSpeak NG voices at varied speed and pitch, pauses of
            0.2 to 1.5 s, a little noise.
  other-en  English by flite and festival voices, tempo changed by +-15 %, pink noise, short
            pauses, an intro jingle and a spoken title before the text.
  other-ru  Russian by festival's Russian voice and eSpeak NG, tempo changes, noise, the text in
            Windows-1251.
  other-hard  English as other-en with pauses of only 0.1 to 0.35 s and more noise.
  other-short  English with short lines (one or two words) among long ones, tempo +-20 %, an
            intro and an outro.
  robust    a family of 30-line sets, one condition each (see ROBUST): festival, flite and eSpeak
            NG voices, tempo +-15 %, pauses from 0.1 s, white, pink and brown noise at 15-30 dB
            SNR, mains hum, room reverb, lame CBR/VBR, ffmpeg at 48 kHz stereo, twolame Layer II,
            32 kbit/s at 22.05 kHz, intros, Russian in Windows-1251. robust/NAME makes one.
truth.tsv: one row per line: line number, start and end of its speech in seconds of the
recording as encoded. ref.raw: the first 30 s of the recording before encoding (11025 Hz, mono,
signed 16-bit), so that the benchmark can measure the encoder's delay.
"""
import audioop
import os
import random
import subprocess
import sys
import wave

RATE = 22050

EN_NOUNS = ("boy girl dog river village teacher garden window morning evening kitchen letter "
            "market station doctor summer winter forest mountain city farmer bridge road "
            "lesson student friend mother father brother sister bird horse table book").split()
EN_VERBS = ("walks runs looks waits smiles reads writes sings listens works sleeps stops "
            "begins remembers answers travels").split()
EN_ADJ = ("small quiet old young happy tired bright cold warm green heavy early late busy "
          "gentle strong").split()
EN_PLACE = ("near the old bridge", "in the small garden", "after a long day", "before the rain",
            "at the station", "by the river", "in the cold morning", "under the bright stars",
            "with a heavy bag", "on the quiet road", "behind the market", "at the end of summer")

RU_NOUNS = ("мальчик девочка собака река деревня учитель сад окно город врач друг брат "
            "сестра мать отец птица лошадь книга дорога лес").split()
RU_VERBS = ("идёт смотрит ждёт читает пишет поёт слушает работает спит говорит отвечает "
            "думает").split()
RU_ADJ = "маленький тихий старый молодой весёлый усталый добрый высокий".split()
RU_PLACE = ("у старого моста", "в маленьком саду", "после долгого дня", "перед дождём",
            "на вокзале", "у реки", "холодным утром", "под яркими звёздами", "на тихой дороге",
            "за рынком", "в конце лета")


def en_sentence(rng, clauses=(1, 1, 2)):
    parts = []
    for _ in range(rng.choice(clauses)):
        s = f"the {rng.choice(EN_ADJ)} {rng.choice(EN_NOUNS)} {rng.choice(EN_VERBS)} {rng.choice(EN_PLACE)}"
        if rng.random() < 0.4:
            s += f", and the {rng.choice(EN_NOUNS)} {rng.choice(EN_VERBS)}"
        parts.append(s)
    text = ". ".join(p[0].upper() + p[1:] for p in parts) + "."
    return text


def ru_sentence(rng):
    s = f"{rng.choice(RU_ADJ)} {rng.choice(RU_NOUNS)} {rng.choice(RU_VERBS)} {rng.choice(RU_PLACE)}"
    if rng.random() < 0.4:
        s += f", а {rng.choice(RU_NOUNS)} {rng.choice(RU_VERBS)}"
    return s[0].upper() + s[1:] + "."


def run(args, **kw):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)


def finish_set(out, work, mixed, lines, encoding, truth, seconds):
    """Writes a set's reference audio, text and truth, and removes its scratch folder."""
    run(["sox", mixed, "-r", "11025", "-c", "1", "-b", "16", "-e", "signed", "-t", "raw",
         os.path.join(out, "ref.raw"), "trim", "0", "30"])
    with open(os.path.join(out, "p.txt"), "wb") as f:
        f.write("\r\n".join(lines).encode(encoding) + b"\r\n")
    with open(os.path.join(out, "truth.tsv"), "w") as f:
        for n, a, b in truth:
            f.write(f"{n}\t{a:.5f}\t{b:.5f}\n")
    for name in os.listdir(work):
        os.remove(os.path.join(work, name))
    os.rmdir(work)
    print(f"{out}: {len(lines)} lines, {seconds:.0f} s", file=sys.stderr)


def read_mono(path):
    """Samples of a WAV as 16-bit mono bytes at RATE."""
    conv = path + ".22k.wav"
    run(["sox", path, "-r", str(RATE), "-c", "1", "-b", "16", conv])
    with wave.open(conv) as w:
        data = w.readframes(w.getnframes())
    os.remove(conv)
    return data


def speech_span(data):
    """First and last sample of the speech: 5 ms blocks above -45 dBFS."""
    block = RATE // 200
    level = 32768 * 10 ** (-45 / 20)
    first = last = None
    for i in range(0, len(data) // 2, block):
        if audioop.rms(data[2 * i: 2 * (i + block)], 2) > level:
            if first is None:
                first = i
            last = i + block
    if first is None:
        return 0, 0
    # Refine inside the edge blocks to the first and last sample above the level.
    def loud(k):
        return abs(audioop.getsample(data, 2, k)) > level
    a = first
    while a < first + block and not loud(a):
        a += 1
    b = min(last, len(data) // 2) - 1
    while b > last - block and not loud(b):
        b -= 1
    return a, b + 1


def silence(seconds):
    return b"\0\0" * int(round(seconds * RATE))


def synthesize(tool, text, path, rng):
    if tool.startswith("espeak:"):
        voice = tool.split(":", 1)[1]
        run(["espeak-ng", "-v", voice, "-s", str(rng.randint(130, 185)), "-p", str(rng.randint(30, 70)),
             "-w", path, text])
    elif tool.startswith("flite:"):
        run(["flite", "-voice", tool.split(":", 1)[1], "-t", text, "-o", path])
    elif tool.startswith("festival:"):
        voice = tool.split(":", 1)[1]
        txt = path + ".txt"
        with open(txt, "w", encoding="utf-8") as f:
            f.write(text + "\n")
        run(["text2wave", "-eval", f"(voice_{voice})", txt, "-o", path])
        os.remove(txt)
    elif tool == "festival":
        # The default voice, as text2wave speaks without a voice named.
        run(["text2wave", "-o", path], input=text.encode())
    else:
        raise ValueError(tool)


def tempo(path, factor, pitch_cents):
    if abs(factor - 1.0) < 1e-3 and pitch_cents == 0:
        return
    out = path + ".t.wav"
    args = ["sox", path, out]
    if abs(factor - 1.0) >= 1e-3:
        args += ["tempo", "-s", f"{factor:.3f}"]
    if pitch_cents:
        args += ["pitch", str(pitch_cents)]
    run(args)
    os.replace(out, path)


def make_set(out, lines, tools, rng, pause_range, noise_db, tempo_range, intro, encoding, bitrate, outro=None):
    os.makedirs(out, exist_ok=True)
    work = os.path.join(out, "work")
    os.makedirs(work, exist_ok=True)
    pcm = bytearray()
    truth = []
    if intro:
        # A jingle of three tones, then a spoken title that no line holds.
        jingle = os.path.join(work, "jingle.wav")
        run(["sox", "-n", "-r", str(RATE), "-c", "1", "-b", "16", jingle, "synth", "0.6", "sine", "523",
             "sine", "659", ":", "synth", "0.6", "sine", "659", ":", "synth", "0.9", "sine", "784",
             "vol", "0.3", "fade", "0.05", "0", "0.3"])
        pcm += silence(0.4) + read_mono(jingle) + silence(0.8)
        title = os.path.join(work, "title.wav")
        synthesize(tools[0], intro, title, rng)
        pcm += read_mono(title) + silence(1.0)
    for n, text in enumerate(lines):
        wav = os.path.join(work, "line.wav")
        synthesize(rng.choice(tools), text, wav, rng)
        tempo(wav, rng.uniform(*tempo_range), rng.choice((0, 0, -150, 150)) if tempo_range != (1, 1) else 0)
        data = read_mono(wav)
        a, b = speech_span(data)
        data = data[2 * a: 2 * b]
        pcm += silence(rng.uniform(*pause_range) if n else 0.5)
        start = len(pcm) // 2
        pcm += data
        truth.append((n, start / RATE, len(pcm) // 2 / RATE))
        if n % 50 == 0:
            print(f"{out}: line {n} of {len(lines)}", file=sys.stderr)
    if outro:
        # Speech after the last line that no line holds.
        closing = os.path.join(work, "outro.wav")
        synthesize(tools[0], outro, closing, rng)
        pcm += silence(0.9) + read_mono(closing)
    pcm += silence(1.0)
    clean = os.path.join(work, "clean.wav")
    with wave.open(clean, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(pcm))
    seconds = len(pcm) / 2 / RATE
    mixed = os.path.join(work, "mixed.wav")
    noise = os.path.join(work, "noise.wav")
    run(["sox", "-n", "-r", str(RATE), "-c", "1", "-b", "16", noise, "synth", f"{seconds:.3f}", "pinknoise",
         "vol", f"{noise_db}dB"])
    run(["sox", "-m", clean, noise, mixed])
    run(["lame", "--quiet", "-m", "m", "-b", str(bitrate), mixed, os.path.join(out, "p.mp3")])
    finish_set(out, work, mixed, lines, encoding, truth, seconds)


# The robust family: many small sets, each one condition of voice, tempo, pauses, noise, room
# and encoder, so that the benchmark's per-condition figures show where a change helps or hurts.
# Truth comes from each line's clean signal (reverberated where the room is): its first and last
# sample above TRUTH_DB below the line's own peak.
TRUTH_DB = -45.0

EN_VOICES = ["flite:kal", "flite:awb", "flite:rms", "flite:slt", "festival:kal_diphone",
             "festival:ked_diphone", "festival:cmu_us_slt_arctic_hts", "espeak:en-us+f3",
             "espeak:en-gb-x-rp+m3", "espeak:en-029"]
RU_VOICES = ["festival:msu_ru_nsh_clunits", "festival:msu_ru_nsh_clunits", "espeak:ru", "espeak:ru+f2"]

# name: voices, lines, tempo range, pauses (s), noise colour, SNR (dB against the speech's RMS;
# None: none), room ("" dry, else sox reverb arguments), encoder, intro, language.
ROBUST = [
    ("festival-clean", ["festival"], 30, (0.88, 0.88), (0.12, 0.5), None, None, "", "ffmpeg48", True, "en"),
    ("festival-brown22", ["festival"], 30, (0.88, 0.88), (0.12, 0.5), "brown", 22, "", "ffmpeg48", True, "en"),
    ("mixed-brown15", EN_VOICES, 30, (0.85, 1.15), (0.15, 0.6), "brown", 15, "", "lame-cbr64", False, "en"),
    ("mixed-white25", EN_VOICES, 30, (0.85, 1.15), (0.12, 0.5), "white", 25, "", "lame-vbr", True, "en"),
    ("mixed-white15", EN_VOICES, 30, (0.85, 1.15), (0.15, 0.6), "white", 15, "", "lame-cbr64", False, "en"),
    ("mixed-pink20", EN_VOICES, 30, (0.85, 1.15), (0.12, 0.5), "pink", 20, "", "twolame48", True, "en"),
    ("slow-pink30-short", EN_VOICES, 30, (0.85, 0.87), (0.1, 0.25), "pink", 30, "", "lame-vbr", False, "en"),
    ("fast-brown25-short", EN_VOICES, 30, (1.13, 1.15), (0.1, 0.2), "brown", 25, "", "ffmpeg48", False, "en"),
    ("hts-pink15", ["festival:cmu_us_slt_arctic_hts"], 30, (0.85, 1.15), (0.12, 0.5), "pink", 15, "", "lame-cbr64",
     True, "en"),
    ("mixed-hum20", EN_VOICES, 30, (0.85, 1.15), (0.12, 0.5), "hum", 20, "", "lame-vbr", False, "en"),
    ("mixed-reverb-pink30", EN_VOICES, 30, (0.85, 1.15), (0.2, 0.6), "pink", 30, "reverb 40 50 60", "lame-vbr",
     True, "en"),
    ("mixed-reverb-brown20", EN_VOICES, 30, (0.85, 1.15), (0.25, 0.7), "brown", 20, "reverb 60 40 80", "ffmpeg48",
     False, "en"),
    ("mixed-low32", EN_VOICES, 30, (0.85, 1.15), (0.12, 0.5), "pink", 25, "", "lame-32", True, "en"),
    ("ru-brown22", RU_VOICES, 30, (0.85, 1.15), (0.12, 0.5), "brown", 22, "", "ffmpeg48", True, "ru"),
    ("ru-white18", RU_VOICES, 30, (0.85, 1.15), (0.15, 0.6), "white", 18, "", "lame-cbr64", False, "ru"),
]

EN_TITLES = ["Lesson four. Travelling by train.", "Chapter two. The old house.", "Part three. At the market."]
RU_TITLES = ["Урок пятый. На вокзале.", "Глава вторая."]


def en_line(rng):
    """A sentence with a comma pause now and then, or a short line."""
    if rng.random() < 0.12:
        return rng.choice(["Yes, of course.", "Thank you very much.", "Here you are.", "See you soon.",
                           "Excuse me, please."])
    s = en_sentence(rng, (1, 1, 2))
    if rng.random() < 0.35:
        s = rng.choice(["Well, ", "In the morning, ", "Sometimes, ", "After that, "]) + s[0].lower() + s[1:]
    return s


def ru_line(rng):
    s = ru_sentence(rng)
    if rng.random() < 0.3:
        s = rng.choice(["Утром, ", "Иногда, ", "Потом, "]) + s[0].lower() + s[1:]
    return s


def pcm_peak(data):
    return max(audioop.max(data, 2), 1)


def truth_span(data, db):
    """First and last sample above db below the peak."""
    level = pcm_peak(data) * 10 ** (db / 20)
    n = len(data) // 2
    block = 64
    first = last = None
    for i in range(0, n, block):
        if audioop.max(data[2 * i: 2 * (i + block)], 2) > level:
            if first is None:
                first = i
            last = min(n, i + block)
    if first is None:
        return 0, 0
    a = first
    while abs(audioop.getsample(data, 2, a)) <= level:
        a += 1
    b = last - 1
    while abs(audioop.getsample(data, 2, b)) <= level:
        b -= 1
    return a, b + 1


def noise_pcm(work, colour, seconds):
    path = os.path.join(work, "noise.wav")
    if colour == "hum":
        # Mains hum with its odd harmonics, and a little hiss.
        run(["sox", "-n", "-r", str(RATE), "-c", "1", "-b", "16", path, "synth", f"{seconds:.3f}", "sine", "50",
             "sine", "150", "sine", "250", "whitenoise", "remix", "1v0.6,2v0.25,3v0.12,4v0.03"])
    else:
        run(["sox", "-n", "-r", str(RATE), "-c", "1", "-b", "16", path, "synth", f"{seconds:.3f}",
             f"{colour}noise", "vol", "0.5"])
    return read_mono(path)


def encode(work, mixed, encoder, out):
    if encoder == "lame-cbr64":
        run(["lame", "--quiet", "-m", "m", "-b", "64", mixed, out])
    elif encoder == "lame-vbr":
        run(["lame", "--quiet", "-m", "m", "-V", "4", mixed, out])
    elif encoder == "lame-32":
        run(["lame", "--quiet", "-m", "m", "-b", "32", "--resample", "22.05", mixed, out])
    elif encoder in ("ffmpeg48", "twolame48"):
        wide = os.path.join(work, "wide.wav")
        run(["sox", mixed, "-r", "48000", "-c", "2", wide])
        if encoder == "ffmpeg48":
            # With the encoder's info frame in front, as ffmpeg writes it.
            run(["ffmpeg", "-y", "-loglevel", "error", "-i", wide, "-c:a", "libmp3lame", "-q:a", "5", out])
        else:
            run(["twolame", "--quiet", "-b", "192", wide, out])
    else:
        raise ValueError(encoder)


def make_robust_set(out, rng, voices, count, tempo_range, pause_range, colour, snr, room, encoder, intro, lang):
    os.makedirs(out, exist_ok=True)
    work = os.path.join(out, "work")
    os.makedirs(work, exist_ok=True)
    lines = [(ru_line if lang == "ru" else en_line)(rng) for _ in range(count)]
    pcm = bytearray()
    truth = []
    if intro:
        jingle = os.path.join(work, "jingle.wav")
        run(["sox", "-n", "-r", str(RATE), "-c", "1", "-b", "16", jingle, "synth", "1.2", "sine", "440", "sine",
             "554", "sine", "659", "remix", "1-3", "vol", "0.25", "fade", "0.05", "0", "0.4"])
        pcm += silence(0.3) + read_mono(jingle) + silence(0.5)
        title = os.path.join(work, "title.wav")
        # The title by a voice that speaks no line.
        synthesize("espeak:en-us+m7" if lang == "en" else "espeak:ru+m5",
                   rng.choice(EN_TITLES if lang == "en" else RU_TITLES), title, rng)
        pcm += read_mono(title) + silence(0.9)
    else:
        pcm += silence(0.6)
    for n, text in enumerate(lines):
        wav = os.path.join(work, "line.wav")
        synthesize(rng.choice(voices), text, wav, rng)
        factor = rng.uniform(*tempo_range)
        args = ["sox", wav, "-r", str(RATE), "-c", "1", "-b", "16", os.path.join(work, "t.wav")]
        if abs(factor - 1.0) >= 1e-3:
            args += ["tempo", "-s", f"{factor:.3f}"]
        if room:
            args += ["pad", "0", "1.5"] + room.split()
        # Each line at its own level, within 6 dB.
        args += ["norm", f"{-3 - rng.uniform(0, 6):.1f}"]
        run(args)
        data = read_mono(os.path.join(work, "t.wav"))
        a, b = truth_span(data, TRUTH_DB)
        if n:
            pcm += silence(rng.uniform(*pause_range))
        start = len(pcm) // 2
        pcm += data[2 * a: 2 * b]
        truth.append((n, start / RATE, len(pcm) // 2 / RATE))
    pcm += silence(1.0)
    if len(pcm) % 2:
        pcm += b"\0"
    seconds = len(pcm) / 2 / RATE
    clean_pcm = bytes(pcm)
    if colour:
        speech = b"".join(clean_pcm[int(a * RATE) * 2: int(b * RATE) * 2] for _, a, b in truth)
        noise = noise_pcm(work, colour, seconds)
        noise = (noise + b"\0\0" * len(clean_pcm))[: len(clean_pcm)]
        gain = audioop.rms(speech, 2) / 10 ** (snr / 20) / max(1, audioop.rms(noise, 2))
        mixed_pcm = audioop.add(clean_pcm, audioop.mul(noise, 2, gain), 2)
    else:
        mixed_pcm = clean_pcm
    mixed = os.path.join(work, "mixed.wav")
    with wave.open(mixed, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(mixed_pcm)
    encode(work, mixed, encoder, os.path.join(out, "p.mp3"))
    finish_set(out, work, mixed, lines, "cp1251" if lang == "ru" else "utf-8", truth, seconds)


def make_robust(out, only):
    for (name, voices, count, tempo_range, pauses, colour, snr, room, encoder, intro, lang) in ROBUST:
        if only and name not in only:
            continue
        # Each condition its own random stream, so that one can be remade alone.
        rng = random.Random(f"robust-{name}")
        make_robust_set(os.path.join(out, name), rng, voices, count, tempo_range, pauses, colour, snr, room,
                        encoder, intro, lang)


def main():
    out = sys.argv[1]
    which = sys.argv[2:] or ["espeak", "other-en", "other-ru", "other-hard", "other-short", "robust"]
    if "robust" in which or any(w.startswith("robust/") for w in which):
        only = [w.split("/", 1)[1] for w in which if w.startswith("robust/")]
        make_robust(os.path.join(out, "robust"), only)
    rng = random.Random(20261209)
    if "espeak" in which:
        lines = [en_sentence(rng, (1, 2, 2, 3)) for _ in range(480)]
        voices = ["espeak:en-us", "espeak:en", "espeak:en-gb-x-rp", "espeak:en-us+f3", "espeak:en+m3",
                  "espeak:en-gb-scotland"]
        make_set(os.path.join(out, "espeak"), lines, voices, rng, (0.2, 1.5), -48, (1, 1), None, "utf-8", 64)
    if "other-en" in which:
        lines = [en_sentence(rng) for _ in range(60)]
        voices = ["flite:kal", "flite:awb", "flite:rms", "flite:slt", "festival:kal_diphone"]
        make_set(os.path.join(out, "other-en"), lines, voices, rng, (0.12, 0.6), -36, (0.85, 1.15),
                 "Lesson seven. A day in the village.", "utf-8", 48)
    if "other-hard" in which:
        # Short pauses and more noise: the pauses are hard to tell from the breaks inside a line.
        lines = [en_sentence(rng, (1, 2)) for _ in range(60)]
        voices = ["flite:kal", "flite:awb", "flite:rms", "flite:slt", "festival:kal_diphone", "espeak:en-us+f2"]
        make_set(os.path.join(out, "other-hard"), lines, voices, rng, (0.1, 0.35), -30, (0.85, 1.15),
                 "Lesson nine. Short pauses.", "utf-8", 40)
    if "other-short" in which:
        # Short lines among long ones, tempo +-20 %, and an outro after the last line.
        short = ["Yes.", "No, thank you.", "Chapter two.", "Why?", "Look at the river!", "He nods."]
        lines = [rng.choice(short) if rng.random() < 0.3 else en_sentence(rng, (1, 2)) for _ in range(50)]
        voices = ["flite:kal", "flite:awb", "flite:rms", "flite:slt", "festival:kal_diphone"]
        make_set(os.path.join(out, "other-short"), lines, voices, rng, (0.12, 0.5), -33, (0.8, 1.25),
                 "Welcome to lesson twelve. Listen carefully.", "utf-8", 32, "Thank you for listening.")
    if "other-ru" in which:
        lines = [ru_sentence(rng) for _ in range(40)]
        voices = ["festival:msu_ru_nsh_clunits", "festival:msu_ru_nsh_clunits", "espeak:ru"]
        make_set(os.path.join(out, "other-ru"), lines, voices, rng, (0.15, 0.8), -38, (0.85, 1.15),
                 "Урок третий.", "cp1251", 48)


if __name__ == "__main__":
    main()
