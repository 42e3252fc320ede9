// The reasons the calendar helper answers a failed request with. The host acts on
// the reason alone; no message text is sent.
#pragma once

#include <exception>
#include <string_view>

namespace quorvantel::calendar {

enum class CalendarError { invalidRequest, permissionRequired, calendarUnavailable, resultLimit, accessFailed };

constexpr std::string_view reason(CalendarError error) {
    switch (error) {
        case CalendarError::invalidRequest: return "invalid-request";
        case CalendarError::permissionRequired: return "permission-required";
        case CalendarError::calendarUnavailable: return "calendar-unavailable";
        case CalendarError::resultLimit: return "result-limit";
        case CalendarError::accessFailed: return "access-failed";
    }
    return "access-failed";
}

// Raised by every operation of the helper; the one boundary in TovrelCalendarHelper
// turns it into the error response.
class CalendarFailure : public std::exception {
public:
    explicit CalendarFailure(CalendarError error) : error_(error) {}
    CalendarError error() const { return error_; }
    const char* what() const noexcept override { return reason(error_).data(); }

private:
    CalendarError error_;
};

}  // namespace quorvantel::calendar
