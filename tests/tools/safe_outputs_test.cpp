// Outputs never destroy inputs and never report a failure as success: an
// output that names an input (however spelt) is refused before anything is
// written, outputs appear only when complete, "-" is the standard output,
// a standard output that cannot be written fails the run, and samples that
// are not numbers are reported instead of turning the figures into noise.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <streambuf>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/tools/tool_fixture.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#endif

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// A recording of `channels` channels of a tone at 50 Hz in 1 kHz rows.
std::string toneBytes(uint32_t channels, int64_t rows) {
    return ToolTest::recordingBytesOf(channels, 1000.0, rows, [](int64_t r, uint32_t c) {
        return float((1.0 + c) * std::sin(2.0 * 3.141592653589793 * 50.0 * double(r) / 1000.0));
    });
}

class SafeOutputs : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        input_ = path("in.MRF");
        writeBytes(input_, toneBytes(2, 4096));
        original_ = readBytes(input_);
    }

    // The names in the test folder, sorted.
    std::vector<std::string> folder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::path(path("")))) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string input_;
    std::string original_;
};

TEST_F(SafeOutputs, OutputThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
    fs::create_directory(path("sub"));
    std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"results on the input", {"-o", input_, input_}},
        {"plot on the input, spelt with ./", {"-q", "--plot", path("./in.MRF"), input_}},
        {"spectrum through a folder and ..", {"--spectrum", path("sub/../in.MRF"), input_}},
        {"per-window on the second input", {"--per-window", input_, path("other.MRF"), input_}},
    };
    std::error_code error;
    fs::create_hard_link(input_, path("hard.MRF"), error);
    if (!error) cases.push_back({"a hard link to the input", {"-o", path("hard.MRF"), input_}});
#if !defined(_WIN32)
    fs::create_symlink(input_, path("soft.MRF"), error);
    if (!error) cases.push_back({"a symbolic link to the input", {"--plot", path("soft.MRF"), input_}});
#endif
    const std::vector<std::string> before = folder();
    for (const auto& [name, arguments] : cases) {
        SCOPED_TRACE(name);
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, kExitUsage) << result.err;
        EXPECT_NE(result.err.find("an output never replaces an input"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(readBytes(input_), original_);
        EXPECT_EQ(folder(), before);
    }
}

TEST_F(SafeOutputs, OutputsThatCollideAreRefused) {
    const std::string csv = path("a.csv");
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
        {"one file for two outputs", {"--spectrum", csv, "--per-window", path("./a.csv"), input_}},
        {"two outputs on the standard output", {"--spectrum", "-", "--plot", "-", "-o", path("r.txt"), input_}},
        {"the results and another on the standard output", {"--plot", "-", input_}},
    };
    for (const auto& [name, arguments] : cases) {
        SCOPED_TRACE(name);
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, kExitUsage) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(exists(csv));
        EXPECT_FALSE(exists(path("r.txt")));
    }
}

TEST_F(SafeOutputs, DashIsTheStandardOutputForEveryOutput) {
    const std::string results = path("results.txt");
    struct Case {
        const char* option;
        const char* starts;  // what the standard output begins with
    };
    const Case cases[] = {
        {"--spectrum", "file,channel,bin,frequency_hz"},
        {"--per-window", "file,channel,window,first_row,start_s,min_v"},
        {"--plot", "<?xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        const ToolRun result = run({"-o", results, c.option, "-", "-n", "1K", input_});
        EXPECT_EQ(result.exitCode, kExitDone) << result.err;
        EXPECT_EQ(result.out.rfind(c.starts, 0), 0u) << result.out.substr(0, 80);
        EXPECT_FALSE(exists("-"));
        EXPECT_FALSE(exists(path("-")));
        EXPECT_NE(readBytes(results).find("---- Channel"), std::string::npos);
    }
    const ToolRun direct = run({"-o", "-", "-n", "1K", input_});
    EXPECT_EQ(direct.exitCode, kExitDone) << direct.err;
    EXPECT_EQ(direct.out.rfind("---- Channel", 0), 0u);
}

TEST_F(SafeOutputs, RunWithoutResultsLeavesNoOutputFile) {
    // The only input cannot be analysed: no output is made, and one that
    // existed keeps its bytes; no temporary file stays behind.
    const std::string kept = path("kept.svg");
    writeBytes(kept, "earlier plot");
    writeBytes(path("short.MRF"), toneBytes(1, 100));
    const std::vector<std::string> before = folder();
    const ToolRun result = run({"-n", "1K", "-o", path("r.txt"), "--spectrum", path("s.csv"), "--per-window",
                                path("w.csv"), "--plot", kept, path("short.MRF")});
    EXPECT_EQ(result.exitCode, kExitFailed);
    EXPECT_NE(result.err.find("longer than the recording"), std::string::npos) << result.err;
    EXPECT_EQ(folder(), before);
    EXPECT_EQ(readBytes(kept), "earlier plot");
}

TEST_F(SafeOutputs, CompleteOutputsReplaceTheirFilesWithoutTemporaries) {
    const std::string plot = path("p.svg");
    writeBytes(plot, "earlier plot");
    const ToolRun result = run({"-n", "1K", "--plot", plot, "-o", path("r.csv"), "--csv", input_});
    ASSERT_EQ(result.exitCode, kExitDone) << result.err;
    EXPECT_EQ(readBytes(plot).rfind("<?xml", 0), 0u);
    EXPECT_EQ(folder(), (std::vector<std::string>{"in.MRF", "p.svg", "r.csv"}));
}

// A stream buffer that takes nothing, as a full disk or closed pipe.
class RefusingBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST_F(SafeOutputs, StandardOutputThatFailsFailsTheRun) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-n", "1K", input_}, {"--json", "-n", "1K", input_}, {"--list-windows"}}) {
        SCOPED_TRACE(arguments[0]);
        RefusingBuffer refusing;
        std::ostream out(&refusing);
        std::ostringstream err;
        std::vector<const char*> argv = {"quorvel-analyse"};
        for (const std::string& a : arguments) argv.push_back(a.c_str());
        const int code = runQuorvelAnalyse(static_cast<int>(argv.size()), argv.data(), out, err, false);
        if (arguments[0] == "--list-windows") continue;  // main checks it (below)
        EXPECT_EQ(code, kExitFailed);
        EXPECT_NE(err.str().find("the standard output could not be written completely"), std::string::npos)
            << err.str();
    }
}

TEST_F(SafeOutputs, NonFiniteSamplesAreCountedAndTheirWindowsLeftOut) {
    // Four windows of 1K; channel 2 holds NaN and an infinity in the third.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto tone = [](int64_t r, uint32_t c) {
        return float((1.0 + c) * std::sin(2.0 * 3.141592653589793 * 50.0 * double(r) / 1000.0));
    };
    writeBytes(path("bad.MRF"), recordingBytesOf(2, 1000.0, 4096, [&](int64_t r, uint32_t c) {
                   if (c == 1 && r == 2100) return nan;
                   if (c == 1 && r == 2500) return -inf;
                   return tone(r, c);
               }));
    // The same file without its third window: what the analysis must see.
    writeBytes(path("good.MRF"), recordingBytesOf(2, 1000.0, 3072, [&](int64_t r, uint32_t c) {
                   return tone(r < 2048 ? r : r + 1024, c);
               }));
    const ToolRun bad = run({"--json", "-n", "1K", "-w", "12", "-a", "4", path("bad.MRF")});
    const ToolRun good = run({"--json", "-n", "1K", "-w", "12", "-a", "4", path("good.MRF")});
    ASSERT_EQ(bad.exitCode, kExitDone) << bad.err;
    ASSERT_EQ(good.exitCode, kExitDone) << good.err;
    EXPECT_NE(bad.err.find("channel 2: 2 samples are not a finite number (NaN or infinite), the first at row 2100 "
                           "(2.1 s)"),
              std::string::npos)
        << bad.err;
    EXPECT_NE(bad.err.find("1 window holds samples that are not finite numbers"), std::string::npos) << bad.err;
    json badRecords = json::parse(bad.out);
    json goodRecords = json::parse(good.out);
    ASSERT_EQ(badRecords.size(), 2u);
    for (size_t c = 0; c < 2; ++c) {
        SCOPED_TRACE(c + 1);
        badRecords[c].erase("file");
        goodRecords[c].erase("file");
        EXPECT_EQ(badRecords[c], goodRecords[c]);
        EXPECT_EQ(badRecords[c]["windows"], 3);
        EXPECT_NEAR(badRecords[c]["freq_hz"].get<double>(), 50.0, 0.5);
    }

    // Nothing but bad windows: an error, not figures.
    writeBytes(path("nan.MRF"), recordingBytesOf(1, 1000.0, 1024, [&](int64_t, uint32_t) { return nan; }));
    const ToolRun none = run({"-n", "1K", path("nan.MRF")});
    EXPECT_EQ(none.exitCode, kExitFailed);
    EXPECT_NE(none.err.find("no window without samples that are not finite numbers"), std::string::npos) << none.err;
}

TEST_F(SafeOutputs, ToneNotFoundIsSaid) {
    writeBytes(path("zero.MRF"), recordingBytesOf(1, 1000.0, 1024, [](int64_t, uint32_t) { return 0.0f; }));
    const ToolRun result = run({"-n", "1K", path("zero.MRF")});
    EXPECT_EQ(result.exitCode, kExitDone) << result.err;
    EXPECT_NE(result.err.find("channel 1: no tone found"), std::string::npos) << result.err;
}

TEST_F(SafeOutputs, HelpAndNumberMessagesSayWhatIsMeant) {
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, kExitDone);
    for (const char* text :
         {"Exit codes:", "0  done", "1  a file could not be read", "2  the command line is wrong", "=Rectangle"}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << text << " in\n" << help.out;
    }
    EXPECT_EQ(help.out.find("=0 "), std::string::npos) << help.out;
    const ToolRun letters = run({"--averaging", "x", input_});
    EXPECT_EQ(letters.exitCode, kExitUsage);
    EXPECT_NE(letters.err.find("'x' is not a whole number"), std::string::npos) << letters.err;
    const ToolRun large = run({"--averaging", "41", input_});
    EXPECT_NE(large.err.find("41 is not in the range 1 to 40"), std::string::npos) << large.err;
}

TEST_F(SafeOutputs, RecordNeverReplacesItsSettingsOrLeavesAShortFile) {
    const std::string config = boardSettings("SimBoard.cfg", {"Channels = 1", "Rate = 1000"});
    const std::string settings = readBytes(config);
    const ToolRun onSettings = run({"record", "--config", config, "--seconds", "1", path("./SimBoard.cfg")});
    EXPECT_EQ(onSettings.exitCode, kExitUsage) << onSettings.err;
    EXPECT_EQ(readBytes(config), settings);

    // A recording into a folder that does not exist leaves nothing.
    const ToolRun nowhere = run({"record", "--config", config, "--seconds", "1", path("none/x.MRF")});
    EXPECT_EQ(nowhere.exitCode, kExitFailed);
    EXPECT_FALSE(exists(path("none")));
}

#if !defined(_WIN32)
// A file size limit reached half way (ulimit -f): exit 1 and no file that
// looks like a whole recording, an earlier one of the name kept. Run in a
// child process, since the limit is the process's.
TEST_F(SafeOutputs, RecordCutShortLeavesThePreviousFile) {
    const std::string config =
        boardSettings("SimBoard.cfg", {"Channels = 2", "Rate = 200000", "Ch0Noise = 0", "Ch1Noise = 0"});
    const std::string target = path("cut.MRF");
    writeBytes(target, "an earlier recording");
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {200000, 200000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const ToolRun made = run({"record", "--config", config, "--seconds", "2", target});
        const bool said = made.err.find("cannot be written") != std::string::npos;
        _exit(made.exitCode == kExitFailed && said ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes(target), "an earlier recording");
    const std::vector<std::string> names = folder();
    EXPECT_EQ(names, (std::vector<std::string>{"SimBoard.cfg", "cut.MRF", "in.MRF"}));
}
#endif

}  // namespace
