#pragma once
// A fresh filesystem root for one test, with the directories the fixed
// paths need, removed again afterwards.
#include <cstddef>
#include <string>

namespace testsupport {

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;
  const std::string& path() const { return path_; }
  std::string at(const std::string& fixedPath) const { return path_ + fixedPath; }  // as the plug-in resolves it
  void write(const std::string& fixedPath, const std::string& content) const;  // creates the folders
  std::string read(const std::string& fixedPath) const;
  bool exists(const std::string& fixedPath) const;

 private:
  std::string path_;
};

std::string readFile(const std::string& path);  // "" when it cannot be read
void writeFile(const std::string& path, const std::string& content);
long openDescriptors();  // of this process: a read that leaks one shows here
std::size_t heapInUse();  // bytes this process holds on the heap: a list kept after its end shows here

}  // namespace testsupport
