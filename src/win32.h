// What the Windows layers share: names between the program's UTF-8 and
// Windows' UTF-16, exactly, and Windows' errors as errno, in one table.
#ifndef VELDOR_WIN32_H_
#define VELDOR_WIN32_H_

#include <string>

#include <windows.h>

/// A name as Windows gives it, in UTF-8.  A lone surrogate, which a Windows
/// name may hold, gets the three bytes of its value, so that it converts
/// back.
std::string win32_utf8(const wchar_t *name);

/// UTF-8 name |name| as Windows takes it: exactly the inverse of
/// win32_utf8.  Returns false, with errno EINVAL, for bytes that are no
/// such text.
bool win32_wide(const char *name, std::wstring *out);

/// The errno of Windows error code |error|: EINVAL for any not in the table.
int win32_errno(DWORD error);

#endif  // VELDOR_WIN32_H_
