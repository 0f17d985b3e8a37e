#!/usr/bin/env python3
"""Writes the sounds of the audio example (Data/Audio) and of the audio tests (tests/data/audio).

Standard library only: wave for the WAV files, and a small FLAC writer (verbatim subframes, the
format's uncompressed form) for the one file the tests seek in, since SDL_mixer 1.2 cannot seek WAV
music. Run from the repository root: python3 tools/make_audio.py
"""
import math
import os
import struct
import wave

RATE = 22050


def tone(frequency, seconds, amplitude, fade=0.0):
    """A sine; fade seconds at each end keep a loop from clicking."""
    count = int(round(seconds * RATE))
    ramp = int(fade * RATE)
    samples = []
    for i in range(count):
        value = amplitude * math.sin(2.0 * math.pi * frequency * i / RATE)
        if ramp:
            value *= min(1.0, i / ramp, (count - 1 - i) / ramp)
        samples.append(int(round(value)))
    return samples


def write_wav(path, samples):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


def crc8(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = ((crc << 1) ^ 0x07) & 0xFF if crc & 0x80 else (crc << 1) & 0xFF
    return crc


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x8005) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc


def write_flac(path, samples, channels=2, block=4096):
    """Stereo (SDL_mixer 1.2 plays no other FLAC) with the same samples on both sides, or mono;
    16-bit, 22050 Hz; fixed block size; every subframe verbatim."""
    out = bytearray(b"fLaC")
    info = struct.pack(">HH", block, block) + b"\0\0\0" + b"\0\0\0"
    # 20 bits rate, 3 bits channels - 1, 5 bits bits per sample - 1, 36 bits total samples.
    packed = (RATE << 44) | ((channels - 1) << 41) | (15 << 36) | len(samples)
    info += packed.to_bytes(8, "big") + bytes(16)  # MD5 left 0: not computed
    out += bytes([0x80]) + len(info).to_bytes(3, "big") + info  # last metadata block: STREAMINFO
    for number, start in enumerate(range(0, len(samples), block)):
        chunk = samples[start:start + block]
        assert number < 128  # the frame number's UTF-8-like code is then one byte
        # Sync and fixed blocking; size from the 16 bits at the end, 22.05 kHz; left and right; 16 bits.
        header = bytes([0xFF, 0xF8, 0x74, 0x18 if channels == 2 else 0x08, number]) + struct.pack(">H", len(chunk) - 1)
        header += bytes([crc8(header)])
        subframe = bytes([0x02]) + struct.pack(">%dh" % len(chunk), *chunk)  # verbatim
        frame = header + subframe * channels
        out += frame + struct.pack(">H", crc16(frame))
    with open(path, "wb") as handle:
        handle.write(bytes(out))


def main():
    os.makedirs("Data/Audio", exist_ok=True)
    os.makedirs("tests/data/audio", exist_ok=True)
    # The example: three sources of distinct pitch, and a short tune that loops.
    write_wav("Data/Audio/hum.wav", tone(220.0, 1.0, 6000, 0.01))
    write_wav("Data/Audio/chime.wav", tone(660.0, 0.5, 6000, 0.05) + [0] * (RATE // 2))
    write_wav("Data/Audio/buzz.wav", [s // 2 + t // 2 for s, t in zip(tone(330.0, 1.0, 6000, 0.01),
                                                                     tone(335.0, 1.0, 6000, 0.01))])
    tune = []
    for note in (262.0, 330.0, 392.0, 523.0, 392.0, 330.0):
        tune += tone(note, 0.4, 5000, 0.02)
    write_wav("Data/Audio/tune.wav", tune)
    # The tests: three half seconds at 441, 882 and 1323 Hz, so that what is heard after a seek
    # tells where the track is. The same samples as FLAC (seekable) and as WAV (not).
    segments = tone(441.0, 0.5, 8000) + tone(882.0, 0.5, 8000) + tone(1323.0, 0.5, 8000)
    write_flac("tests/data/audio/segments.flac", segments)
    write_wav("tests/data/audio/segments.wav", segments)
    # A mono FLAC: SDL_mixer 1.2 opens it but cannot play it, and hangs its thread on a seek.
    write_flac("tests/data/audio/mono.flac", tone(441.0, 0.1, 8000), channels=1)


if __name__ == "__main__":
    main()
