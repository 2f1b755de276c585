#pragma once
// A fresh directory under /tmp, removed with everything in it at scope end.

#include <filesystem>
#include <string>

namespace tavrix::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `content` to `name` inside the directory and returns its path.
  std::filesystem::path write(const std::string& name, const std::string& content, bool executable = false) const;

 private:
  std::filesystem::path path_;
};

// The whole content of a file, or empty text when it cannot be read.
std::string read_file(const std::filesystem::path& path);

}  // namespace tavrix::test
