#include "axgenetic/platform/files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>

#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"

namespace ax {
namespace {

namespace fs = std::filesystem;

// A fresh directory of its own for each test, removed afterwards.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() /
               ("axgenetic_files_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FDir);
        fs::create_directories(FDir);
    }
    void TearDown() override { fs::remove_all(FDir); }
    std::string PathOf(const std::string& Name) const { return (FDir / Name).string(); }

    fs::path FDir;
};

TEST_F(FilesTest, CreateWritesBinaryOverAnOldFile) {
    const std::string Name = PathOf("data.bin");
    {
        auto Out = CreateFileStream(Name);
        Out << "first version, long\r\n";
    }
    {
        auto Out = CreateFileStream(Name); // an existing file is truncated
        Out.write("a\r\n\0b", 5);
    }
    auto In = OpenFileStream(Name);
    const std::string Back((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    EXPECT_EQ(Back, std::string("a\r\n\0b", 5));
}

TEST_F(FilesTest, FailuresNameTheFileWithTheReason) {
    // Both are library errors, which a host catches in one place.
    const auto Expect = [](auto&& Call, const std::string& Message) {
        ExpectError<Exception>(Call, Message);
    };
    const std::string Dir = FDir.string(), Missing = PathOf("missing.xml");
    const std::string NoDir = PathOf("no_such_dir/out.xml");
    Expect([&] { OpenFileStream(Missing); },
           "Cannot open file \"" + Missing + "\". No such file or directory");
    Expect([&] { OpenFileStream(Dir); }, "Cannot open file \"" + Dir + "\". Is a directory");
    Expect([&] { CreateFileStream(NoDir); },
           "Cannot create file \"" + NoDir + "\". No such file or directory");
    Expect([&] { CreateFileStream(Dir); }, "Cannot create file \"" + Dir + "\". Is a directory");
    EXPECT_THROW(OpenFileStream(Missing), EFOpenError);
    EXPECT_THROW(CreateFileStream(Dir), EFCreateError);
    EXPECT_FALSE(fs::exists(NoDir));
}

} // namespace
} // namespace ax
