#!/bin/sh
# Test sounds made by sox; samples_*.txt hold each file's frames as Python's wave module reads
# them (raw unsigned little-endian samples, one line per frame, channels separated by blanks).
set -e
cd "$(dirname "$0")"
sox -n -r 8000 -b 8 -c 1 mono_8_bit.wav synth 0.005 sine 440
sox -n -r 8000 -b 16 -c 1 mono_16_bit.wav synth 0.005 sine 440
sox -n -r 8000 -b 16 -c 2 stereo_16_bit.wav synth 0.005 sine 440 sine 660
sox -n -r 8000 -b 8 -c 4 -t wavpcm quad_8_bit.wav synth 0.002 sine 440 sine 550 sine 660 sine 770
sox -n -r 8000 -b 24 -c 1 -t wavpcm mono_24_bit_pcm.wav synth 0.002 sine 440
# sox's own 24-bit layout is the extensible one (format tag 0xFFFE)
sox -n -r 8000 -b 24 -c 1 mono_24_bit_extensible.wav synth 0.002 sine 440
sox -n -r 8000 -b 16 -c 4 -t wavpcm quad_16_bit.wav synth 0.002 sine 440
/usr/bin/python3 - <<'PY'
import wave, glob
for name in sorted(glob.glob("*.wav")):
    try:
        w = wave.open(name)
    except Exception:
        continue
    ch, width, n = w.getnchannels(), w.getsampwidth(), w.getnframes()
    raw = w.readframes(n)
    with open("samples_" + name[:-4] + ".txt", "w") as out:
        for f in range(n):
            out.write(" ".join(str(int.from_bytes(raw[(f * ch + c) * width:(f * ch + c + 1) * width], "little"))
                               for c in range(ch)) + "\n")
PY
