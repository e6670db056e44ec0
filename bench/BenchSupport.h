#pragma once
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

// Times work against the platform calls it cannot avoid: both run side by side, round after
// round, and the table shows medians, their spread, the ratio with its interval and whether
// the target holds.
namespace bench {

inline double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Summary {
    double median, low, high; // microseconds per iteration
};

inline Summary Summarize(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return {samples[n / 2], samples[n / 10], samples[n - 1 - n / 10]};
}

// What a comparison found: each side's time, and the ratio of ours to the floor, taken round
// by round (the two ran side by side under the same load), with the median and its 95%
// interval.
struct Comparison {
    Summary ours, floor;
    double ratio, low, high;
};

// The 95% interval of the median by resampling the rounds, from a fixed seed: the same rounds
// give the same interval.
inline void MedianInterval(const std::vector<double>& values, double& low, double& high) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<size_t> pick(0, values.size() - 1);
    std::vector<double> medians;
    std::vector<double> sample(values.size());
    for (int draw = 0; draw < 2000; ++draw) {
        for (double& value : sample)
            value = values[pick(random)];
        std::nth_element(sample.begin(), sample.begin() + sample.size() / 2, sample.end());
        medians.push_back(sample[sample.size() / 2]);
    }
    std::sort(medians.begin(), medians.end());
    low = medians[medians.size() * 25 / 1000];
    high = medians[medians.size() * 975 / 1000];
}

// Runs ours and the floor `rounds` times `iterations` each, taking turns at going first: a
// machine that is busy for a while weighs on both sides alike.
template <typename Ours, typename Floor>
Comparison Compare(int rounds, int iterations, Ours ours, Floor floor) {
    const auto time = [iterations](auto& work) {
        const double start = Now();
        for (int i = 0; i < iterations; ++i)
            work();
        return (Now() - start) * 1e6 / iterations;
    };
    std::vector<double> mine, base, ratios;
    for (int round = 0; round < rounds; ++round) {
        const double first = round % 2 ? time(floor) : time(ours);
        const double second = round % 2 ? time(ours) : time(floor);
        mine.push_back(round % 2 ? second : first);
        base.push_back(round % 2 ? first : second);
        ratios.push_back(mine.back() / base.back());
    }
    Comparison found = {Summarize(mine), Summarize(base), Summarize(ratios).median, 0, 0};
    MedianInterval(ratios, found.low, found.high);
    return found;
}

// Collects table rows, prints them and writes them as Markdown.
class Table {
public:
    Table(const char* title, const char* target) : m_title(title), m_target(target) {}

    // A row, and whether its target holds: the whole interval at or below it ("holds"), the
    // whole interval above it ("misses"), or the run cannot tell ("unsure").
    void Row(const std::string& what, const Comparison& found, double target) {
        const char* verdict = found.high <= target ? "holds"
                              : found.low > target ? "misses"
                                                   : "unsure";
        char line[512];
        snprintf(line, sizeof(line),
                 "| %s | %.1f (%.1f–%.1f) | %.1f (%.1f–%.1f) | %.2f (%.2f–%.2f) | ≤ %.2f: %s |",
                 what.c_str(), found.ours.median, found.ours.low, found.ours.high,
                 found.floor.median, found.floor.low, found.floor.high, found.ratio, found.low,
                 found.high, target, verdict);
        m_rows.push_back(line);
    }
    void Note(const std::string& line) { m_notes.push_back(line); }

    void Emit(const char* markdownPath) const {
        std::string text = "### " + m_title + "\n\n" + m_target + "\n\n";
        if (!m_rows.empty()) {
            text += "| case | ours, µs (p10–p90) | floor, µs (p10–p90) | ratio (95% interval) | "
                    "target |\n";
            text += "|---|---|---|---|---|\n";
            for (const std::string& row : m_rows)
                text += row + "\n";
        }
        for (const std::string& note : m_notes)
            text += note + "\n";
        fwrite(text.data(), 1, text.size(), stdout);
        if (markdownPath) {
            if (FILE* file = fopen(markdownPath, "wb")) {
                fwrite(text.data(), 1, text.size(), file);
                fclose(file);
            }
        }
        printf("\nbench complete\n");
    }

private:
    std::string m_title, m_target;
    std::vector<std::string> m_rows, m_notes;
};

// The folder of the running program, with its final backslash.
inline std::string Folder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\')
        --length;
    return std::string(path, length);
}

// Options: --quick for one small round, --markdown FILE for the table.
struct Options {
    bool quick = false;
    const char* markdown = nullptr;
    Options(int argc, char** argv) {
        for (int i = 1; i < argc; ++i) {
            if (!lstrcmpA(argv[i], "--quick"))
                quick = true;
            else if (!lstrcmpA(argv[i], "--markdown") && i + 1 < argc)
                markdown = argv[++i];
        }
    }
};

} // namespace bench
