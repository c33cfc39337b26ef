"""The one WAV writer of the project's scripts: PCM files of 8, 16, 24 or 32 bits, any number of
channels, deterministic bytes. Imported by scripts/accuracy, scripts/make-example-wav.py and
tests/huge/run."""
import struct


def header(rate, bits, channels, data_size, riff_size=None):
    """The 44 bytes before the samples: RIFF/WAVE, a 16-byte "fmt " chunk (PCM), the "data"
    header. The RIFF size counts everything after it unless given (a file of more than 4 GiB
    cannot state it)."""
    block = channels * ((bits + 7) // 8)
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    if riff_size is None:
        riff_size = 4 + 8 + len(fmt) + 8 + data_size + (data_size & 1)
    return (b"RIFF" + struct.pack("<I", riff_size) + b"WAVE" + b"fmt " + struct.pack("<I", len(fmt))
            + fmt + b"data" + struct.pack("<I", data_size))


def sample_bytes(samples, bits):
    """Little-endian sample data. 8-bit samples are stored as the value plus 127."""
    if bits == 8:
        return bytes(s + 127 for s in samples)
    if bits == 16:
        return struct.pack("<%dh" % len(samples), *samples)
    if bits == 32:
        return struct.pack("<%di" % len(samples), *samples)
    if bits == 24:
        return b"".join(struct.pack("<i", s)[:3] for s in samples)
    raise ValueError("unsupported width: %d bits" % bits)


def write(path, rate, bits, samples, channels=1):
    """Writes a whole file; `samples` interleaves the channels frame by frame."""
    data = sample_bytes(samples, bits)
    with open(path, "wb") as out:
        out.write(header(rate, bits, channels, len(data)) + data + b"\0" * (len(data) & 1))
