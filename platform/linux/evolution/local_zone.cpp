#include "platform/linux/evolution/local_zone.h"

#include <cstdlib>

namespace quorvantel::evolution {

ICalTimezone* userTimeZone() {
    const char* variable = std::getenv("TZ");
    if (variable != nullptr && *variable == ':') ++variable;
    if (variable != nullptr && *variable != '\0') {
        if (ICalTimezone* zone = i_cal_timezone_get_builtin_timezone(variable)) return zone;
    }
    return e_cal_util_get_system_timezone();
}

}  // namespace quorvantel::evolution
