#include "platform/linux/desktop/application_id.h"

#include <gtest/gtest.h>

namespace quorvantel::desktop {
namespace {

TEST(ApplicationId, UnitNamesOfLaunchers) {
    const struct {
        const char* unit;
        std::optional<std::string> id;
    } cases[] = {
        // GNOME Shell, KDE Plasma and systemd-run as they name what they start.
        {"app-gnome-org.gnome.Nautilus-2941.scope", "org.gnome.Nautilus"},
        {"app-gnome-firefox\\x2desr-4122.scope", "firefox-esr"},
        {"app-org.kde.konsole@0a1b2c3d4e5f.service", "org.kde.konsole"},
        {"app-kde-org.kde.dolphin@3f2a.service", "org.kde.dolphin"},
        {"app-flatpak-us.zoom.Zoom-51234.scope", "us.zoom.Zoom"},
        {"app-org.example.Meet-12.scope", "org.example.Meet"},
        {"app-org.example.Meet.service", "org.example.Meet"},
        {"app-gnome-org.example.Meet.service", "org.example.Meet"},
        // Not application units, or not of the two forms.
        {"session-2.scope", std::nullopt},
        {"user@1000.service", std::nullopt},
        {"app.slice", std::nullopt},
        {"app-org.example.Meet.slice", std::nullopt},
        {"app-gnome-org.example.Meet-1-2.scope", std::nullopt},  // more parts than the form has
        {"app-a-b-c-1.scope", std::nullopt},                 // an unescaped dash in the id
        {"app-.scope", std::nullopt},
        {"app--x-1.scope", std::nullopt},
        {"app-gnome-bad\\x2-1.scope", std::nullopt},          // a broken escape
    };
    for (const auto& c : cases) EXPECT_EQ(unitApplicationId(c.unit), c.id) << c.unit;
}

TEST(ApplicationId, TheApplicationUnitOfACgroupFile) {
    const struct {
        const char* what;
        const char* file;
        std::optional<std::string> unit;
    } cases[] = {
        {"unified hierarchy",
         "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-org.gnome.Terminal-3311.scope\n",
         "app-gnome-org.gnome.Terminal-3311.scope"},
        {"a sub-cgroup inside the unit",
         "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-org.kde.konsole@12ab.service/tab-1\n",
         "app-org.kde.konsole@12ab.service"},
        {"hybrid hierarchy, unified line preferred",
         "12:cpu,cpuacct:/\n1:name=systemd:/user.slice/app-gnome-a-1.scope\n0::/user.slice/app-gnome-b-2.scope\n",
         "app-gnome-b-2.scope"},
        {"legacy systemd controller only", "4:memory:/\n1:name=systemd:/user.slice/user@1000.service/app-gnome-a-1.scope\n",
         "app-gnome-a-1.scope"},
        {"a login session", "0::/user.slice/user-1000.slice/session-2.scope\n", std::nullopt},
        {"a container's root", "0::/\n", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(applicationUnit(c.file), c.unit) << c.what;
}

TEST(ApplicationId, DesktopFilesAndSandboxes) {
    EXPECT_EQ(desktopFileId("/usr/share/applications/org.gnome.Calculator.desktop"), "org.gnome.Calculator");
    EXPECT_EQ(desktopFileId("meet.desktop"), "meet");
    EXPECT_EQ(desktopFileId("/usr/share/applications/.desktop"), std::nullopt);
    EXPECT_EQ(desktopFileId("/usr/bin/meet"), std::nullopt);

    EXPECT_EQ(flatpakApplicationId("[Application]\nname=us.zoom.Zoom\nruntime=runtime/org.freedesktop.Platform\n"
                                   "\n[Instance]\ninstance-id=1\n"),
              "us.zoom.Zoom");
    EXPECT_EQ(flatpakApplicationId("[Runtime]\nname=org.freedesktop.Platform\n"), std::nullopt);
    EXPECT_EQ(flatpakApplicationId(""), std::nullopt);
}

}  // namespace
}  // namespace quorvantel::desktop
