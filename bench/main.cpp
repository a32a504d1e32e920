// Runs every benchmark and closes with the ratios that the speed targets are about,
// each against a baseline measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                const auto counter = run.counters.find("per_frame");
                if (counter != run.counters.end()) perFrame_[run.run_name.function_name] = counter->second.value;
                realTime_[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto render = perFrame_.find("BM_RenderAudio");
        const auto baseline = perFrame_.find("BM_FilterRecursionBaseline");
        if (render != perFrame_.end() && baseline != perFrame_.end()) {
            std::printf("\nRenderAudio per frame (median): %.3f ns\n", render->second * 1e9);
            std::printf("Filter recursion per frame (median): %.3f ns\n", baseline->second * 1e9);
            std::printf("Ratio: %.2fx (target <= 1.50x)\n", render->second / baseline->second);
        }
        const auto exportRender = perFrame_.find("BM_ExportRenderLongestNote");
        const auto alone = perFrame_.find("BM_RendererAloneLongestNote");
        if (exportRender != perFrame_.end() && alone != perFrame_.end()) {
            std::printf("\nLongest note, export render per frame (median): %.3f ns\n", exportRender->second * 1e9);
            std::printf("Longest note, renderer alone per frame (median): %.3f ns\n", alone->second * 1e9);
            std::printf("Ratio: %.2fx (target <= 1.50x)\n", exportRender->second / alone->second);
        }
        const auto flac = realTime_.find("BM_ExportLongestNoteToFlac");
        if (flac != realTime_.end()) {
            std::printf("Longest note, whole export to FLAC (median): %.1f ms (target < 100 ms)\n", flac->second);
        }
    }

private:
    std::map<std::string, double> perFrame_;
    std::map<std::string, double> realTime_;   // in each benchmark's own time unit
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
