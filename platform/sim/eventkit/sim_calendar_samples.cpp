#include "platform/sim/eventkit/sim_calendar_samples.h"

#include <ctime>
#include <string>

namespace quorvantel::sim {
namespace {

constexpr const char* kWorkCalendar = "sim-calendar-work";
constexpr const char* kHomeCalendar = "sim-calendar-home";
constexpr int kWeekdays = 5;

// Local midnight of the Monday of the week that holds nowMs.
std::tm mondayOf(double nowMs) {
    const std::time_t now = static_cast<std::time_t>(nowMs / 1000.0);
    std::tm day{};
    localtime_r(&now, &day);
    const int daysSinceMonday = (day.tm_wday + 6) % 7;
    day.tm_mday -= daysSinceMonday;
    day.tm_hour = 0;
    day.tm_min = 0;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    return day;
}

EKDate at(const std::tm& monday, int dayOffset, int hour, int minute) {
    std::tm moment = monday;
    moment.tm_mday += dayOffset;
    moment.tm_hour = hour;
    moment.tm_min = minute;
    moment.tm_isdst = -1;
    return EKDate{static_cast<double>(std::mktime(&moment))};
}

EKParticipant me(EKParticipantStatus status) { return EKParticipant{true, status}; }
EKParticipant someoneElse() { return EKParticipant{false, EKParticipantStatus::accepted}; }

EKEvent meeting(const char* calendar, const char* title, EKDate start, EKDate end, std::string localId) {
    EKEvent event;
    event.calendarIdentifier = calendar;
    event.title = title;
    event.startDate = start;
    event.endDate = end;
    event.calendarItemIdentifier = std::move(localId);
    event.calendarItemExternalIdentifier = "sim-external-" + event.calendarItemIdentifier;
    event.status = EKEventStatus::confirmed;
    return event;
}

}  // namespace

SimCalendarSamples sampleCalendarStore(double nowMs) {
    const std::tm monday = mondayOf(nowMs);
    SimCalendarSamples samples;
    samples.calendars = {EKCalendar{kWorkCalendar, "Work"}, EKCalendar{kHomeCalendar, "Home"}};
    auto& events = samples.events;

    // A daily series, expanded into its weekday occurrences, joined by a Google Meet link.
    for (int day = 0; day < kWeekdays; ++day) {
        EKEvent standUp = meeting(kWorkCalendar, "Daily stand-up", at(monday, day, 9, 30), at(monday, day, 9, 45),
                                  "sim-standup-" + std::to_string(day + 1));
        standUp.calendarItemExternalIdentifier = "sim-series-daily-stand-up";
        standUp.occurrenceDate = standUp.startDate;
        standUp.recurrenceRuleCount = 1;
        standUp.organizer = someoneElse();
        standUp.attendees = {someoneElse(), me(EKParticipantStatus::accepted)};
        standUp.URL = "https://meet.google.com/abc-defg-hij";
        events.push_back(std::move(standUp));
    }

    EKEvent review = meeting(kWorkCalendar, "Customer review", at(monday, 1, 14, 0), at(monday, 1, 15, 0),
                             "sim-customer-review");
    review.status = EKEventStatus::tentative;
    review.organizer = someoneElse();
    review.attendees = {me(EKParticipantStatus::tentative)};
    review.location = "Zoom: https://us02web.zoom.us/j/123456789?pwd=SAMPLE";
    events.push_back(std::move(review));

    EKEvent planning = meeting(kWorkCalendar, "  Quarterly planning  ", at(monday, 2, 10, 0), at(monday, 2, 11, 0),
                               "sim-quarterly-planning");
    planning.organizer = me(EKParticipantStatus::accepted);
    planning.notes = "Agenda in the shared folder.\nJoin: https://teams.microsoft.com/meet/123456789012?p=SAMPLE";
    events.push_back(std::move(planning));

    EKEvent design = meeting(kWorkCalendar, "Design sync", at(monday, 2, 16, 0), at(monday, 2, 16, 45),
                             "sim-design-sync");
    design.organizer = someoneElse();
    design.attendees = {me(EKParticipantStatus::accepted)};
    design.notes =
        "Microsoft Teams meeting\n"
        "Join: https://teams.microsoft.com/l/meetup-join/19%3ameeting_SAMPLE%40thread.v2/0.\n"
        "Dial-in details are in the invitation.";
    events.push_back(std::move(design));

    EKEvent oneOnOne = meeting(kWorkCalendar, "One-on-one", at(monday, 3, 11, 0), at(monday, 3, 11, 30),
                               "sim-one-on-one");
    oneOnOne.organizer = me(EKParticipantStatus::accepted);
    oneOnOne.location = "Room 4.12";
    events.push_back(std::move(oneOnOne));

    EKEvent vendor = meeting(kWorkCalendar, "Vendor call", at(monday, 3, 15, 0), at(monday, 3, 15, 30),
                             "sim-vendor-call");
    vendor.status = EKEventStatus::canceled;
    vendor.organizer = someoneElse();
    vendor.attendees = {me(EKParticipantStatus::pending)};
    vendor.URL = "https://meet.google.com/klm-nopq-rst?authuser=0";
    events.push_back(std::move(vendor));

    EKEvent offsite = meeting(kWorkCalendar, "Team offsite", at(monday, 4, 0, 0), at(monday, 5, 0, 0),
                              "sim-team-offsite");
    offsite.isAllDay = true;
    events.push_back(std::move(offsite));

    EKEvent bookClub = meeting(kHomeCalendar, "Book club", at(monday, 2, 19, 0), at(monday, 2, 20, 0),
                               "sim-book-club");
    bookClub.organizer = someoneElse();
    bookClub.attendees = {me(EKParticipantStatus::declined)};
    bookClub.notes = "(https://meet.google.com/xyz-abcd-efg)";
    events.push_back(std::move(bookClub));

    EKEvent dentist = meeting(kHomeCalendar, "Dentist", at(monday, 5, 10, 0), at(monday, 5, 11, 0), "sim-dentist");
    dentist.organizer = me(EKParticipantStatus::accepted);
    dentist.location = "Main Street 4";
    events.push_back(std::move(dentist));

    return samples;
}

}  // namespace quorvantel::sim
