// Planned failures of platform calls, for the tests.  The stand-ins in
// platform-faults*.cc are linked in front of the real calls with ld --wrap
// (so only into the test program veldor-faults) and ask here whether to
// go ahead.
//
// The plan is read once from VELDOR_FAULTS: entries separated by commas,
//   CALL@N=ERROR  the Nth call of CALL, counted from 1, fails with ERROR;
//   CALL#B=ERROR  CALL moves B bytes in all, then fails with ERROR.
// ERROR is an errno name (EIO, ENOSPC, ...); "none", a failure that leaves
// errno 0, as the C library may; "short": the call then moves one byte
// only and succeeds, as an interrupted read or write may; or "abort": the
// program ends there at once, as an interrupt ends it.
#ifndef VELDOR_PLATFORM_FAULTS_H_
#define VELDOR_PLATFORM_FAULTS_H_

#include <cstddef>

/// How many of |size| bytes call |call| may move now: |size|, or fewer
/// where the plan says so; or -1 with errno set when the call is to fail.
/// Calls that move nothing ask with |size| 0.
long allowance(const char *call, size_t size);

/// Notes that call |call| moved |count| bytes.
void moved(const char *call, long count);

/// Defines the stand-in for |call|, of |type| with |params|, which fails
/// as planned or else calls the real one with |args|.
#define STAND_IN(type, call, params, args)                     \
  type __real_##call params;                                   \
  type __wrap_##call params {                                  \
    return allowance(#call, 0) < 0 ? -1 : __real_##call args; \
  }

#endif  // VELDOR_PLATFORM_FAULTS_H_
