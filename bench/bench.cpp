// The benchmark driver, a Win32 program run under Wine beside TRV.EXE and the floors BASE.EXE
// (draws what TRV must) and BARE.EXE (draws nothing): start-up latency, CPU time and memory
// (sampled from outside through bench/run.sh), the cost of a save as the list grows, and the
// accuracy of the frozen reading. Prints a table.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "driver.h"

namespace {

// What each figure measures, and why each goal is judged as it is: docs/benchmarks.md.
const int ROUNDS = 9;
const int CPU_SECONDS = 6;
const int STARTS = 7;            // start-up latency: the median of this many starts each
const int SAVES_TIMED = 51;      // saves timed at each list size, and no-op round trips
const int GROWTH_SIZES[] = {100, 1000, 10000};
const double TIMER_PERIOD_MS = 10; // the fastest period Windows and Wine give a window timer
const int PAIRS = 50;

const double CPU_RUNNING_GOAL = 0.95, CPU_STOPPED_GOAL = 1.15, START_GOAL = 1.25;
const double ACCURACY_GOAL_MS = 12; // the hundredths cut (10 ms), and a little

double NowMs()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// What bench/run.sh reads from /proc over an interval: CPU seconds of the program, of
// wineserver and of the X server, the interval's length, and the program's memory.
struct Sample {
    double cpu = 0, program = 0, server = 0, x = 0, seconds = 0;
    double peakKb = 0, residentKb = 0;
};

// Each figure's median over the rounds.
Sample MedianSample(const std::vector<Sample> &samples)
{
    Sample median;
    for (double Sample::*field : {&Sample::cpu, &Sample::program, &Sample::server, &Sample::x,
                                  &Sample::seconds, &Sample::peakKb, &Sample::residentKb}) {
        std::vector<double> values;
        for (const Sample &s : samples)
            values.push_back(s.*field);
        median.*field = Median(values);
    }
    return median;
}

// Asks the sampler outside Wine to watch PROGRAM for SECONDS (0: memory only) and waits.
Sample Measure(const char *program, int seconds)
{
    std::string request = WorkFile("request.txt"), result = WorkFile("result.txt");
    // Written whole before the sampler can see it.
    WriteFileText(request + ".new", std::to_string(seconds) + " " + program + "\n");
    MoveFileA((request + ".new").c_str(), request.c_str());
    Sample s;
    std::string text;
    if (!WaitUntil([&] { return !(text = ReadFileText(result)).empty(); },
                   (DWORD)(seconds + 30) * 1000) ||
        sscanf(text.c_str(), "%lf %lf %lf %lf %lf %lf", &s.program, &s.server, &s.x, &s.seconds,
               &s.peakKb, &s.residentKb) != 6)
        printf("bench: no sample of %s\n", program);
    s.cpu = s.program + s.server + s.x;
    DeleteFileA(result.c_str());
    return s;
}

void Close(App &app)
{
    PostMessageA(app.window, WM_COMMAND, CMD_EXIT, 0);
    WaitForExit(app);
    KillApp(app);
}

struct Program {
    std::string path, name;
    double startMs = 0;
    std::vector<Sample> stoppedRounds, runningRounds;
    Sample stopped, running; // the medians of the rounds
    DWORD bytes = 0;
};

// From the moment of starting to the first text in the time-of-day field.
double StartUpMs(const Program &p)
{
    App app;
    double start = NowMs();
    bool up = StartApp(app, p.path);
    double shown = NowMs();
    if (app.window)
        Close(app);
    KillApp(app);
    return up ? shown - start : -1;
}

void MeasureCpu(Program &p)
{
    App app;
    if (!StartApp(app, p.path)) {
        printf("bench: %s did not start\n", p.name.c_str());
        return;
    }
    Pause(1000);
    p.stoppedRounds.push_back(Measure(p.name.c_str(), CPU_SECONDS));
    Ask(app.window, WM_COMMAND, CMD_START_STOP);
    Pause(1000);
    p.runningRounds.push_back(Measure(p.name.c_str(), CPU_SECONDS));
    Close(app);
}

struct GrowthPoint {
    int size;
    double saveMs, leastSaveMs, roundTripMs, residentKb;
};

double TimedSend(const App &app, UINT message, WPARAM wParam)
{
    double before = NowMs();
    SendMessageA(app.window, message, wParam, 0);
    return NowMs() - before;
}

std::vector<GrowthPoint> MeasureGrowth(const Program &trv)
{
    std::vector<GrowthPoint> points;
    App app;
    if (!StartApp(app, trv.path))
        return points;
    Ask(app.window, WM_COMMAND, CMD_START_STOP);
    int saved = 0;
    for (int size : GROWTH_SIZES) {
        for (; saved < size; ++saved)
            Ask(app.window, WM_COMMAND, CMD_SAVE);
        std::vector<double> saves, trips;
        for (int i = 0; i < SAVES_TIMED; ++i, ++saved) {
            saves.push_back(TimedSend(app, WM_COMMAND, CMD_SAVE));
            trips.push_back(TimedSend(app, WM_NULL, 0));
        }
        double resident = Measure(trv.name.c_str(), 0).residentKb;
        double trip = Median(trips);
        points.push_back({size, Median(saves) - trip,
                          *std::min_element(saves.begin(), saves.end()) - trip, trip, resident});
    }
    Close(app);
    return points;
}

struct Accuracy {
    double medianMs = 0, largestMs = -1;
    int unreadable = 0;
};

// The error is how far the frozen reading lies outside the window that the round trips of the
// Start and the Stop vouch for.
Accuracy MeasureAccuracy(const Program &trv)
{
    Accuracy a;
    App app;
    if (!StartApp(app, trv.path))
        return a;
    std::vector<double> errors;
    for (int i = 0; i < PAIRS; ++i) {
        double s0 = NowMs();
        Ask(app.window, WM_COMMAND, CMD_START_STOP);
        double s1 = NowMs();
        Sleep((DWORD)(150 + i * 61 % 400));
        double t0 = NowMs();
        Ask(app.window, WM_COMMAND, CMD_START_STOP);
        double t1 = NowMs();
        long long reading = ElapsedMs(WindowText(app.Control(IDC_ELAPSED)));
        if (reading < 0) {
            ++a.unreadable;
            continue;
        }
        errors.push_back((double)reading - std::min(std::max((double)reading, t0 - s1), t1 - s0));
    }
    Close(app);
    a.medianMs = Median(errors);
    for (double e : errors)
        a.largestMs = std::max(a.largestMs, e < 0 ? -e : e);
    if (a.unreadable)
        a.largestMs = 1e9;
    return a;
}

std::string Table;
int Missed;

// A row of the table; with a goal, CHECKED (the ratio unless given) must be positive and
// within it.
void Row(const char *figure, const char *trv, const char *base, double ratio, double goal,
         double checked = -1)
{
    char line[200], ratioText[16] = "", goalText[32] = "";
    if (ratio > 0)
        snprintf(ratioText, sizeof ratioText, "%.2f", ratio);
    if (checked < 0)
        checked = ratio;
    if (goal > 0) {
        bool met = checked > 0 && checked <= goal;
        snprintf(goalText, sizeof goalText, "<= %.2f %s", goal, met ? "met" : "MISSED");
        Missed += !met;
    }
    snprintf(line, sizeof line, "%-44s %12s %12s %7s  %s\n", figure, trv, base, ratioText,
             goalText);
    Table += line;
}

std::string Number(const char *format, double value)
{
    char text[32];
    snprintf(text, sizeof text, format, value);
    return text;
}

double Ratio(double a, double b)
{
    return b > 0 && a >= 0 ? a / b : 0;
}

// The ratio of each round, TRV's CPU seconds over the floor's in the same round, in order.
std::vector<double> RoundRatios(const std::vector<Sample> &trv, const std::vector<Sample> &floor)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < trv.size() && i < floor.size(); ++i)
        ratios.push_back(Ratio(trv[i].cpu, floor[i].cpu));
    std::sort(ratios.begin(), ratios.end());
    return ratios;
}

// TRV against the floor that draws what it must, part by part, and against the floor that
// draws nothing: what the drawing costs; then the rounds' own ratios, with the goal.
enum Statistic { MEDIAN, LOWER_QUARTILE };

void CpuRows(const char *state, const Sample &trv, const Sample &base, const Sample &bare,
             const std::vector<double> &ratios, double goal, Statistic judged)
{
    std::string figure = std::string("CPU s over ") + Number("%.0f", trv.seconds) + " s, " +
                         state + ", median of " + Number("%.0f", ROUNDS);
    const struct {
        const char *part;
        double Sample::*field;
        const Sample &floor;
        double goal;
    } rows[] = {{figure.c_str(), &Sample::cpu, base, 0},
                {"  of which program", &Sample::program, base, 0},
                {"  of which wineserver", &Sample::server, base, 0},
                {"  of which X server", &Sample::x, base, 0},
                {"  all three, against BARE.EXE", &Sample::cpu, bare, 0}};
    for (const auto &row : rows)
        Row(row.part, Number("%.2f", trv.*row.field).c_str(),
            Number("%.2f", row.floor.*row.field).c_str(),
            Ratio(trv.*row.field, row.floor.*row.field), row.goal);
    if (ratios.empty())
        return;
    double lower = ratios[ratios.size() / 4], upper = ratios[ratios.size() * 3 / 4];
    std::string quartiles = Number("%.2f", lower) + "-" + Number("%.2f", upper);
    Row("  per round: quartiles", quartiles.c_str(), "", 0, 0);
    Row(judged == MEDIAN ? "  per round: median, goal on the median"
                         : "  per round: median, goal on the lower quartile",
        "", "", Median(ratios), goal, judged == MEDIAN ? Median(ratios) : lower);
}

void GrowthRows(const std::vector<GrowthPoint> &points)
{
    for (const GrowthPoint &p : points) {
        std::string figure = "save cost, ms, at " + Number("%.0f", p.size) + " entries";
        Row(figure.c_str(), Number("%.3f", p.saveMs).c_str(), "", 0, 0);
        figure = "  least save cost, ms, at " + Number("%.0f", p.size) + " entries";
        Row(figure.c_str(), Number("%.3f", p.leastSaveMs).c_str(), "", 0, 0);
        figure = "  TRV memory, KiB, at " + Number("%.0f", p.size) + " entries";
        Row(figure.c_str(), Number("%.0f", p.residentKb).c_str(), "", 0, 0);
    }
    if (points.size() < 2)
        return;
    // A least-squares line through the least costs, which Wine's drawing disturbs the least.
    double n = (double)points.size(), sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const GrowthPoint &p : points) {
        sx += p.size;
        sy += p.leastSaveMs;
        sxx += (double)p.size * p.size;
        sxy += p.size * p.leastSaveMs;
    }
    double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    double fixed = (sy - slope * sx) / n;
    Row("  fixed part of a save, ms", Number("%.3f", fixed).c_str(), "", 0, 0);
    Row("  growth per 1,000 entries, ms", Number("%.3f", slope * 1000).c_str(), "", 0, 0);
    Row("  round trip of a no-op message, ms", Number("%.3f", points.back().roundTripMs).c_str(),
        "", 0, 0);
    std::string limit = fixed >= TIMER_PERIOD_MS ? "any"
                        : slope > 0 ? Number("%.0f", (TIMER_PERIOD_MS - fixed) / slope)
                                    : "never";
    Row("entries at which one save > 10 ms period", limit.c_str(), "", 0, 0);
}

} // namespace

int main()
{
    OutputToFile();
    Program trv, base, bare;
    trv.path = ProgramPath();
    base.path = Env("BASE_EXE");
    bare.path = Env("BARE_EXE");
    for (Program *p : {&trv, &base, &bare})
        p->name = p->path.substr(p->path.find_last_of("\\/") + 1);

    std::vector<double> trvStarts, baseStarts;
    for (int i = 0; i < STARTS; ++i) {
        trvStarts.push_back(StartUpMs(trv));
        baseStarts.push_back(StartUpMs(base));
    }
    trv.startMs = Median(trvStarts);
    base.startMs = Median(baseStarts);
    Program *const order[] = {&trv, &base, &bare};
    for (int round = 0; round < ROUNDS; ++round)
        for (int i = 0; i < 3; ++i)
            MeasureCpu(*order[round % 2 ? 2 - i : i]);
    for (Program *p : {&trv, &base, &bare}) {
        p->stopped = MedianSample(p->stoppedRounds);
        p->running = MedianSample(p->runningRounds);
    }
    std::vector<GrowthPoint> growth = MeasureGrowth(trv);
    Accuracy accuracy = MeasureAccuracy(trv);
    for (Program *p : {&trv, &base})
        p->bytes = (DWORD)std::ifstream(p->path, std::ios::binary | std::ios::ate).tellg();

    Row("figure", "TRV.EXE", "BASE.EXE", 0, 0);
    CpuRows("running", trv.running, base.running, bare.running,
            RoundRatios(trv.runningRounds, base.runningRounds), CPU_RUNNING_GOAL, MEDIAN);
    CpuRows("stopped", trv.stopped, base.stopped, bare.stopped,
            RoundRatios(trv.stoppedRounds, base.stoppedRounds), CPU_STOPPED_GOAL, LOWER_QUARTILE);
    Row("start-up to first text, ms (median of 7)", Number("%.0f", trv.startMs).c_str(),
        Number("%.0f", base.startMs).c_str(), Ratio(trv.startMs, base.startMs), START_GOAL);
    Row("peak working set, KiB", Number("%.0f", trv.running.peakKb).c_str(),
        Number("%.0f", base.running.peakKb).c_str(),
        Ratio(trv.running.peakKb, base.running.peakKb), 0);
    Row("EXE size, bytes", Number("%.0f", trv.bytes).c_str(), Number("%.0f", base.bytes).c_str(),
        Ratio(trv.bytes, base.bytes), 0);
    GrowthRows(growth);
    Row("reading outside the round trips, median ms", Number("%+.1f", accuracy.medianMs).c_str(),
        "", 0, 0);
    Row("largest reading outside the round trips, ms", Number("%.1f", accuracy.largestMs).c_str(),
        "", 0, ACCURACY_GOAL_MS, accuracy.largestMs);

    WriteFileText(WorkFile("table.txt"), Table + "goals missed: " + std::to_string(Missed) + "\n");
    return Missed ? 1 : 0;
}
