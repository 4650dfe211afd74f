#pragma once

#include "platform/ansi_string.h"

class TCustomWinSocket;

// Host information and content types. None of them raises: a failed system call gives the empty
// string (GetFileMimeType gives "*" when there is nothing to look up).

// The computer name as NetBIOS shows it: the first label of the host name (up
// to the first "."), at most 15 characters, in upper case. Empty on failure.
AnsiString GetNBComputerName();

// The login name of the effective user (getpwuid_r(geteuid())). Empty on
// failure and for names of 100 characters or more (the 100-byte buffer of the
// Windows call, terminator included).
AnsiString GetNBUserName();

// The system's host name (gethostname into a 256-byte buffer), up to the first
// NUL. Empty on failure.
AnsiString GetLocalHostName();

// The host name looked up forward (getaddrinfo, IPv4, AI_CANONNAME): the
// canonical (official) name of the host. Empty when either step fails.
AnsiString GetLocalFQHostName();

// The host name looked up forward (getaddrinfo, IPv4): its first address in
// dotted decimal form. Empty when either step fails.
AnsiString GetLocalHostAddress();

// The same questions asked of a socket's local end.
//
// The socket's local IPv4 address (getsockname) looked up in reverse
// (getnameinfo), then that name looked up forward (getaddrinfo, IPv4,
// AI_CANONNAME): the canonical (official) name. Empty when the socket is null
// or has no handle, or when any step fails.
AnsiString GetLocalFQHostName(TCustomWinSocket* socket);

// The socket's local address in dotted decimal form, as the socket reports it.
// Empty when the socket is null or has no handle, or the system cannot tell.
AnsiString GetLocalHostAddress(TCustomWinSocket* socket);

// The content type registered for the file name's extension.
//
// The extension is the text from the last "." that comes after the last path
// or drive separator ("/", "\\", ":"). No extension gives "*"; an extension
// found in the system table gives its type; one not found gives "*".
// Extensions compare without regard to ASCII case (as the Windows registry's
// keys do). The table is /etc/mime.types (Debian package media-types; lines
// "type ext1 ext2 ...", "#" starts a comment), read once on first use; a
// missing table finds nothing. When an extension is listed more than once,
// its first line wins.
//
// The Windows registry can hold an extension without a content type, which
// gives the empty string; /etc/mime.types has no such entry, so on this
// platform the result is never empty.
AnsiString GetFileMimeType(const AnsiString& fileName);

// The same lookup in the table at tablePath, read afresh on every call (for
// tests of the table's format).
AnsiString GetFileMimeType(const AnsiString& fileName, const AnsiString& tablePath);
