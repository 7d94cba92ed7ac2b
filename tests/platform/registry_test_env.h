// Points the registry store at a fresh temporary folder for the life of a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class RegistryDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nuv-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("NUV_REGISTRY_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("NUV_REGISTRY_DIR");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string dir_;
};
