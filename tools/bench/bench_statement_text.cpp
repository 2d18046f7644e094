// Speed and memory of PrepareStatementText on large, realistic SQL text, and
// the time that breaking the lines too long for SQL*Plus adds to it.
//
// Prepares 1, 16 and 64 MiB of UTF-16 SQL script (multi-line statements,
// indentation, trailing spaces, blank lines, "==" separator lines, Japanese
// names and comments) with separator lines dropped and kept, beside a plain
// baseline pass over the same text: a copy, line by line, found by searching
// for CR LF. After the benchmark table it prints plain summary lines: MB/s
// of each pass, preparation as a fraction of the baseline (aim: at least
// 1/3), the time for 64 MiB over the time for 16 MiB (aim: about 4.5 at
// most, i.e. linear), and memory (result capacity against input, peak RSS).
//
// The breaking (sqlplus_lines::FitLines) runs on 10 MB (10^7 bytes of
// UTF-16) after the preparation, beside the preparation alone, on two texts:
// the script with an IN list of 1,600 ids on one line (8.5 KB) after every
// 50th statement, and one IN list of 10 MB on one line. The summary gives
// both times and the time the breaking adds.
//
// Each size runs three times and the summary keeps the best run, in wall
// time and in this thread's CPU time; on a shared, loaded machine the CPU
// time is the steadier figure.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "sqlplus_lines.h"
#include "statement_text.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
const int kSizesMiB[] = {1, 16, 64};

// A small deterministic generator, so every run prepares the same text.
std::uint32_t NextRandom(std::uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return seed >> 8;
}

const char16_t* Pick(std::uint32_t& seed, const char16_t* const* items, std::size_t count) {
  return items[NextRandom(seed) % count];
}

// Appends one statement (or PL/SQL block) of several lines, each ended by
// CR LF, with the untidiness people paste: indentation, trailing spaces,
// blank lines inside, comments, and now and then a separator line before it.
void AppendStatement(std::u16string& out, std::uint32_t& seed) {
  static const char16_t* const tables[] = {u"emp", u"dept", u"社員", u"部署マスタ", u"受注明細", u"t_order_history"};
  static const char16_t* const columns[] = {u"empno",    u"ename", u"sal",    u"社員番号", u"氏名",
                                            u"部署コード", u"amount", u"created_at", u"更新日時"};
  static const char16_t* const comments[] = {u"-- 月次集計用", u"-- check the totals first", u"/* 確認済み */",
                                             u"rem 退職者を除く"};
  const auto table = [&] { return Pick(seed, tables, sizeof tables / sizeof tables[0]); };
  const auto column = [&] { return Pick(seed, columns, sizeof columns / sizeof columns[0]); };
  const auto trailing = [&] { return NextRandom(seed) % 4 == 0 ? u"   " : u""; };
  const auto line = [&](const std::u16string& s) {
    out += s;
    out += trailing();
    out += u"\r\n";
  };

  const std::uint32_t kind = NextRandom(seed) % 10;
  if (kind == 0) line(u"==== " + std::u16string(table()) + u" の確認 ====");
  if (NextRandom(seed) % 3 == 0) line(comments[NextRandom(seed) % (sizeof comments / sizeof comments[0])]);
  switch (NextRandom(seed) % 4) {
    case 0:
      line(u"select " + std::u16string(column()) + u", " + column() + u",");
      line(u"       " + std::u16string(column()));
      line(u"  from " + std::u16string(table()) + u" a");
      if (NextRandom(seed) % 2) line(u"");
      line(u" where a." + std::u16string(column()) + u" = '東京都'");
      line(u"   and a." + std::u16string(column()) + u" > 1000");
      line(u" order by 1;");
      break;
    case 1:
      line(u"insert into " + std::u16string(table()) + u" (" + column() + u", " + column() + u")");
      line(u"  values (42, '山田 太郎');");
      break;
    case 2:
      line(u"update " + std::u16string(table()));
      line(u"   set " + std::u16string(column()) + u" = " + column() + u" * 1.05");
      line(u" where " + std::u16string(column()) + u" in (select " + column() + u" from " + table() + u")");
      break;  // left unterminated, as people do
    default:
      line(u"begin");
      line(u"  for r in (select * from " + std::u16string(table()) + u") loop");
      line(u"    dbms_output.put_line(r." + std::u16string(column()) + u");");
      line(u"  end loop;");
      line(u"end;");
      line(u"/");
      break;
  }
  if (NextRandom(seed) % 2) line(u"");
  if (NextRandom(seed) % 8 == 0) line(u"    ");
}

// A script of about sizeMiB MiB of UTF-16 (two bytes per code unit), made
// without growing past its final size, so the peak memory below is the
// texts' own.
std::u16string MakeScript(int sizeMiB) {
  const std::size_t units = sizeMiB * kMiB / sizeof(char16_t);
  std::u16string out;
  out.reserve(units + 4096);
  std::uint32_t seed = 20240601u;
  while (out.size() < units) AppendStatement(out, seed);
  out.resize(units);
  return out;
}

const std::u16string& Script(int sizeMiB) {
  static std::map<int, std::u16string> scripts;
  auto it = scripts.find(sizeMiB);
  if (it == scripts.end()) it = scripts.emplace(sizeMiB, MakeScript(sizeMiB)).first;
  return it->second;
}

// 10 MB of text to break: the script with a long IN list line after every
// 50th statement, or one IN list on a single line.
constexpr std::size_t kTenMbUnits = 10 * 1000 * 1000 / sizeof(char16_t);

// ", "-separated ids from 1 on, `units` long at least.
std::u16string Ids(std::size_t count, std::size_t units = 0) {
  std::u16string out;
  for (std::size_t id = 1; id <= count || out.size() < units; ++id) {
    if (id > 1) out += u", ";
    for (char c : std::to_string(id)) out += static_cast<char16_t>(c);
  }
  return out;
}

std::u16string MakeTextToBreak(bool oneLine) {
  std::u16string out;
  out.reserve(kTenMbUnits + 4096);
  if (oneLine) {
    out = u"delete from orders where id in (" + Ids(0, kTenMbUnits - 40) + u")";
    return out;
  }
  std::uint32_t seed = 20240611u;
  for (int n = 1; out.size() < kTenMbUnits; ++n) {
    AppendStatement(out, seed);
    if (n % 50 == 0) out += u"delete from orders where id in (" + Ids(1600) + u");\r\n";
  }
  out.resize(kTenMbUnits);
  return out;
}

const std::u16string& TextToBreak(bool oneLine) {
  static const std::u16string script = MakeTextToBreak(false);
  static const std::u16string line = MakeTextToBreak(true);
  return oneLine ? line : script;
}

// Best seconds per iteration over the runs of each benchmark, wall and CPU,
// keyed by pass name and size; and result capacity over input size.
std::map<std::string, std::map<int, double>> secondsPerPass;
std::map<std::string, std::map<int, double>> cpuSecondsPerPass;
std::map<std::string, std::map<int, double>> capacityPerPass;
std::map<std::string, std::map<int, double>> tenMbSeconds;
std::map<std::string, std::map<int, double>> tenMbCpuSeconds;
std::map<std::string, std::size_t> tenMbLines;

struct Clocks {
  std::chrono::steady_clock::time_point wall;
  double cpu;
};

Clocks Now() {
  timespec cpu{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
  return {std::chrono::steady_clock::now(), static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9};
}

void KeepBest(std::map<int, double>& best, int sizeMiB, double seconds) {
  auto it = best.find(sizeMiB);
  if (it == best.end() || seconds < it->second) best[sizeMiB] = seconds;
}

void Record(benchmark::State& state, const std::string& pass, int sizeMiB, const Clocks& start,
            std::size_t capacityUnits) {
  const Clocks end = Now();
  const double iterations = static_cast<double>(state.iterations());
  KeepBest(secondsPerPass[pass], sizeMiB, std::chrono::duration<double>(end.wall - start.wall).count() / iterations);
  KeepBest(cpuSecondsPerPass[pass], sizeMiB, (end.cpu - start.cpu) / iterations);
  capacityPerPass[pass][sizeMiB] = static_cast<double>(capacityUnits) / static_cast<double>(Script(sizeMiB).size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(Script(sizeMiB).size() * sizeof(char16_t)));
}

void BM_Baseline(benchmark::State& state) {
  const int sizeMiB = static_cast<int>(state.range(0));
  const std::u16string& raw = Script(sizeMiB);
  std::size_t capacity = 0;
  const Clocks start = Now();
  for (auto _ : state) {
    std::u16string out;
    out.reserve(raw.size() + 3);
    std::size_t p = 0;
    do {
      std::size_t q = raw.find(u"\r\n", p, 2);
      if (q == std::u16string::npos) q = raw.size();
      out.append(raw, p, q - p);
      out += u"\r\n";
      p = q + 2;
    } while (p < raw.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    capacity = out.capacity();
  }
  Record(state, "baseline", sizeMiB, start, capacity);
}

void BM_Prepare(benchmark::State& state, bool dropSeparatorLines) {
  const int sizeMiB = static_cast<int>(state.range(0));
  const std::u16string& raw = Script(sizeMiB);
  std::size_t capacity = 0;
  const Clocks start = Now();
  for (auto _ : state) {
    std::u16string out = PrepareStatementText(raw, dropSeparatorLines);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    capacity = out.capacity();
  }
  Record(state, dropSeparatorLines ? "drop" : "keep", sizeMiB, start, capacity);
}

// tovrin's work on 10 MB: the preparation, then (with `fit`) the breaking.
void BM_TenMb(benchmark::State& state, bool oneLine, bool fit) {
  const std::u16string& raw = TextToBreak(oneLine);
  std::size_t lines = 0;
  const Clocks start = Now();
  for (auto _ : state) {
    std::u16string out = PrepareStatementText(raw, true);
    if (fit && sqlplus_lines::FitLines(out).found != sqlplus_lines::Found::kNothing) {
      state.SkipWithError("the text was refused");
      return;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    lines = static_cast<std::size_t>(std::count(out.begin(), out.end(), u'\n'));
  }
  const Clocks end = Now();
  const double iterations = static_cast<double>(state.iterations());
  const std::string pass = std::string(oneLine ? "one line" : "script") + (fit ? ", broken" : "");
  KeepBest(tenMbSeconds[pass], 0, std::chrono::duration<double>(end.wall - start.wall).count() / iterations);
  KeepBest(tenMbCpuSeconds[pass], 0, (end.cpu - start.cpu) / iterations);
  tenMbLines[pass] = lines;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(raw.size() * sizeof(char16_t)));
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int size : kSizesMiB) b->Arg(size);
  b->Unit(benchmark::kMillisecond)->Repetitions(3);
}

BENCHMARK(BM_Baseline)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Prepare, drop_separators, true)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_Prepare, keep_separators, false)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_TenMb, script_prepared, false, false)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK_CAPTURE(BM_TenMb, script_broken, false, true)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK_CAPTURE(BM_TenMb, one_line_prepared, true, false)->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK_CAPTURE(BM_TenMb, one_line_broken, true, true)->Unit(benchmark::kMillisecond)->Repetitions(3);

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

void PrintSummary(double peakBeforeMiB) {
  const double peakAfterMiB = PeakRssMiB();
  std::printf("\nsummary (MB = 10^6 bytes of UTF-16 input; best run of each benchmark, wall time)\n");
  std::printf("%8s %14s %14s %8s %14s %8s\n", "size", "baseline MB/s", "drop MB/s", "/base", "keep MB/s", "/base");
  const auto rate = [](const char* pass, int size) {
    const double seconds = secondsPerPass[pass][size];
    return seconds > 0 ? static_cast<double>(Script(size).size() * sizeof(char16_t)) / seconds / 1e6 : 0.0;
  };
  const auto cpuRate = [](const char* pass) {
    const double seconds = cpuSecondsPerPass[pass][64];
    return seconds > 0 ? static_cast<double>(Script(64).size() * sizeof(char16_t)) / seconds / 1e6 : 0.0;
  };
  for (int size : kSizesMiB) {
    const double base = rate("baseline", size), drop = rate("drop", size), keep = rate("keep", size);
    std::printf("%5d MiB %14.0f %14.0f %8.2f %14.0f %8.2f\n", size, base, drop, base > 0 ? drop / base : 0.0, keep,
                base > 0 ? keep / base : 0.0);
  }
  std::printf("aim: prepare at least 1/3 (0.33) of the baseline\n");
  std::printf("CPU MB/s at 64 MiB: baseline %.0f, drop %.0f (%.2f), keep %.0f (%.2f)\n", cpuRate("baseline"),
              cpuRate("drop"), cpuRate("drop") / cpuRate("baseline"), cpuRate("keep"),
              cpuRate("keep") / cpuRate("baseline"));
  for (const char* pass : {"baseline", "drop", "keep"}) {
    const double t16 = secondsPerPass[pass][16], t64 = secondsPerPass[pass][64];
    const double c16 = cpuSecondsPerPass[pass][16], c64 = cpuSecondsPerPass[pass][64];
    std::printf("time 64 MiB / 16 MiB, %-8s: wall %.2f, CPU %.2f (aim: about 4.5 at most)\n", pass,
                t16 > 0 ? t64 / t16 : 0.0, c16 > 0 ? c64 / c16 : 0.0);
  }
  for (const char* pass : {"drop", "keep"}) {
    std::printf("result capacity / input, %-4s: 1 MiB %.3f, 16 MiB %.3f, 64 MiB %.3f\n", pass,
                capacityPerPass[pass][1], capacityPerPass[pass][16], capacityPerPass[pass][64]);
  }
  for (const char* text : {"script", "one line"}) {
    const std::string prepared = text, broken = prepared + ", broken";
    const double p = tenMbSeconds[prepared][0], b = tenMbSeconds[broken][0];
    const double pc = tenMbCpuSeconds[prepared][0], bc = tenMbCpuSeconds[broken][0];
    std::printf("10 MB, %-8s: prepare %.1f ms, prepare and break %.1f ms (%zu lines): breaking adds %.1f ms"
                " (CPU %.1f ms, %.2f times the preparation's)\n",
                text, p * 1e3, b * 1e3, tenMbLines[broken], (b - p) * 1e3, (bc - pc) * 1e3, pc > 0 ? (bc - pc) / pc : 0.0);
  }
  std::printf("peak RSS: %.1f MiB with the texts made (%d MiB of them), %.1f MiB after all runs;\n", peakBeforeMiB,
              1 + 16 + 64 + 20, peakAfterMiB);
  std::printf("          the runs added %.1f MiB at most, %.2f times the largest input (64 MiB)\n",
              peakAfterMiB - peakBeforeMiB, (peakAfterMiB - peakBeforeMiB) / 64.0);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
  // A fixed mmap threshold: every result buffer of 1 MiB or more is then
  // fresh memory, as in the programs, which prepare one text per run. Left
  // to itself, glibc would keep reusing warm heap memory for the smaller
  // sizes only and so skew the 64 MiB / 16 MiB comparison.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (int size : kSizesMiB) Script(size);
  TextToBreak(false);
  const double peakBeforeMiB = PeakRssMiB();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary(peakBeforeMiB);
  return 0;
}
