#include "app/JsonSummary.h"

#include <cstdio>

#include "core/JsonWriter.h"

namespace wavfreq {

std::string JsonSummary::Decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::string JsonSummary::Document(const CommandLine& line, const Run& run) {
  JsonWriter json;
  json.BeginObject();
  json.Key("input").BeginObject();
  json.Key("path").String(CommandLine::IsStandardStream(line.inputPath) ? "-" : line.inputPath);
  const Input& in = run.input;
  if (in.open) {
    json.Key("sample_rate").Integer(in.sampleRate).Key("bits").Integer(in.bits);
    json.Key("coding").String(in.floatingPoint ? "float" : "integer");
    json.Key("channels").Integer(in.channels);
  } else {
    json.Key("sample_rate").Null().Key("bits").Null().Key("coding").Null();
    json.Key("channels").Null();
  }
  json.Key("channel").Integer(line.channel);
  json.EndObject();

  json.Key("options").BeginObject();
  json.Key("table").String(line.outputPath);
  json.Key("rate").Integer(line.valueRate).Key("out").Integer(line.outputRate);
  json.Key("gate_dbfs");
  line.gate ? json.Integer(line.gateLevel) : json.Null();
  json.Key("band_hz");
  if (line.band) {
    json.BeginArray().Integer(line.bandLow).Integer(line.bandHigh).EndArray();
  } else {
    json.Null();
  }
  json.Key("nominal_hz");
  line.nominal > 0.0 ? json.Number(Decimal(line.nominal)) : json.Null();
  json.Key("rpm");
  line.rpm > 0.0 ? json.Number(Decimal(line.rpm)) : json.Null();
  json.Key("stats").Bool(line.stats).Key("live").Bool(line.live);
  json.Key("report");
  line.reportPath.empty() ? json.Null() : json.String(line.reportPath);
  json.EndObject();

  json.Key("lines").Integer(run.lines);
  json.Key("tones").BeginArray();
  for (const std::string& tone : run.tones) {
    json.Raw(tone);
  }
  json.EndArray();
  json.Key("tones_under_1_s").Integer(run.shortTones);
  json.Key("tones_not_shown").Integer(run.unshownTones);
  json.Key("exit_status").Integer(run.exitStatus);
  json.Key("error");
  run.error.empty() ? json.Null() : json.String(run.error);
  json.EndObject();
  return json.Text() + "\n";
}

}  // namespace wavfreq
