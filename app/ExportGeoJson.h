// `vyrhost export --geojson`: one RFC 7946 FeatureCollection over all logs,
// one Point feature per measurement message with a usable position (both
// coordinates, |lat| <= 90, |lon| <= 180), coordinates [lon, lat] in WGS 84
// decimal degrees. Properties: name (the strongest level, "-71.5 dBm", or "no
// level") and timestamp (the time), which GDAL's KML drivers write as the
// placemark's <name> and <TimeStamp>; file, message, time, time_ms, quality, levels
// (how many levels the message left), max_level_dbm and max_frequency_mhz
// (its strongest level and where; absent when it left none), for a
// statistics log min_dbm, max_dbm and stddev_db of that level, and in a
// channel log ch1_dbm, ch2_dbm, ... (null for a channel without a level);
// levels and frequencies always with a fraction (-55.0), so that GIS readers
// type them as reals. JSON has no infinities or NaN: a non-finite number is
// written as null. Features are written as the log is decoded; the messages
// skipped for want of a position are counted per log.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "ExportWriter.h"

class CGeoJsonWriter : public CExportWriter {
 public:
  vyr::DecodeRequest Request() const override;
  void Begin(std::string& out) override;
  void Levels(std::string& out, std::string_view file, const vyr::Message& m, const vyr::Level* levels,
              size_t count) override;
  void Message(std::string& out, std::string_view file, const vyr::Message& m) override;
  std::string EndFile(std::string_view file) override;
  void End(std::string& out) override;

  // A position that a map can show.
  static bool IsUsable(const vyr::Position& p);

 private:
  void AppendFeature(std::string& out, std::string_view file, const vyr::Message& m) const;
  void AppendChannelProperties(std::string& out, const vyr::Section& section) const;

  // What the current message left: how many levels, the strongest, and in a
  // channel log each channel's.
  std::uint64_t m_nLevels = 0;
  bool m_bHasStrongest = false;
  vyr::Level m_strongest;
  std::vector<std::pair<int, double>> m_channelLevels;
  std::uint64_t m_nFeatures = 0;      // over all logs
  std::uint64_t m_nMeasurements = 0;  // of the current log
  std::uint64_t m_nSkipped = 0;       // of the current log
};
