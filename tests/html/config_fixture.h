#pragma once
// Small configurations written to temporary files and opened the way a
// request opens RULE_FILE.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "runtime/page_output.h"

namespace cfgout::testing {

class ConfigFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "cfgout-html-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    cfg_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string WriteFile(const std::string& name, std::string_view text) {
    std::string path = (dir_ / name).string();
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
  }

  // Opens `text` as the main configuration file.
  const ConfigHandle& Open(std::string_view text) {
    cfg_ = HTTPDConfigOpen(WriteFile("main.conf", text));
    EXPECT_NE(cfg_, nullptr);
    return *cfg_;
  }

  std::filesystem::path dir_;
  std::unique_ptr<ConfigHandle> cfg_;
};

// Runs `write` with page output captured and returns what it wrote.
template <typename F>
std::string Captured(F&& write) {
  PageCapture capture;
  write();
  return capture.Take();
}

}  // namespace cfgout::testing
