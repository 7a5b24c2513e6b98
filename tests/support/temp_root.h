#pragma once
// A fresh filesystem root for one test: a folder of its own with the
// directories the fixed paths need, removed again afterwards.
#include <string>

namespace testsupport {

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::string& path() const { return path_; }
  // path() + fixedPath, as the plug-in resolves it.
  std::string at(const std::string& fixedPath) const { return path_ + fixedPath; }
  // Writes a file below the root (directories are created).
  void write(const std::string& fixedPath, const std::string& content) const;
  std::string read(const std::string& fixedPath) const;
  bool exists(const std::string& fixedPath) const;

 private:
  std::string path_;
};

// Reads a whole file ("" when it cannot be read).
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

}  // namespace testsupport
