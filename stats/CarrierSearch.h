#pragma once

#include <vector>

#include "dsp/Fft.h"

namespace wavfreq {

/// Finds a steady tone in a window of samples (64 to 100 ms, five periods of mains hum): the peak
/// of the window's Hann-weighted spectrum, placed between its bins by a parabola through the log
/// powers. A window whose peak does not stand 25 dB above the spectrum's median, or that is quieter
/// than 70 dB below full scale, holds none. A second tone close enough to pass a demodulator that
/// passes `reach` hertz either side of the first is its neighbour.
class CarrierSearch {
 public:
  CarrierSearch(int sampleRate, double fullScale);

  /// Samples per window: a power of two.
  int WindowLength() const { return length; }
  /// The tone's power in the last window where one was found, as a demodulator that passes it
  /// with unit gain gives it: a quarter of its amplitude squared.
  double FoundPower() const { return foundPower; }
  /// The strongest other tone within twice `Reach(tone)` of the last one found, no more than 30 dB
  /// below it: its frequency, or 0 for none; and its power against the tone's, in dB.
  double Neighbour() const { return neighbour; }
  double NeighbourDb() const { return neighbourDb; }
  /// Hertz either side of a tone that its demodulator passes: 200, or a quarter of the carrier
  /// below 800 Hz, which carries modulation no faster.
  static double Reach(double carrier);
  /// The frequency of the tone in the `WindowLength()` samples from `samples` on, or 0.
  template <class Sample>
  double Find(const Sample* samples) {
    double energy = 0.0;
    for (int i = 0; i < length; ++i) {
      const double value = static_cast<double>(samples[i]);
      energy += value * value;
    }
    if (energy < quietEnergy) {
      return 0.0;
    }
    for (int i = 0; i < length; ++i) {
      work[2 * static_cast<std::size_t>(i)] =
          static_cast<double>(samples[i]) * window[static_cast<std::size_t>(i)];
      work[2 * static_cast<std::size_t>(i) + 1] = 0.0;
    }
    return Analyse();
  }

 private:
  double Analyse();
  /// Sets the neighbour of the tone at bin `peak`, of power `lobe`.
  void FindNeighbour(std::size_t peak, double lobe, double median, std::size_t first,
                     std::size_t last);
  /// The peak's place between bins.
  double Interpolated(std::size_t peak) const;

  double rate;
  int length;
  double quietEnergy;
  double foundPower = 0.0;
  double neighbour = 0.0;
  double neighbourDb = 0.0;
  Fft fft;
  std::vector<double> window;
  std::vector<double> work;
  std::vector<double> power;
};

}  // namespace wavfreq
