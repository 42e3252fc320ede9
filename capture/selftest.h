// `selftest`: built-in fixtures over the pure logic of application selection and
// meeting metadata, with tables standing in for the kernel's process information and
// for the platform's process objects, windows and displays. The first failing fixture
// raises its own message.
#pragma once

namespace quorvantel::capture {

void runProcessIsolationFixtures();
void runMeetingMetadataFixtures();

}  // namespace quorvantel::capture
