// A fresh directory for one file test, removed with its content afterwards.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "runtime/files.h"

class ScratchDir {
 public:
  ScratchDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("zorvan-rt-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
    dir_ = path_.string() + PathSeparator();
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The directory, ending in the separator.
  const std::string& Dir() const { return dir_; }
  std::string PathOf(const std::string& name) const { return dir_ + name; }

  // Plain stream I/O, so that checks do not lean on the code under test.
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(PathOf(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path path_;
  std::string dir_;
};
