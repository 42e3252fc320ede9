#include "capture/running_applications.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <unicode/coll.h>
#include <unicode/locid.h>

#include "capture/capture_failure.h"

namespace quorvantel::capture {
namespace {

// The user's collation, compared at secondary strength: accents count, case does not.
// The POSIX locale's collation orders by code point (all capitals first), which is not
// the comparison a person makes, so it is replaced by the common root collation.
std::unique_ptr<icu::Collator> nameCollator() {
    icu::Locale locale = icu::Locale::getDefault();
    if (std::strcmp(locale.getVariant(), "POSIX") == 0) locale = icu::Locale::getRoot();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status) || !collator) {
        status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (U_FAILURE(status) || !collator) fail("Could not compare application names.");
    collator->setStrength(icu::Collator::SECONDARY);
    return collator;
}

}  // namespace

std::vector<NSRunningApplication> runningApplications(const NSWorkspace& workspace) {
    std::vector<NSRunningApplication> selectable;
    for (auto& application : workspace.runningApplications()) {
        if (application.activationPolicy != NSApplicationActivationPolicy::NSApplicationActivationPolicyRegular ||
            application.terminated || !application.bundleIdentifier || application.bundleIdentifier->empty()) {
            continue;
        }
        const std::string& id = *application.bundleIdentifier;
        if (id.starts_with(kHelperBundlePrefix) || id == kElectronBundleIdentifier) continue;
        selectable.push_back(std::move(application));
    }
    return selectable;
}

std::vector<Source> selectableSources(const std::vector<NSRunningApplication>& applications) {
    std::map<std::string, std::string> names;
    for (const auto& application : applications) {
        names[*application.bundleIdentifier] = application.localizedName.value_or(*application.bundleIdentifier);
    }
    std::vector<Source> sources;
    sources.reserve(names.size());
    for (auto& [id, name] : names) sources.push_back({id, std::move(name)});
    const auto collator = nameCollator();
    // Names that compare equal keep the order of their identifiers, so that a list is
    // the same each time it is asked for.
    std::stable_sort(sources.begin(), sources.end(), [&](const Source& a, const Source& b) {
        UErrorCode status = U_ZERO_ERROR;
        return collator->compareUTF8(a.name, b.name, status) == UCOL_LESS;
    });
    return sources;
}

json::Value sourcesLine(const std::vector<Source>& sources) {
    json::Array entries;
    entries.reserve(sources.size());
    for (const auto& source : sources) entries.emplace_back(json::Object{{"id", source.id}, {"name", source.name}});
    return json::Object{{"type", "sources"}, {"sources", std::move(entries)}};
}

}  // namespace quorvantel::capture
