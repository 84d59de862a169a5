// Speed of transcript reading: the full parse of a generated 100 MB Claude Code transcript, a
// tailer catching up with the same 100 MB appended at once, and the first delivery of a tailer
// freshly opened on it. Prints figures and their ratio to the targets. The catch-up is timed from
// the end of the write: change notices reach the tailer through this thread's event loop, so it
// reads nothing while the write is in progress.

#include "BenchReport.h"
#include "Core/QtScheduler.h"
#include "Ingestion/TranscriptParser.h"
#include "Ingestion/TranscriptSnapshot.h"
#include "Ingestion/TranscriptTailer.h"
#include "Platform/Linux/InotifyFileWatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTargetBytes = 100u << 20;
constexpr double kTargetMegabytesPerSecond = 500.0;
constexpr int kRuns = 5;
constexpr double kTargetFirstDeliveryMs = 500.0;

// JSON text of a source file as a tool result carries it: escaped quotes, tabs and line feeds.
std::string sourceText(std::mt19937& random, std::size_t lines)
{
    static const char* const samples[] = {
        "    const auto value = compute(\\\"alpha\\\", index);\\n",
        "\\tif (!result.ok()) return Status::failed(\\\"cannot open\\\");\\n",
        "// The cache keeps the last 64 entries so that repeated lookups stay cheap.\\n",
        "    for (std::size_t i = 0; i < items.size(); ++i) total += items[i].weight;\\n",
        "}\\n",
        "export function render(props) { return <Row title={props.title} />; }\\n",
        "    43\\u2192    return fmt.Errorf(\\\"read %s: %w\\\", path, err)\\n",
    };
    std::string text;
    for (std::size_t i = 0; i < lines; ++i)
        text += samples[random() % std::size(samples)];
    return text;
}

std::string header(int turn, const char* type)
{
    return std::string(R"({"parentUuid":"8c0e6a4e-8e36-4d5c-9a0b-)") + std::to_string(100000000000 + turn) +
           R"(","isSidechain":false,"userType":"external","cwd":"/home/dev/project","sessionId":)"
           R"("5b1d2c3e-4f50-6172-8394-a5b6c7d8e9f0","version":"2.0.14","gitBranch":"main","type":")" +
           type + R"(",)";
}

std::string trailer(int turn)
{
    return R"(,"uuid":"1a2b3c4d-5e6f-7081-92a3-)" + std::to_string(200000000000 + turn) +
           R"(","timestamp":"2025-10-01T12:00:00.000Z"})" + "\n";
}

// Turns as Claude Code writes them: a prompt now and then, assistant text and a tool call with
// usage, the tool's result (mostly file contents, some long), and an occasional title.
std::string generateTranscript(std::size_t bytes, int& toolResults)
{
    std::mt19937 random(42);
    std::string out;
    out.reserve(bytes + (1u << 20));
    toolResults = 0;
    for (int turn = 0; out.size() < bytes; ++turn) {
        if (turn % 25 == 0)
            out +=
                header(turn, "user") +
                R"("message":{"role":"user","content":"Please fix the failing parser tests and explain what was wrong."})" +
                trailer(turn);
        if (turn % 40 == 0)
            out += R"({"type":"ai-title","aiTitle":"Fix failing parser tests","sessionId":"5b1d2c3e"})"
                   "\n";
        const int input = 40000 + turn % 5000;
        out +=
            header(turn, "assistant") +
            R"("message":{"id":"msg_01XYZ","type":"message","role":"assistant","model":"claude-sonnet-4-5-20250929",)"
            R"("content":[{"type":"text","text":"I'll read the parser and run its tests to see what fails."},)"
            R"({"type":"tool_use","id":"toolu_01ABC","name":"Read","input":{"file_path":"/home/dev/project/src/parser.cpp"}}],)"
            R"("stop_reason":"tool_use","stop_sequence":null,"usage":{"input_tokens":4,"cache_creation_input_tokens":812,)"
            R"("cache_read_input_tokens":)" +
            std::to_string(input) +
            R"(,"output_tokens":120,"service_tier":"standard"}},"requestId":"req_011")" + trailer(turn);
        const std::size_t lines = (random() % 10 == 0) ? 800 : 20 + random() % 120;
        const std::string text = sourceText(random, lines);
        out +=
            header(turn, "user") +
            R"("message":{"role":"user","content":[{"tool_use_id":"toolu_01ABC","type":"tool_result","content":")" +
            text +
            R"("}]},"toolUseResult":{"type":"text","file":{"filePath":"/home/dev/project/src/parser.cpp","content":")" +
            text + R"(","numLines":)" + std::to_string(lines) + "}}" + trailer(turn);
        ++toolResults;
    }
    return out;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double megabytes(std::size_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void report(const char* what, double value, const char* unit, double target, bool higherIsBetter)
{
    bench::row(what, value, unit, target, higherIsBetter);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int toolResults = 0;
    const std::string transcript = generateTranscript(kTargetBytes, toolResults);
    std::printf("generated Claude-style transcript: %.1f MB, %d tool results\n", megabytes(transcript.size()),
                toolResults);

    // 1. The parse itself: cut into lines, parse each, fold the items.
    {
        std::vector<double> speeds;
        TranscriptSnapshot snapshot;
        for (int run = 0; run < kRuns; ++run) {
            snapshot = {};
            const auto start = std::chrono::steady_clock::now();
            std::string_view rest(transcript);
            while (!rest.empty()) {
                const auto end = rest.find('\n');
                for (const auto& item : TranscriptParser::parse(rest.substr(0, end)))
                    snapshot.apply(item);
                rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            }
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            speeds.push_back(megabytes(transcript.size()) / seconds);
        }
        if (snapshot.toolResultCount != toolResults) {
            std::fprintf(stderr, "parse counted %lld tool results, expected %d\n",
                         static_cast<long long>(snapshot.toolResultCount), toolResults);
            return 1;
        }
        report("transcript parse of 100 MB in memory, Claude Code lines (median of 5)", median(speeds),
               "MB/s", kTargetMegabytesPerSecond, true);
    }

    char pattern[] = "/tmp/velquist-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const fs::path folder(pattern);
    const fs::path file = folder / "session.jsonl";
    InotifyFileWatcher watcher;
    QtScheduler scheduler;
    int status = 0;

    // 2. A running tailer catching up when the whole transcript is appended in one go.
    std::vector<double> catchUps;
    for (int run = 0; run < kRuns && status == 0; ++run) {
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            << header(0, "user") << R"("message":{"role":"user","content":[{"type":"tool_result"}]})"
            << trailer(0);
        std::optional<TranscriptSnapshot> last;
        TranscriptTailer tailer(
            file, TranscriptParser::parse, [&](const TranscriptSnapshot& s) { last = s; }, watcher,
            scheduler);
        if (!bench::runUntil([&] { return last.has_value(); }))
            return 1;
        QElapsedTimer write;
        write.start();
        std::ofstream(file, std::ios::binary | std::ios::app) << transcript;
        std::printf("  (write took %.0f ms, not counted)\n", static_cast<double>(write.nsecsElapsed()) / 1e6);
        QElapsedTimer timer;
        timer.start();
        const bool caughtUp = bench::runUntil([&] { return last->toolResultCount == toolResults + 1; });
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        if (!caughtUp) {
            std::fprintf(stderr, "tailer did not catch up\n");
            status = 1;
        } else {
            catchUps.push_back(megabytes(transcript.size()) / seconds);
        }
    }
    if (status == 0) {
        std::printf("  catch-up runs:");
        for (const double speed : catchUps)
            std::printf(" %.0f", speed);
        std::printf(" MB/s\n");
        report("transcript tailer catch-up after 100 MB appended, timed from the write's end (median of 5)",
               median(catchUps), "MB/s", kTargetMegabytesPerSecond, true);
    }

    // 3. A tailer opened on the finished 100 MB file: time to its first snapshot.
    {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << transcript;
        double worst = 0;
        for (int run = 0; run < 5; ++run) {
            std::optional<TranscriptSnapshot> first;
            QElapsedTimer timer;
            timer.start();
            TranscriptTailer tailer(
                file, TranscriptParser::parse,
                [&](const TranscriptSnapshot& s) {
                    if (!first)
                        first = s;
                },
                watcher, scheduler);
            if (!bench::runUntil([&] { return first.has_value(); })) {
                status = 1;
                break;
            }
            worst = std::max(worst, static_cast<double>(timer.nsecsElapsed()) / 1e6);
        }
        report("transcript tailer first delivery on a finished 100 MB file (worst of 5)", worst, "ms",
               kTargetFirstDeliveryMs, false);
    }

    fs::remove_all(folder);
    return status;
}
