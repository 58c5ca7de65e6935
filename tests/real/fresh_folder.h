// Real file-system tests work through relative paths in a fresh current
// folder of their own, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

struct InFreshFolder : ::testing::Test {
  std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("divro-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  void SetUp() override {
    std::filesystem::create_directory(dir);
    std::filesystem::current_path(dir);
  }
  void TearDown() override {
    std::filesystem::current_path(home);
    std::filesystem::remove_all(dir);
  }
};
