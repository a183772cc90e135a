#include "FileCheck.h"

#include <filesystem>
#include <system_error>

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}
