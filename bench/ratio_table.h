// SPDX-License-Identifier: MIT
// Ratio tables after Google Benchmark's console table: a reporter that keeps
// each benchmark's CPU time (the machines are shared, so CPU rather than wall
// time), the median of the repetitions when --benchmark_repetitions is given,
// and a printer of rows "ours beside peers" with the time ratios ours ÷ peer
// (below 1: ours is faster).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter
{
  public:
    // Colours only on a terminal, so that saved outputs stay plain text.
    RatioReporter() : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular) {}

    // CPU nanoseconds per iteration of the named benchmark, 0 if it did not run.
    double ns(const std::string &name) const
    {
        auto m = medians_.find(name);
        if (m != medians_.end())
            return m->second;
        auto it = runs_.find(name);
        if (it == runs_.end() || it->second.empty())
            return 0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        size_t k = v.size() / 2;
        return v.size() % 2 ? v[k] : (v[k - 1] + v[k]) / 2;
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            double t = r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e9;
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                runs_[r.run_name.str()].push_back(t);
            else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medians_[r.run_name.str()] = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }

  private:
    std::map<std::string, std::vector<double>> runs_;
    std::map<std::string, double> medians_;
};

// One row: a label, then the benchmark names of ours and of each peer.
struct RatioRow {
    std::string label;
    std::vector<std::string> names;
};

// Prints the times (in units of `scale` ns, named `unit`) of each row's
// benchmarks and the ratios ours ÷ peer; heads names ours and the peers.
inline void print_ratio_table(const RatioReporter &rep, const std::vector<std::string> &heads,
                              const std::vector<RatioRow> &rows, const char *unit, double scale)
{
    std::printf("\n%-16s", "");
    for (const std::string &h : heads)
        std::printf(" %11s", (h + " " + unit).c_str());
    for (size_t k = 1; k < heads.size(); k++)
        std::printf(" %11s", (heads[0] + "/" + heads[k]).c_str());
    std::printf("\n");
    for (const RatioRow &row : rows) {
        double ours = rep.ns(row.names[0]);
        if (ours <= 0)
            continue;
        std::printf("%-16s", row.label.c_str());
        // The times, then ours over each peer's; "-" where a side has none.
        for (size_t k = 0; k < 2 * heads.size() - 1; k++) {
            size_t side = k < heads.size() ? k : k - heads.size() + 1;
            double t = side < row.names.size() ? rep.ns(row.names[side]) : 0;
            if (t > 0)
                std::printf(" %11.3f", k < heads.size() ? t / scale : ours / t);
            else
                std::printf(" %11s", "-");
        }
        std::printf("\n");
    }
}

// Registers ours ("qfloat/NAME") and MPFR's ("MPFR/NAME") benchmark of one
// case, each called with args, and their row of the ratio table.
template <class Ours, class Peer, class... Args>
void register_qfloat_mpfr(std::vector<RatioRow> &rows, const std::string &name, Ours ours, Peer peer,
                          Args... args)
{
    std::string q = "qfloat/" + name, m = "MPFR/" + name;
    benchmark::RegisterBenchmark(q.c_str(), ours, args...);
    benchmark::RegisterBenchmark(m.c_str(), peer, args...);
    rows.push_back({name, {q, m}});
}

// A ratio table's title, heads, rows and unit (scale ns each), and how to
// read its ratios (by default: below 1, ours is faster).
struct RatioTable {
    const char *title;
    std::vector<std::string> heads;
    std::vector<RatioRow> rows;
    const char *unit;
    double scale;
    std::string reading = "";
};

// Runs the registered benchmarks, then prints each table under its title
// (with the build's word size) and how to read it.
inline void run_and_print_ratio_tables(const std::vector<RatioTable> &tables)
{
    RatioReporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    for (const RatioTable &t : tables) {
        std::string reading =
            t.reading.empty() ? t.heads[0] + "/peer below 1: " + t.heads[0] + " is faster" : t.reading;
        std::printf("\n%s (%d-bit build); %s\n", t.title, (int)(8 * sizeof(void *)), reading.c_str());
        print_ratio_table(rep, t.heads, t.rows, t.unit, t.scale);
    }
    benchmark::Shutdown();
}

// The same for one table.
inline void run_and_print_ratios(const char *title, const std::vector<std::string> &heads,
                                 const std::vector<RatioRow> &rows, const char *unit, double scale,
                                 const std::string &reading = "")
{
    run_and_print_ratio_tables({{title, heads, rows, unit, scale, reading}});
}
