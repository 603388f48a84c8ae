#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace peers {

using Report = std::vector<std::pair<std::string, std::string>>;

// A peer's report: one "key hex(value)" per line.
inline Report ReadReport(const std::filesystem::path& path) {
  Report report;
  std::ifstream in(path);
  std::string key, hex;
  while (in >> key) {
    std::getline(in, hex);
    std::string value;
    for (size_t i = 1; i + 1 < hex.size(); i += 2) {
      value.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    report.emplace_back(key, value);
  }
  return report;
}

}  // namespace peers
