// Measures the program under Wine against small baselines built beside it
// and prints a Markdown table. Each figure is the median of several runs.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/threat_profile.h"
#include "driver.h"

namespace {

using namespace e2e;

double Now() {
  LARGE_INTEGER f{}, c{};
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

std::wstring Beside(const wchar_t* name) {
  const std::wstring self = ProgramPath();
  return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

// User plus kernel time of all threads of a process, in seconds. Under Wine,
// GetProcessTimes on another process reports the caller's own times.
double CpuSeconds(DWORD pid) {
  double total = 0;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = ::Thread32First(snap, &entry); ok; ok = ::Thread32Next(snap, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
    FILETIME created, exited, kernel, user;
    if (thread != nullptr && ::GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
      auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
      };
      total += seconds(kernel) + seconds(user);
    }
    if (thread != nullptr) ::CloseHandle(thread);
  }
  ::CloseHandle(snap);
  return total;
}

// Seconds from CreateProcess to the first visible window found by find.
template <typename Find>
double TimeToShow(const std::wstring& program, const std::wstring& arguments, Find find) {
  const double start = Now();
  App app(arguments, program, false);
  HWND window = nullptr;
  while (window == nullptr && Now() - start < 20) {
    window = find(app.pid());
    if (window == nullptr) ::Sleep(1);
  }
  const double shown = Now() - start;
  if (window == nullptr) return -1;
  if (ClassOf(window) == L"#32770") {
    PressOk(window);
  } else {
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
  app.WaitForExit(kTimeoutMs);
  return shown;
}

// Runs every start-up once a round for the given number of rounds. The one
// that goes first changes from round to round, so that neither a slow spell
// nor the process that ended just before favours any of them.
std::vector<std::vector<double>> Interleaved(int rounds, const std::vector<std::function<double()>>& starts) {
  std::vector<std::vector<double>> times(starts.size());
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t k = 0; k < starts.size(); ++k) {
      const std::size_t which = (round + k) % starts.size();
      times[which].push_back(starts[which]());
    }
  }
  return times;
}

void Clean() {
  ::DeleteFileW(ThreatPath().c_str());
  DeleteValue(kolvane::RunKey, L"ssvchost");
  DeleteValue(kolvane::RunServicesKey, L"ssvchost");
}

constexpr double kSpan = 9.5;  // of the ten seconds, leaving room for the restart

// CPU seconds the program spends in the countdown after the user dismisses
// the restart warning; the run ends with a real Wine end of session and purge.
double CountdownCpu() {
  Clean();
  App app;
  HWND form = WaitForWindow(app.pid(), L"KolvaneForm1", L"Kolvane Backdoor.Helios.B");
  if (form == nullptr) return -1;
  PlantFile(ThreatPath(), 110592);
  ClickButton(form, L"Scan Windows Anda");
  HWND box = WaitForMessageBox(app.pid());
  if (box == nullptr) return -1;
  PressOk(box);
  ClickButton(form, L"Basmi Virus Backdoor.Helios.B");
  box = WaitForMessageBox(app.pid(), L"Komputer Anda akan di restart");
  if (box == nullptr) return -1;
  const double before = CpuSeconds(app.pid());
  PressOk(box);
  const double start = Now();
  while (Now() - start < kSpan) ::Sleep(50);
  const double cpu = CpuSeconds(app.pid()) - before;
  HWND log = WaitForMessageBox(0, L"Proses Pembasmian Virus...", 40000);
  if (log != nullptr) {
    HANDLE purge = ::OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(log));
    PressOk(log);
    if (purge != nullptr) {
      ::WaitForSingleObject(purge, kTimeoutMs);
      ::CloseHandle(purge);
    }
  }
  app.WaitForExit(kTimeoutMs);
  Clean();
  return cpu;
}

double BusyLoopCpu() {
  App busy(L"", Beside(L"busy_loop.exe"), false);
  if (WaitForWindow(busy.pid(), L"BenchBusy", L"Bench") == nullptr) return -1;
  const double before = CpuSeconds(busy.pid());
  const double start = Now();
  while (Now() - start < kSpan) ::Sleep(50);
  const double cpu = CpuSeconds(busy.pid()) - before;
  ::PostMessageW(WaitForWindow(busy.pid(), L"BenchBusy", L"Bench", 1000), WM_CLOSE, 0, 0);
  busy.WaitForExit(kTimeoutMs);
  return cpu;
}

// The DLLs named in the import table of a 32-bit PE file.
std::vector<std::string> Imports(const std::vector<unsigned char>& pe) {
  std::vector<std::string> names;
  auto u32 = [&](size_t at) { return at + 4 <= pe.size() ? *reinterpret_cast<const DWORD*>(&pe[at]) : 0u; };
  auto u16 = [&](size_t at) { return at + 2 <= pe.size() ? *reinterpret_cast<const WORD*>(&pe[at]) : 0u; };
  const size_t nt = u32(0x3C);
  const size_t sections = nt + 24 + u16(nt + 20);
  const WORD count = static_cast<WORD>(u16(nt + 6));
  auto offsetOf = [&](DWORD rva) -> size_t {
    for (WORD i = 0; i < count; ++i) {
      const size_t s = sections + i * 40u;
      const DWORD va = u32(s + 12), size = u32(s + 16), raw = u32(s + 20);
      if (rva >= va && rva < va + size) return raw + (rva - va);
    }
    return 0;
  };
  const DWORD importRva = u32(nt + 24 + 104);  // data directory 1 of a PE32 optional header
  for (size_t d = offsetOf(importRva); d != 0 && u32(d + 12) != 0; d += 20) {
    const size_t name = offsetOf(u32(d + 12));
    if (name == 0) break;
    names.emplace_back(reinterpret_cast<const char*>(&pe[name]));
  }
  return names;
}

void Row(const char* figure, const char* ours, const char* baseline, const char* ratio, const char* goal) {
  std::printf("| %s | %s | %s | %s | %s |\n", figure, ours, baseline, ratio, goal);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
  const int cpuRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  char buf[4][96];

  std::printf("| Figure | Kolvane | Baseline | Ratio | Goal |\n|---|---|---|---|---|\n");

  std::vector<double> cpu, busy;
  for (int i = 0; i < cpuRuns; ++i) {
    cpu.push_back(CountdownCpu());
    busy.push_back(BusyLoopCpu());
  }
  const double c = Median(cpu), b = Median(busy);
  std::snprintf(buf[0], 96, "%.3f s", c * 10.0 / kSpan);
  std::snprintf(buf[1], 96, "%.3f s (a loop that polls without sleeping)", b * 10.0 / kSpan);
  std::snprintf(buf[2], 96, "%.4f", b > 0 ? c / b : 0.0);
  Row("CPU time of the 10 s countdown", buf[0], buf[1], buf[2],
      c * 10.0 / kSpan <= 0.05 ? "at most 0.05 s: met" : "at most 0.05 s: MISSED");

  // The three start-ups interleaved, so that a slow spell of the machine
  // falls on all of them alike.
  auto kolvaneForm = [](DWORD pid) { return WaitForWindow(pid, L"KolvaneForm1", L"Kolvane Backdoor.Helios.B", 0); };
  auto directWindow = [](DWORD pid) { return WaitForWindow(pid, L"BenchDirect", L"Bench", 0); };
  auto minimalWindow = [](DWORD pid) { return WaitForWindow(pid, L"BenchMinimal", L"Bench", 0); };
  const auto windows =
      Interleaved(runs, {[&] { return TimeToShow(ProgramPath(), L"", kolvaneForm); },
                         [&] { return TimeToShow(Beside(L"direct_window.exe"), L"", directWindow); },
                         [&] { return TimeToShow(Beside(L"minimal_window.exe"), L"", minimalWindow); }});
  const std::vector<double>&start = windows[0], &direct = windows[1], &minimal = windows[2];
  double r = Median(start) / Median(direct);
  std::snprintf(buf[0], 96, "%.0f ms", Median(start) * 1000);
  std::snprintf(buf[1], 96, "%.0f ms (the same window written directly)", Median(direct) * 1000);
  std::snprintf(buf[2], 96, "%.2f", r);
  Row("Start to window shown", buf[0], buf[1], buf[2], r <= 1.10 ? "within 1.10: met" : "within 1.10: MISSED");
  r = Median(start) / Median(minimal);
  std::snprintf(buf[1], 96, "%.0f ms (one class, one empty window)", Median(minimal) * 1000);
  std::snprintf(buf[2], 96, "%.2f", r);
  Row("Start to window shown, against an empty window", buf[0], buf[1], buf[2], "none (for reference)");

  Clean();
  auto anyBox = [](DWORD pid) { return WaitForMessageBox(pid, L"", 0); };
  const std::wstring missing = L"C:\\kolvane-bench\\ssvchost.exe";
  const auto boxes = Interleaved(runs, {[&] { return TimeToShow(ProgramPath(), missing, anyBox); },
                                        [&] { return TimeToShow(Beside(L"manifest_box.exe"), L"", anyBox); },
                                        [&] { return TimeToShow(Beside(L"minimal_box.exe"), L"", anyBox); }});
  const std::vector<double>&purge = boxes[0], &box = boxes[1], &bareBox = boxes[2];
  r = Median(purge) / Median(box);
  std::snprintf(buf[0], 96, "%.0f ms", Median(purge) * 1000);
  std::snprintf(buf[1], 96, "%.0f ms (one message box, the program's manifest)", Median(box) * 1000);
  std::snprintf(buf[2], 96, "%.2f", r);
  Row("Post-restart run, start to log shown", buf[0], buf[1], buf[2],
      r <= 1.10 ? "within 1.10: met" : "within 1.10: MISSED");
  r = Median(purge) / Median(bareBox);
  std::snprintf(buf[1], 96, "%.0f ms (one message box, no manifest)", Median(bareBox) * 1000);
  std::snprintf(buf[2], 96, "%.2f", r);
  Row("Post-restart run, against a box without a manifest", buf[0], buf[1], buf[2], "none (for reference)");

  const std::string file = ReadFileText(ProgramPath());
  const std::vector<unsigned char> pe(file.begin(), file.end());
  std::string dlls;
  for (const auto& name : Imports(pe)) dlls += (dlls.empty() ? "" : ", ") + name;
  std::snprintf(buf[0], 96, "%.1f KiB", pe.size() / 1024.0);
  std::snprintf(buf[2], 96, "%.2f", pe.size() / (64.0 * 1024));
  Row("Executable size", buf[0], "64 KiB (the limit)", buf[2],
      pe.size() <= 64 * 1024 ? "at most 64 KiB: met" : "at most 64 KiB: MISSED");
  std::printf("\nImports: %s\n", dlls.c_str());
  return 0;
}
