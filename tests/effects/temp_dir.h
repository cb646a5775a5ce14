// A fresh folder per test, removed afterwards, and a guard that runs a scope from another folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace pp::testing {

class TempDir {
  public:
    TempDir() {
        std::string pattern = ::testing::TempDir() + "pp_effects_XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed for " << pattern;
        path_ = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` exactly as given (no line-end translation) and returns the file's path.
    std::string Write(const std::string& name, std::string_view bytes) const {
        std::ofstream(path_ / name, std::ios::binary).write(bytes.data(), std::ssize(bytes));
        return (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

class InFolder {
  public:
    explicit InFolder(const std::filesystem::path& folder) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

  private:
    const std::filesystem::path previous_ = std::filesystem::current_path();
};

}  // namespace pp::testing
