#pragma once
// A temporary directory for tests that write files, removed with everything in
// it when the test ends, and whole-file helpers that do not go through the
// code under test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        std::random_device random;
        for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
            const fs::path candidate = fs::temp_directory_path() / ("quorvel-test-" + std::to_string(random()));
            std::error_code error;
            if (fs::create_directory(candidate, error)) dir_ = candidate;
        }
        ASSERT_FALSE(dir_.empty()) << "no temporary directory could be created";
    }

    void TearDown() override {
        std::error_code error;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, error);
    }

    // Full name of a file in the temporary directory.
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    static void writeBytes(const std::string& fileName, const std::string& bytes) {
        std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << "cannot write " << fileName;
    }

    static std::string readBytes(const std::string& fileName) {
        std::ifstream in(fileName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static bool exists(const std::string& fileName) {
        std::error_code error;
        return std::filesystem::exists(fileName, error);
    }

private:
    std::filesystem::path dir_;
};
