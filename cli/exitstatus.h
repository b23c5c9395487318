#pragma once
// vr7lon's exit statuses, stable for scripts.
namespace exitstatus {
constexpr int Ok = 0;
constexpr int Partial = 1;   // tree: a system file failed to load; what was built is printed
constexpr int Differs = 1;   // diff, store --dry-run: the lists differ (as diff(1) says)
constexpr int Input = 2;     // an input could not be loaded or an output file not written
constexpr int Refused = 3;   // build: an addition was refused or ignored
constexpr int Device = 4;    // the device did not answer, refused, or an exchange broke
constexpr int Mismatch = 5;  // verify: the device holds other bytes than expected
constexpr int Usage = 64;    // the command line is wrong
}  // namespace exitstatus
