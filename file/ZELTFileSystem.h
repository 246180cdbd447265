#ifndef ZELT_FILE_SYSTEM_H
#define ZELT_FILE_SYSTEM_H

// The file layer's dealings with the system, shared by loading, reading and
// saving: failure reasons, opening that resumes after signals, and the name a
// descriptor is reported by. Internal to the library, never installed.

#include <string>

namespace ZELT {

/// Reason for a failed file operation: "NAME: STEP: system text" for the
/// error number @p code; without "NAME: " when @p name is empty, and without
/// the system text when @p code is 0.
std::string fileFailure(const std::string& name, const char* step, int code);

/// Puts fileFailure's reason in @p *error when it is given; returns false.
bool reportFileFailure(std::string* error, const std::string& name, const char* step, int code);

/// Largest single read or write: Linux moves at most about 2 GiB per call anyway.
constexpr long largestTransfer = 1L << 30;

/// open(2) with @p flags, resumed when a signal interrupts it.
int openResuming(const char* path, int flags);

/// The name a descriptor is reported by: @p givenName, or "descriptor N".
std::string descriptorName(int fd, const char* givenName);

} // namespace ZELT

#endif
