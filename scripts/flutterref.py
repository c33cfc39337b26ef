"""An independent wow-and-flutter meter for scripts/accuracy: the analytic signal (scipy's Hilbert
transform) gives the instantaneous frequency, and the weighting and the 0.5-200 Hz band are
applied as analog responses on the spectrum of the whole deviation, not as digital filters.
Needs numpy and scipy (Debian's python3-numpy, python3-scipy)."""
import numpy

# The weighting's analog prototype, 0 dB at 4 Hz: a first-order band around 4 Hz, a second-order
# high-pass below 0.5 Hz and a shelf toward 200 Hz (the curve of IEC 60386, DIN 45507, AES6).
HIGH_PASS, LOW_PASS, LOW_CUT, LOW_CUT_Q = 1.50850425, 9.23259539, 0.44013349, 0.66075390
SHELF_ZERO, SHELF_POLE = 42.24874405, 56.40882390

# The standards' curve, dB at each frequency.
CURVE = [(0.1, -48.0), (0.2, -30.6), (0.315, -19.7), (0.4, -15.0), (0.63, -8.4), (0.8, -6.0),
         (1.0, -4.2), (1.6, -1.8), (2.0, -0.9), (4.0, 0.0), (6.3, -0.9), (10.0, -2.1), (20.0, -5.9),
         (40.0, -10.4), (63.0, -14.2), (100.0, -17.3), (200.0, -23.0)]


def weighting(hertz):
    """The complex analog response at `hertz` (an array), 1 in magnitude at 4 Hz."""
    def raw(f):
        s = 2j * numpy.pi * numpy.asarray(f, dtype=float)
        wa, wb, wc = (2 * numpy.pi * x for x in (HIGH_PASS, LOW_PASS, LOW_CUT))
        wz, wp = 2 * numpy.pi * SHELF_ZERO, 2 * numpy.pi * SHELF_POLE
        return (s / (s + wa) * wb / (s + wb) * s * s / (s * s + s * wc / LOW_CUT_Q + wc * wc)
                * (s + wz) / wz * wp / (s + wp))
    return raw(hertz) / abs(raw(4.0))


def band(hertz, top=200.0):
    """Second-order Butterworth high-pass at 0.5 Hz and low-pass at `top`, analog, complex."""
    s = 2j * numpy.pi * numpy.asarray(hertz, dtype=float)
    low, high = 2 * numpy.pi * 0.5, 2 * numpy.pi * top
    q = 1 / numpy.sqrt(2)
    return s * s / (s * s + s * low / q + low * low) * high * high / (s * s + s * high / q + high * high)


def butterworth(hertz, corner, high):
    """A second-order Butterworth low-pass (or, `high`, high-pass) at `corner` Hz, analog,
    complex: the low-pass's and the high-pass's squared magnitudes add up to 1."""
    s = 2j * numpy.pi * numpy.asarray(hertz, dtype=float) / (2 * numpy.pi * corner)
    return (s * s if high else 1.0) / (s * s + numpy.sqrt(2) * s + 1)


def instantaneous(samples, rate, limit=250.0):
    """The tone's instantaneous frequency, in Hz, sample by sample (one fewer than the samples),
    from the analytic signal of its own band."""
    from scipy.signal import hilbert
    x = numpy.asarray(samples, dtype=float)
    x = x - x.mean()
    spectrum = numpy.fft.rfft(x)
    freqs = numpy.fft.rfftfreq(len(x), 1 / rate)
    peak = freqs[numpy.argmax(abs(spectrum))]
    spectrum[abs(freqs - peak) > max(limit * 1.5, 0.3 * peak)] = 0
    analytic = hilbert(numpy.fft.irfft(spectrum, len(x)))
    return numpy.diff(numpy.unwrap(numpy.angle(analytic))) * rate / (2 * numpy.pi)


def measure(samples, rate, start, end, settle=2.55, limit=250.0, top=200.0, drift_settle=10.05):
    """Mean frequency (Hz), weighted and unweighted two-sigma, weighted RMS and the figures by band
    (percent) of the tone from `start` to `end` seconds into `samples`; the flutter figures from
    `settle` seconds after `start`, as a meter that starts at `start` gives them once its filters
    have settled. The samples should run on a few seconds either side, so that neither the
    transforms' wrap nor a filter's start enters the figures. The deviation is kept to `limit`
    Hz, a meter's demodulator band."""
    from scipy.signal import hilbert
    x = numpy.asarray(samples, dtype=float)
    x = x - x.mean()
    # The tone's own band only, so that harmonics and DC do not enter the phase.
    spectrum = numpy.fft.rfft(x)
    freqs = numpy.fft.rfftfreq(len(x), 1 / rate)
    peak = freqs[numpy.argmax(abs(spectrum))]
    spectrum[abs(freqs - peak) > max(limit * 1.5, 0.3 * peak)] = 0
    analytic = hilbert(numpy.fft.irfft(spectrum, len(x)))
    phase = numpy.unwrap(numpy.angle(analytic))
    frequency = numpy.diff(phase) * rate / (2 * numpy.pi)
    first, last = int(start * rate), int(end * rate)
    mean = frequency[first:last].mean()
    deviation = frequency / mean - 1.0
    deviation = deviation - deviation.mean()
    spectrum = numpy.fft.rfft(deviation)
    freqs = numpy.fft.rfftfreq(len(deviation), 1 / rate)
    inside = (freqs <= limit) & (freqs > 0)
    figures = {"mean": mean}
    counted = slice(int((start + settle) * rate), last)
    for name, response in (("weighted", weighting), ("unweighted", lambda f: band(f, top))):
        shaped = numpy.zeros_like(spectrum)
        shaped[inside] = spectrum[inside] * response(freqs[inside])
        series = numpy.fft.irfft(shaped, len(deviation))[counted] * 100.0
        figures[name] = numpy.percentile(abs(series), 95)
        if name == "weighted":
            figures["rms"] = numpy.sqrt(numpy.mean(series ** 2))
    # The figures by band: RMS of the deviation through each band's analog response, wow and
    # flutter split at 6 Hz; drift from 0.05 to 0.5 Hz, from `drift_settle` seconds after
    # `start` as a meter's slower filters give it; the unweighted deviation's peak to peak.
    bands = {"unweighted_rms": lambda f: band(f, top),
             "weighted_wow": lambda f: weighting(f) * butterworth(f, 6.0, False),
             "weighted_flutter": lambda f: weighting(f) * butterworth(f, 6.0, True),
             "unweighted_wow": lambda f: band(f, top) * butterworth(f, 6.0, False),
             "unweighted_flutter": lambda f: band(f, top) * butterworth(f, 6.0, True),
             "drift": lambda f: butterworth(f, 0.05, True) * butterworth(f, 0.5, False)}
    for name, response in bands.items():
        shaped = numpy.zeros_like(spectrum)
        shaped[inside] = spectrum[inside] * response(freqs[inside])
        series = numpy.fft.irfft(shaped, len(deviation)) * 100.0
        series = series[int((start + drift_settle) * rate):last] if name == "drift" else series[counted]
        figures[name] = numpy.sqrt(numpy.mean(series ** 2))
        if name == "unweighted_rms":
            figures["peak_to_peak"] = series.max() - series.min()
    return figures


def turn_figures(samples, rate, start, end, cycles_per_turn, settle=2.55, top=200.0, limit=250.0):
    """The part of the deviation that repeats each turn of `cycles_per_turn` of the tone's cycles,
    as its half peak-to-peak (percent), and the RMS of the rest of the unweighted deviation
    (percent), over the whole turns from `settle` seconds after `start` to `end`. The turns are
    folded sample by sample from the analytic signal's own phase into 256 bins, the folded
    curve kept to the turn's harmonics below 6 Hz; the rest is the series less that curve at
    each sample's angle. A harmonic counts where its power in the fold stands 9 times above
    what its spread over the single turns leaves in an average of that many."""
    from scipy.signal import hilbert
    x = numpy.asarray(samples, dtype=float)
    x = x - x.mean()
    spectrum = numpy.fft.rfft(x)
    freqs = numpy.fft.rfftfreq(len(x), 1 / rate)
    peak = freqs[numpy.argmax(abs(spectrum))]
    spectrum[abs(freqs - peak) > max(limit * 1.5, 0.3 * peak)] = 0
    phase = numpy.unwrap(numpy.angle(hilbert(numpy.fft.irfft(spectrum, len(x)))))
    frequency = numpy.diff(phase) * rate / (2 * numpy.pi)
    first, last = int((start + settle) * rate), int(end * rate)
    mean = frequency[int(start * rate):last].mean()
    deviation = frequency / mean - 1.0
    shaped = numpy.fft.rfft(deviation - deviation.mean())
    f = numpy.fft.rfftfreq(len(deviation), 1 / rate)
    inside = (f <= limit) & (f > 0)
    banded = numpy.zeros_like(shaped)
    banded[inside] = shaped[inside] * band(f[inside], top)
    unweighted = numpy.fft.irfft(banded, len(deviation))
    turns = (phase[first:last] - phase[first]) / (2 * numpy.pi) / cycles_per_turn
    whole = turns < numpy.floor(turns[-1])
    angle = (turns % 1.0)[whole]
    t = numpy.arange(first, last)[whole] / rate
    turn_hertz = mean / cycles_per_turn
    harmonics = max(1, min(32, int(6.0 / turn_hertz)))
    bins = numpy.minimum((angle * 256).astype(int), 255)

    number = numpy.floor(turns[whole]).astype(int)
    count = int(numpy.floor(turns[-1]))

    def fold(series, selected):
        sums = numpy.bincount(bins[selected], weights=series[selected], minlength=256)
        counts = numpy.bincount(bins[selected], minlength=256)
        return numpy.fft.rfft(sums / numpy.maximum(counts, 1))

    def folded(series, keep=None):
        curve = fold(series, numpy.ones(len(series), dtype=bool))
        curve[0] = 0
        curve[harmonics + 1:] = 0
        if keep is None:
            # Each turn's own fold: how much each harmonic varies from turn to turn.
            single = numpy.array([fold(series, number == n)[1:harmonics + 1]
                                  for n in range(count)])
            spread = numpy.mean(abs(single - single.mean(axis=0)) ** 2, axis=0)
            keep = abs(curve[1:harmonics + 1]) ** 2 > 9 * spread / count
        curve[1:harmonics + 1][~keep] = 0
        return curve, keep

    # The tone's drift, a straight line, would tilt the folded curve: it goes first.
    d = deviation[first:last][whole]
    d = d - numpy.polyval(numpy.polyfit(t, d, 1), t)
    curve, keep = folded(d)
    repeated = numpy.fft.irfft(curve, 256) * 100.0
    u = unweighted[first:last][whole]
    coefficients, _ = folded(u, keep)
    # The band's curve at each sample's own angle, from its harmonics.
    at = numpy.zeros_like(u)
    for k in range(1, harmonics + 1):
        at += 2.0 / 256 * (coefficients[k] * numpy.exp(2j * numpy.pi * k * angle)).real
    rest = u - at
    return {"turns": int(numpy.floor(turns[-1])),
            "repeated": (repeated.max() - repeated.min()) / 2,
            "not_repeated": numpy.sqrt(numpy.mean(rest ** 2)) * 100.0}
