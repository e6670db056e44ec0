#pragma once
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <string>
#include <vector>

// Times work against the platform calls it cannot avoid: both run side by side, round after
// round, and the table shows medians, their spread and the ratio.
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

// Runs ours and the floor alternately, `rounds` times `iterations` each.
template <typename Ours, typename Floor>
std::pair<Summary, Summary> Compare(int rounds, int iterations, Ours ours, Floor floor) {
    std::vector<double> mine, base;
    for (int round = 0; round < rounds; ++round) {
        double start = Now();
        for (int i = 0; i < iterations; ++i)
            ours();
        mine.push_back((Now() - start) * 1e6 / iterations);
        start = Now();
        for (int i = 0; i < iterations; ++i)
            floor();
        base.push_back((Now() - start) * 1e6 / iterations);
    }
    return {Summarize(mine), Summarize(base)};
}

// Collects table rows, prints them and writes them as Markdown.
class Table {
public:
    Table(const char* title, const char* target) : m_title(title), m_target(target) {}

    void Row(const std::string& what, const Summary& ours, const Summary& floor) {
        char line[512];
        snprintf(line, sizeof(line), "| %s | %.1f (%.1f–%.1f) | %.1f (%.1f–%.1f) | %.2f |",
                 what.c_str(), ours.median, ours.low, ours.high, floor.median, floor.low,
                 floor.high, ours.median / floor.median);
        m_rows.push_back(line);
    }
    void Note(const std::string& line) { m_notes.push_back(line); }

    void Emit(const char* markdownPath) const {
        std::string text = "### " + m_title + "\n\n" + m_target + "\n\n";
        if (!m_rows.empty()) {
            text += "| case | ours, µs (p10–p90) | floor, µs (p10–p90) | ratio |\n";
            text += "|---|---|---|---|\n";
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
