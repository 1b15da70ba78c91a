#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <unistd.h>

#include "HytemDecodeReceiver.h"
#include "HytemNameValueDefns.h"
#include "HytemScanDecoding.h"
#include "NameValuePayload.h"

namespace kel_bench {
namespace {
const char* const kColumns[] = {"Time", "Date", "Latitude", "NS", "Longitude", "WE", "Validity", "BandNumber", "Levels"};

// Levels as a scanner writes them: -30.0 to -119.9 dBm, one decimal.
std::string Level(int k) {
  const int tenths = 300 + (k * 7919) % 900;
  return "-" + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

bool ResolveOnce() {
  ResolveHytemScanAttrIds();
  InitHytemNameValueDefns();
  return true;
}
}  // namespace

std::string ScanLine(int nLevels) {
  std::string line = "08:00:00\t03/15/05\t48.5112\tN\t2.2104\tE\t1\t1";
  for (int k = 0; k < nLevels; ++k) line += "\t" + Level(k);
  return line;
}

CVyrGenericHsMessage ScanMessage(int nLevels) {
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  const char* const values[] = {"08:00:00", "03/15/05", "48.5112", "N", "2.2104", "E", "1", "1"};
  for (int i = 0; i < 8; ++i) NameValueSetField(msg, kColumns[i], values[i]);
  std::string levels = Level(0);
  for (int k = 1; k < nLevels; ++k) levels += "," + Level(k);
  NameValueSetField(msg, "Levels", levels.c_str());
  msg.m_nMsgClass = kHytemMsgClassMeasurement;
  return msg;
}

CVyrGenericHsMessage ChannelMessage() {
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  const char* const fields[][2] = {{"Time", "08:00:00.250"}, {"Date", "03/15/05"}, {"Latitude", "48.5109"},
                                   {"NS", "N"},              {"Longitude", "2.2109"}, {"WE", "E"},
                                   {"Validity", "1"},        {"Level1", "-55.1"},    {"Level2", "-96.8"},
                                   {"Level3", "-90.3"},      {"Level4", "-90.4"}};
  for (const auto& field : fields) NameValueSetField(msg, field[0], field[1]);
  msg.m_nMsgClass = kHytemMsgClassMeasurement;
  return msg;
}

CVyrGenericHsMessage ScanHeaderMessage(int nLevels) {
  CVyrGenericHsMessage msg;
  msg.AllocMsgBuf(0);
  const double dSpan = (nLevels / 2 - 1) * 0.2;
  NameValueSetField(msg, "nbScannedBandwidths", "2");
  NameValueSetField(msg, "startFrequencies1", "400.000");
  NameValueSetField(msg, "stopFrequencies1", std::to_string(400.0 + dSpan).c_str());
  NameValueSetField(msg, "frequencyStep1", "200");
  NameValueSetField(msg, "startFrequencies2", "500.000");
  NameValueSetField(msg, "stopFrequencies2", std::to_string(500.0 + dSpan).c_str());
  NameValueSetField(msg, "frequencyStep2", "200");
  msg.m_nMsgClass = kHytemMsgClassHeader;
  return msg;
}

ScanDecoding::ScanDecoding(int nLevels) {
  static const bool s_bResolved = ResolveOnce();
  (void)s_bResolved;
  receiver.reset(CreateHytemDecodeDevice(CVyrDeviceTypeInfo(115, 0, 0, 0, 0, "Hytem Scanner", "Hytem", 0)));
  if (!receiver) throw std::runtime_error("no decode receiver");
  receiver->DecodeMessage(ScanHeaderMessage(nLevels), &dataState, expanded, nullptr);
}

ScanLogReader::ScanLogReader(int nLevels, int nLines) {
  char path[] = "/tmp/kel_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) throw std::runtime_error("no temporary file");
  close(fd);
  m_strPath = path;
  std::FILE* f = std::fopen(path, "w");
  if (!f) throw std::runtime_error("cannot write the temporary log");
  std::fprintf(f, "HYTEM Software - V2.4.1\nnbScannedBandwidths = 2\ndelayBetweenMeasurement = 500\n");
  for (int i = 0; i < 9; ++i) std::fprintf(f, "%s%c", kColumns[i], i < 8 ? '\t' : '\n');
  const std::string line = ScanLine(nLevels) + "\n";
  for (int i = 0; i < nLines; ++i) std::fputs(line.c_str(), f);
  std::fclose(f);
  Restart();
}

ScanLogReader::~ScanLogReader() { std::remove(m_strPath.c_str()); }

void ScanLogReader::Restart() {
  if (ReadFileHeader(m_strPath.c_str()) != 0) throw std::runtime_error("the temporary log is refused");
}
}  // namespace kel_bench
