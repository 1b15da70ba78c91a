// A private temporary folder for one test, removed with everything in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <stdlib.h>

class TempDir {
 public:
  TempDir() : m_path((std::filesystem::temp_directory_path() / "kelhost.XXXXXX").string()) {
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
    std::string path = m_path + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

 private:
  std::string m_path;
};
