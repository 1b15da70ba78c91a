// The text file and the line reader: line ends, long lines, the maximum line
// length, memory files, rewinding and files that cannot be opened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CStdioFile.h"
#include "KelStringUtils.h"
#include "RolRetc.h"
#include "TempDir.h"

namespace {
constexpr int kLineHint = 8192;
constexpr size_t kReadBuffer = 1 << 20;  // the text file's internal buffer

struct ReadResult {
  std::vector<std::string> lines;
  int endCode = ROL_OK;
  bool bLastUnterminated = false;  // as the file tells after the end
};

// Reads every line; the end code is the first non-zero result.
ReadResult ReadAll(const std::string& path) {
  ReadResult r;
  CStdioFile file;
  EXPECT_TRUE(file.Open(path.c_str(), CStdioFile::modeRead | CStdioFile::typeText));
  CString line;
  while ((r.endCode = zuCStringGetLine(file, line, kLineHint)) == ROL_OK) r.lines.push_back(line.str());
  // The end is final: a further read finds nothing either.
  EXPECT_NE(zuCStringGetLine(file, line, kLineHint), ROL_OK);
  EXPECT_TRUE(line.IsEmpty());
  r.bLastUnterminated = file.LastLineUnterminated();
  return r;
}

// Bytes 0..255 without the line-end characters, as a recognisable pattern.
std::string Pattern(size_t n, unsigned seed) {
  std::string s(n, 'x');
  for (size_t i = 0; i < n; ++i)
    if (char c = static_cast<char>((i * 7 + seed) % 256); c != '\n' && c != '\r') s[i] = c;
  return s;
}

struct LineCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
  bool bLastUnterminated = false;  // the last line has no line end
};

class LineEndTest : public testing::TestWithParam<LineCase> {};

// A file on disk and the same bytes registered as a memory file read alike.
TEST_P(LineEndTest, ReadsTheExpectedLines) {
  TempDir dir;
  ReadResult r = ReadAll(dir.Write("log.txt", GetParam().bytes));
  EXPECT_EQ(r.lines, GetParam().lines);
  EXPECT_EQ(r.endCode, ROL_END_OF_FILE);
  EXPECT_EQ(r.bLastUnterminated, GetParam().bLastUnterminated);
  CStdioFile::RegisterMemoryFile("memory.txt", GetParam().bytes);
  ReadResult m = ReadAll("memory.txt");
  CStdioFile::UnregisterMemoryFile("memory.txt");
  EXPECT_EQ(m.lines, GetParam().lines);
  EXPECT_EQ(m.endCode, ROL_END_OF_FILE);
  EXPECT_EQ(m.bLastUnterminated, GetParam().bLastUnterminated);
}

INSTANTIATE_TEST_SUITE_P(
    Host, LineEndTest,
    testing::Values(LineCase{"Lf", "a\nb\n", {"a", "b"}}, LineCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                    LineCase{"LoneCrStays", "a\rb\n", {"a\rb"}},
                    LineCase{"CrCrLfDropsOneCr", "a\r\r\nb\n", {"a\r", "b"}},
                    LineCase{"CrAtEndWithoutLfStays", "x\r", {"x\r"}, true},
                    LineCase{"LastLineWithoutEnd", "a\nlast", {"a", "last"}, true},
                    LineCase{"CrLfCutAfterTheCr", "a\r\nb\r", {"a", "b\r"}, true},
                    LineCase{"EmptyLines", "\n\r\n\n", {"", "", ""}},
                    LineCase{"EmptyFile", "", {}}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

TEST(LineReader, CrLfAndLfFilesReadByteForByteAlike) {
  const std::vector<std::string> lines = {"HYTEM Software - V2", "delay = 100", "Time\tDate\tLevels",
                                          "12:00:01\t03/15/05\t\xE9\xFF-80", "", "tail"};
  std::string lf, crlf;
  for (const std::string& l : lines) {
    lf += l + "\n";
    crlf += l + "\r\n";
  }
  TempDir dir;
  ReadResult a = ReadAll(dir.Write("lf.txt", lf));
  ReadResult b = ReadAll(dir.Write("crlf.txt", crlf));
  EXPECT_EQ(a.lines, lines);
  EXPECT_EQ(b.lines, lines);
}

TEST(LineReader, LinesFarLongerThanTheHintReadWhole) {
  const std::string longLine = Pattern(3 * 1024 * 1024, 1);
  TempDir dir;
  ReadResult r = ReadAll(dir.Write("long.txt", "first\r\n" + longLine + "\r\nlast"));
  ASSERT_EQ(r.lines.size(), 3u);
  EXPECT_EQ(r.lines[0], "first");
  EXPECT_TRUE(r.lines[1] == longLine);
  EXPECT_EQ(r.lines[2], "last");
}

// The first line's CR LF lands on, before or after the buffer's end, so that
// the line end, the CR alone or the next line straddles the refill.
TEST(LineReader, LinesStraddlingTheReadBufferReadWhole) {
  for (size_t firstLen : {kReadBuffer - 3, kReadBuffer - 2, kReadBuffer - 1, kReadBuffer, kReadBuffer + 1}) {
    SCOPED_TRACE(firstLen);
    const std::string first = Pattern(firstLen, 3);
    const std::string second = Pattern(kReadBuffer + 10, 5);
    TempDir dir;
    ReadResult r = ReadAll(dir.Write("edge.txt", first + "\r\n" + second + "\r\nend\r\n"));
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_TRUE(r.lines[0] == first);
    EXPECT_TRUE(r.lines[1] == second);
    EXPECT_EQ(r.lines[2], "end");
  }
}

// A line beyond the maximum stops the reading with its own code, for good,
// on disk (across buffer refills) and in memory alike; a line of exactly the
// maximum is read.
TEST(LineReader, LineBeyondTheMaximumStopsTheReading) {
  const size_t nMax = kReadBuffer + 100;
  const std::string atMax = Pattern(nMax, 2);
  const std::string bytes = "a\n" + atMax + "\n" + atMax + "x\nb\n";
  TempDir dir;
  const std::string path = dir.Write("long.txt", bytes);
  CStdioFile::RegisterMemoryFile("long-in-memory.txt", bytes);
  for (const std::string& name : {path, std::string("long-in-memory.txt")}) {
    SCOPED_TRACE(name);
    CStdioFile file;
    ASSERT_TRUE(file.Open(name.c_str(), CStdioFile::modeRead | CStdioFile::typeText));
    file.SetMaxLineLength(nMax);
    CString line;
    ASSERT_EQ(zuCStringGetLine(file, line, kLineHint), ROL_OK);
    ASSERT_EQ(zuCStringGetLine(file, line, kLineHint), ROL_OK);
    EXPECT_TRUE(line.str() == atMax);
    EXPECT_EQ(zuCStringGetLine(file, line, kLineHint), ROL_LINE_TOO_LONG);
    EXPECT_TRUE(line.IsEmpty());
    EXPECT_EQ(zuCStringGetLine(file, line, kLineHint), ROL_LINE_TOO_LONG);
  }
  CStdioFile::UnregisterMemoryFile("long-in-memory.txt");
}

TEST(LineReader, SeekToBeginReadsAgainFromTheStart) {
  TempDir dir;
  CStdioFile file;
  ASSERT_TRUE(file.Open(dir.Write("log.txt", "one\ntwo\nthree").c_str(), CStdioFile::modeRead | CStdioFile::typeText));
  CString line;
  ASSERT_EQ(zuCStringGetLine(file, line, kLineHint), ROL_OK);
  ASSERT_EQ(zuCStringGetLine(file, line, kLineHint), ROL_OK);
  ASSERT_EQ(zuCStringGetLine(file, line, kLineHint), ROL_OK);
  EXPECT_TRUE(file.LastLineUnterminated());  // "three" has no line end
  file.SeekToBegin();
  EXPECT_FALSE(file.LastLineUnterminated());
  std::vector<std::string> again;
  while (zuCStringGetLine(file, line, kLineHint) == ROL_OK) {
    again.push_back(line.str());
    EXPECT_EQ(again.size() == 3, file.LastLineUnterminated()) << again.back();
  }
  EXPECT_EQ(again, (std::vector<std::string>{"one", "two", "three"}));
}

TEST(LineReader, MissingFilesAndFoldersDoNotOpen) {
  TempDir dir;
  CStdioFile file;
  EXPECT_FALSE(file.Open((dir.Path() + "/missing.h2m").c_str(), CStdioFile::modeRead | CStdioFile::typeText));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Open(dir.Path().c_str(), CStdioFile::modeRead | CStdioFile::typeText));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Open(nullptr, CStdioFile::modeRead));
  CString line;
  EXPECT_NE(zuCStringGetLine(file, line, kLineHint), ROL_OK);
}
}  // namespace
