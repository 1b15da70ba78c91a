// A private temporary folder for one test, removed with everything in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <stdlib.h>

class TempDir {
 public:
  TempDir() : m_path((std::filesystem::temp_directory_path() / "keltest.XXXXXX").string()) {
    if (!::mkdtemp(m_path.data())) ADD_FAILURE() << "no temporary folder: " << m_path;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return m_path; }

  // Writes the bytes exactly as given and returns the file's path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string path = m_path + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << path;
    return path;
  }

 private:
  std::string m_path;
};
