// list-occurrences as the host sees it, on stand-in stores written by each test.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

#include "calendar/tests/calendar_process_support.h"
#include "platform/foundation/json.h"

namespace quorvantel::calendar::testing {
namespace {

// 2026-01-12 09:00 UTC.
constexpr long long kMonday = 1'768'208'400'000;
constexpr long long kHour = 3'600'000;

std::string request(const std::string& ids, long long startMs, long long endMs) {
    return R"({"command":"list-occurrences","calendarIds":)" + ids + R"(,"startMs":)" + std::to_string(startMs) +
           R"(,"endMs":)" + std::to_string(endMs) + "}";
}

const std::string kWeek = request(R"(["work"])", kMonday - 24 * kHour, kMonday + 6 * 24 * kHour);

// A store with the calendars "work" and "home" and the given events.
std::string store(const std::string& events) {
    return R"({"calendar":{"calendars":[{"id":"work","title":"Work"},{"id":"home","title":"Home"}],"events":[)" +
           events + "]}}";
}

std::string event(const std::string& localId, long long startMs, const std::string& extra = "") {
    return R"({"calendarId":"work","localId":")" + localId + R"(","startMs":)" + std::to_string(startMs) +
           R"(,"endMs":)" + std::to_string(startMs + kHour) + extra + "}";
}

std::string okLine(const std::string& records) {
    return R"({"schemaVersion":1,"status":"ok","occurrences":[)" + records + "]}";
}

json::Array occurrencesOf(const std::string& line) {
    const json::Value answer = json::parse(line);
    const json::Value* list = answer.find("occurrences");
    if (list == nullptr) {
        ADD_FAILURE() << line;
        return {};
    }
    return list->asArray();
}

TEST(OccurrenceListing, ConfirmedEventOrganisedByTheUser) {
    const std::string scenario = store(event(
        "one-off", kMonday,
        R"(,"title":"  Planning  ","status":"confirmed","organizerIsCurrentUser":true,"externalId":"ext",)"
        R"("recurrenceRuleCount":0,"occurrenceDateMs":null,"url":"https://zoom.us/j/123456789?pwd=abc")"));
    EXPECT_EQ(answerTo(kWeek, scenario),
              okLine(R"({"calendarId":"work","seriesId":"local:one-off","occurrenceStartMs":0,)"
                     R"("startMs":1768208400000,"endMs":1768212000000,"title":"Planning","isRecurring":false,)"
                     R"("identityStatus":"stable","status":"confirmed","responseStatus":"accepted",)"
                     R"("meetingKey":"zoom:123456789","joinUrl":"https:\/\/zoom.us\/j\/123456789?pwd=abc"})"));
}

TEST(OccurrenceListing, OccurrencesOfARecurringSeries) {
    std::string events;
    for (int day = 0; day < 3; ++day) {
        if (day) events += ",";
        const long long start = kMonday + day * 24 * kHour;
        events += event(numbered("daily-", day), start,
                        R"(,"title":"Stand-up","externalId":"series-1","occurrenceDateMs":)" +
                            std::to_string(start - 1000) +
                            R"(,"status":"tentative","attendees":[{"isCurrentUser":false,"participantStatus":"declined"},)"
                            R"({"isCurrentUser":true,"participantStatus":"tentative"}])");
    }
    const json::Array list = occurrencesOf(answerTo(kWeek, store(events)));
    ASSERT_EQ(list.size(), 3u);
    for (std::size_t day = 0; day < 3; ++day) {
        const json::Value& record = list[day];
        EXPECT_EQ(*record.find("seriesId"), json::Value("series-1"));
        EXPECT_EQ(*record.find("isRecurring"), json::Value(true));
        EXPECT_EQ(*record.find("identityStatus"), json::Value("review-required"));
        EXPECT_EQ(*record.find("occurrenceStartMs"),
                  json::Value(kMonday + static_cast<long long>(day) * 24 * kHour - 1000));
        EXPECT_EQ(*record.find("status"), json::Value("tentative"));
        EXPECT_EQ(*record.find("responseStatus"), json::Value("tentative"));
        EXPECT_TRUE(record.find("meetingKey")->isNull());
        EXPECT_TRUE(record.find("joinUrl")->isNull());
    }
}

TEST(OccurrenceListing, RecordShapeForSparseEvents) {
    const std::string scenario = store(event("sparse", kMonday, R"(,"title":"","status":"none","externalId":null)"));
    EXPECT_EQ(answerTo(kWeek, scenario),
              okLine(R"({"calendarId":"work","seriesId":"local:sparse","occurrenceStartMs":0,)"
                     R"("startMs":1768208400000,"endMs":1768212000000,"title":"Untitled event","isRecurring":false,)"
                     R"("identityStatus":"stable","status":"unknown","responseStatus":"unknown",)"
                     R"("meetingKey":null,"joinUrl":null})"));
}

TEST(OccurrenceListing, FractionalMillisecondsAreRounded) {
    const std::string scenario = store(
        R"({"calendarId":"work","localId":"f","startMs":1768208400000.75,"endMs":1768208460000.25})");
    const json::Array list = occurrencesOf(answerTo(kWeek, scenario));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(*list[0].find("startMs"), json::Value(1'768'208'400'001LL));
    EXPECT_EQ(*list[0].find("endMs"), json::Value(1'768'208'460'000LL));
}

TEST(OccurrenceListing, TiesKeepTheStoresOrderAndTheRestIsSortedByStart) {
    const std::string scenario =
        store(event("late", kMonday + 2 * kHour) + "," + event("tie-a", kMonday) + "," +
              event("early", kMonday - kHour) + "," + event("tie-b", kMonday) + "," + event("tie-c", kMonday));
    std::vector<std::string> order;
    for (const json::Value& record : occurrencesOf(answerTo(kWeek, scenario))) {
        order.push_back(record.find("seriesId")->asString());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"local:early", "local:tie-a", "local:tie-b", "local:tie-c",
                                               "local:late"}));
}

TEST(OccurrenceListing, UnusableEventsAreLeftOut) {
    const std::string scenario = store(
        event("all-day", kMonday, R"(,"isAllDay":true)") + "," +
        R"({"calendarId":"work","localId":"no-start","endMs":1768208400000})" + "," +
        R"({"calendarId":"work","localId":"no-end","startMs":1768208400000})" + "," +
        R"({"calendarId":"work","localId":"empty","startMs":1768208400000,"endMs":1768208400000})" + "," +
        event("bad-series", kMonday, R"(,"recurrenceRuleCount":1,"externalId":")" + std::string(513, 'x') + "\"") +
        "," + event("kept", kMonday));
    const json::Array list = occurrencesOf(answerTo(kWeek, scenario));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(*list[0].find("seriesId"), json::Value("local:kept"));
}

TEST(OccurrenceListing, OnlyTheRequestedCalendarsInTheWindow) {
    const std::string scenario = store(
        event("work-in", kMonday) + "," + event("work-before", kMonday - 30 * 24 * kHour) + "," +
        R"({"calendarId":"home","localId":"home-in","startMs":1768208400000,"endMs":1768212000000})" + "," +
        // Started before the window and still running: reported with its own times.
        R"({"calendarId":"work","localId":"spanning","startMs":1768000000000,"endMs":1768300000000})");
    std::vector<std::string> ids;
    for (const json::Value& record : occurrencesOf(answerTo(kWeek, scenario))) {
        ids.push_back(record.find("seriesId")->asString());
        if (ids.back() == "local:spanning") {
            EXPECT_EQ(*record.find("startMs"), json::Value(1'768'000'000'000LL));
        }
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"local:spanning", "local:work-in"}));
}

TEST(OccurrenceListing, CalendarUnavailable) {
    EXPECT_EQ(answerTo(request(R"(["work","gone","home"])", 0, 1), store("")), errorLine("calendar-unavailable"));
}

std::string idList(int count) {
    std::string ids;
    for (int i = 0; i < count; ++i) ids += std::string(i ? "," : "") + "\"c" + std::to_string(i) + "\"";
    return "[" + ids + "]";
}

std::string storeWithCalendars(int count) {
    std::string calendars;
    for (int i = 0; i < count; ++i) {
        calendars += std::string(i ? "," : "") + R"({"id":"c)" + std::to_string(i) + R"(","title":"C"})";
    }
    return R"({"calendar":{"calendars":[)" + calendars + R"(],"events":[]}})";
}

TEST(OccurrenceRequest, CalendarCountBounds) {
    const std::string scenario = storeWithCalendars(40);
    EXPECT_EQ(answerTo(request(idList(32), 0, 1), scenario), okLine(""));
    EXPECT_EQ(answerTo(request(idList(33), 0, 1), scenario), errorLine("invalid-request"));
}

TEST(OccurrenceRequest, InvalidFields) {
    const std::string one = R"(["work"])";
    const std::string cases[] = {
        request(R"(["work","work"])", 0, 1),
        request(R"(["work",""])", 0, 1),
        request("[]", 0, 1),
        request(one, 5, 5),
        request(one, -1, 5),
        request(one, 6, 5),
        request(one, 8'639'999'000'000'000, 8'640'000'000'000'001),
        R"({"command":"list-occurrences","calendarIds":["work"],"startMs":"0","endMs":1})",
        R"({"command":"list-occurrences","calendarIds":["work"],"startMs":0,"endMs":1,"extra":1})",
        R"({"command":"list-occurrences","calendarIds":["work"],"startMs":0,"until":1})",
    };
    for (const std::string& r : cases) EXPECT_EQ(answerTo(r, store("")), errorLine("invalid-request")) << r;
    // Validation comes before access: without access the request is still judged first.
    EXPECT_EQ(answerTo(request(one, 5, 5), R"({"calendar":{"authorization":"denied"}})"),
              errorLine("invalid-request"));
}

TEST(OccurrenceRequest, WindowOf31DaysAndOneMillisecondMore) {
    EXPECT_EQ(answerTo(request(R"(["work"])", 1000, 1000 + 2'678'400'000), store("")), okLine(""));
    EXPECT_EQ(answerTo(request(R"(["work"])", 1000, 1000 + 2'678'400'001), store("")), errorLine("invalid-request"));
    EXPECT_EQ(answerTo(request(R"(["work"])", 8'639'999'000'000'000, 8'640'000'000'000'000), store("")), okLine(""));
}

std::string manyEvents(int count) {
    std::string events;
    for (int i = 0; i < count; ++i) events += std::string(i ? "," : "") + event(numbered("e", i), kMonday + i);
    return events;
}

TEST(OccurrenceListing, At2048OccurrencesAndOneMore) {
    // Events that are left out do not count.
    const std::string allDay = event("all-day", kMonday, R"(,"isAllDay":true)") + ",";
    const json::Array list = occurrencesOf(answerTo(kWeek, store(allDay + manyEvents(2048))));
    EXPECT_EQ(list.size(), 2048u);
    EXPECT_EQ(answerTo(kWeek, store(allDay + manyEvents(2049))), errorLine("result-limit"));
}

TEST(OccurrenceListing, ResponseOverTheOutputLimit) {
    // 1,300 records of about 6,800 bytes each: under the record limit, over 8 MiB once the
    // slashes are escaped.
    const std::string calendarId(512, '/');
    const std::string slashes(2016, '/');
    std::string events;
    for (int i = 0; i < 1300; ++i) {
        std::string localId = std::to_string(i);
        localId += std::string(506 - localId.size(), '/');
        events += std::string(i ? "," : "") + R"({"calendarId":")" + calendarId + R"(","localId":")" + localId +
                  R"(","title":")" + std::string(200, '/') + R"(","startMs":1768208400000,"endMs":1768212000000,)" +
                  R"("url":"https://zoom.us/j/123456789?pwd=)" + slashes + "\"}";
    }
    const std::string scenario =
        R"({"calendar":{"calendars":[{"id":")" + calendarId + R"(","title":"Slashes"}],"events":[)" + events + "]}}";
    EXPECT_EQ(answerTo(request("[\"" + calendarId + "\"]", kMonday - kHour, kMonday + kHour), scenario),
              errorLine("result-limit"));
}

TEST(OccurrenceListing, SampleStoreShowsThisWeeksMeetingsWithJoinLinks) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const std::string r = request(R"(["sim-calendar-work","sim-calendar-home"])", now - 8 * 24 * kHour,
                                  now + 8 * 24 * kHour);
    const json::Array list = occurrencesOf(answerTo(r));
    std::set<std::string> services;
    for (const json::Value& record : list) {
        const json::Value* key = record.find("meetingKey");
        if (key->isString()) services.insert(key->asString().substr(0, key->asString().find(':')));
    }
    EXPECT_GE(list.size(), 8u);
    EXPECT_EQ(services, (std::set<std::string>{"meet", "teams", "zoom"}));
}

}  // namespace
}  // namespace quorvantel::calendar::testing
