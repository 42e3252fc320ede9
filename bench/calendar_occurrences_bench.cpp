// list-occurrences of quorvantel-calendar on a private evolution-data-server: one
// calendar of 1,000 events over a 31-day window, every third a weekly series without
// end. Each request is one helper process, as the host runs it. Prints the time of
// the first request (the store's calendar factory starts on it), the median and
// mean of the following ones, and the helper's own CPU time per request.
//
//   build/bin/calendar_occurrences_bench [requests]      (default 10)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "calendar/tests/evolution_server.h"
#include "platform/foundation/json.h"
#include "tests/support/child_process.h"

namespace {

constexpr int kEvents = 1000;
constexpr int kWindowDays = 31;
// 2026-03-01 00:00 UTC.
constexpr long long kWindowStartMs = 1'772'323'200'000;
constexpr long long kDayMs = 86'400'000;

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// Event i: on day i mod 31 of March 2026, at an hour between 8 and 17, 30 minutes
// long; every third one repeats weekly from there.
std::string calendarOfEvents() {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//quorvantel bench//EN\r\nMETHOD:PUBLISH\r\n";
    for (int i = 0; i < kEvents; ++i) {
        const int day = 1 + i % kWindowDays;
        const int hour = 8 + (i / kWindowDays) % 10;
        const std::string minute = (i / (kWindowDays * 10)) % 2 == 0 ? "00" : "30";
        const std::string date = "202603" + twoDigits(day);
        text += "BEGIN:VEVENT\r\nUID:bench-" + std::to_string(i) + "@bench\r\nDTSTAMP:20260201T000000Z\r\n";
        text += "DTSTART:" + date + "T" + twoDigits(hour) + minute + "00Z\r\n";
        text += "DURATION:PT30M\r\nSUMMARY:Meeting " + std::to_string(i) + "\r\n";
        text += "DESCRIPTION:Join at https://meet.google.com/abc-defg-hij\r\n";
        text += "ATTENDEE;PARTSTAT=ACCEPTED:mailto:owner@example.org\r\n";
        if (i % 3 == 0) text += "RRULE:FREQ=WEEKLY\r\n";
        text += "END:VEVENT\r\n";
    }
    return text + "END:VCALENDAR\r\n";
}

// User and system time of the reaped children: the helpers run so far.
double childrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorvantel;
    const int requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    calendar::testing::PrivateEvolutionServer server;
    const std::string calendarId = server.addCalendar("Bench", true, std::string("owner@example.org"));
    server.addEvents({{calendarId, calendarOfEvents()}});

    const std::string request = json::write(
        json::Value(json::Object{{"command", "list-occurrences"},
                                 {"calendarIds", json::Value(json::Array{json::Value(calendarId)})},
                                 {"startMs", kWindowStartMs},
                                 {"endMs", kWindowStartMs + kWindowDays * kDayMs}}),
        json::KeyOrder::insertion);
    testing::ChildOptions options;
    options.standIn = false;
    options.environment = server.environment();

    std::vector<double> seconds;
    double helperCpuSeconds = 0;
    std::size_t occurrences = 0;
    for (int i = 0; i <= requests; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuBefore = childrenCpuSeconds();
        const testing::ChildRun run = testing::runChild(testing::helperPath("quorvantel-calendar"), options, request);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (i > 0) helperCpuSeconds += childrenCpuSeconds() - cpuBefore;
        const json::Value answer = json::parse(run.lines().at(0));
        const json::Value* list = answer.find("occurrences");
        if (list == nullptr) {
            std::fprintf(stderr, "unexpected answer: %s\n%s", run.output.c_str(), run.error.c_str());
            return 1;
        }
        occurrences = list->asArray().size();
    }
    const double first = seconds.front();
    std::vector<double> warm(seconds.begin() + 1, seconds.end());
    std::sort(warm.begin(), warm.end());
    double sum = 0;
    for (double s : warm) sum += s;
    std::printf("events: %d (%d weekly series), occurrences returned: %zu\n", kEvents, (kEvents + 2) / 3, occurrences);
    std::printf("first request: %.1f ms\n", first * 1000);
    std::printf("next %d requests: median %.1f ms, mean %.1f ms, fastest %.1f ms, slowest %.1f ms\n",
                static_cast<int>(warm.size()), warm[warm.size() / 2] * 1000, sum / static_cast<double>(warm.size()) * 1000,
                warm.front() * 1000, warm.back() * 1000);
    std::printf("helper CPU time per request: %.1f ms (the rest is the store's work and the wait for it)\n",
                helperCpuSeconds / static_cast<double>(warm.size()) * 1000);
    return 0;
}
