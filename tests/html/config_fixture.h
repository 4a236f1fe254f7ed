#pragma once
// Small configurations written to temporary files and opened the way a
// request opens RULE_FILE.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "support/page_capture.h"
#include "support/temp_dir.h"

namespace cfgout::testing {

class ConfigFixture : public ::testing::Test {
 protected:
  void TearDown() override { cfg_.reset(); }

  // Opens `text` as the main configuration file.
  const ConfigHandle& Open(std::string_view text) {
    cfg_ = HTTPDConfigOpen(dir_.Write("main.conf", text));
    EXPECT_NE(cfg_, nullptr);
    return *cfg_;
  }

  TempDir dir_{"cfgout-html"};
  std::unique_ptr<ConfigHandle> cfg_;
};

}  // namespace cfgout::testing
